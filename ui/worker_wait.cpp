#include "ui/worker_wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <thread>

#include "instrument/worker.h"

namespace korsi {

namespace {
template <class Done>
void deliverEventsUntil(Done done) {
  while (!done()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}
}  // namespace

void waitForStoppedWorkers(CurrentWorkers& workers) {
  deliverEventsUntil([&] { return !workers.anyStoppedRunning(); });
  workers.waitForStopped();
}

void waitForIdleWorkers(CurrentWorkers& workers) {
  deliverEventsUntil([&] { return !workers.anyRunning(); });
  workers.waitForStopped();
}

void finishWorkers(CurrentWorkers& workers) {
  workers.requestStopAll();
  deliverEventsUntil([&] { return !workers.anyRunning(); });
  workers.stopAndWaitAll();
}

}  // namespace korsi
