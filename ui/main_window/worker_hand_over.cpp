#include "ui/main_window/worker_hand_over.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <utility>

#include "instrument/worker.h"

namespace korsi {

std::shared_ptr<QtHandOver> QtHandOver::make() { return std::shared_ptr<QtHandOver>(new QtHandOver()); }

bool QtHandOver::run(const StoppableWorker& worker, std::function<void()> step) {
  unsigned long long ticket = 0;
  {
    std::lock_guard lock(mutex_);
    if (stopped_ || worker.stopRequested()) return false;
    ticket = ++posted_;
  }
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return false;
  // The step keeps this hand-over alive, not the worker: a stopped worker may
  // be gone before its last posted step is dropped.
  QMetaObject::invokeMethod(
      app,
      [self = shared_from_this(), step = std::move(step)] {
        bool stopped = false;
        {
          std::lock_guard lock(self->mutex_);
          stopped = self->stopped_;
        }
        // Cancel runs on this thread too, so a stop requested before this
        // point is seen here, and the step changes nothing.
        if (!stopped) step();
        {
          std::lock_guard lock(self->mutex_);
          ++self->finished_;
        }
        self->done_.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] { return stopped_ || finished_ >= ticket; });
  return !stopped_;
}

void QtHandOver::wake() noexcept {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  done_.notify_all();
}

}  // namespace korsi
