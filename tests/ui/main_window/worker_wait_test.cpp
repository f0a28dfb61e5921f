#include "ui/main_window/worker_wait.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

#include "instrument/worker.h"
#include "tests/support/qt_helpers.h"
#include "tests/support/test_worker.h"

namespace {

using korsi::test::TestWorker;

// A worker whose exchanges each wait for the user-interface thread without
// ever giving up, as a message box asked for from the worker does.
class WaitingWorkers : public ::testing::Test {
 protected:
  std::shared_ptr<TestWorker> start() {
    auto worker = std::make_shared<TestWorker>(
        [this] { QMetaObject::invokeMethod(&context, [] {}, Qt::BlockingQueuedConnection); });
    EXPECT_TRUE(korsi::test::processUntil([&] { return worker->exchanges() > 0; }));
    return worker;
  }

  QObject context;
  korsi::CurrentWorkers workers;
};

TEST_F(WaitingWorkers, ACommandAfterCancelWaitsForTheStoppedWorkerWithoutHanging) {
  auto stopped = start();
  auto running = start();
  workers.setReading(stopped);
  workers.setSearch(running);
  workers.stopReading();
  korsi::waitForStoppedWorkers(workers);
  EXPECT_FALSE(stopped->isRunning());
  EXPECT_TRUE(running->isRunning());  // only the stopped one is waited for
  EXPECT_FALSE(running->stopRequested());
  EXPECT_FALSE(workers.anyStoppedRunning());
  workers.stopSearch();
  korsi::waitForStoppedWorkers(workers);
}

TEST_F(WaitingWorkers, TheEndOfTheProgramStopsAndWaitsForEveryWorker) {
  auto search = start();
  auto reading = start();
  workers.setSearch(search);
  workers.setReading(reading);
  korsi::finishWorkers(workers);
  EXPECT_FALSE(search->isRunning());
  EXPECT_FALSE(reading->isRunning());
  EXPECT_FALSE(workers.anyRunning());
}

// While a command waits, the user's clicks and keys reach only the window
// that keeps answering (the progress window's Cancel); afterwards every
// window takes them again.
TEST_F(WaitingWorkers, OnlyTheAnsweringWindowTakesInputDuringTheWait) {
  QWidget main;
  auto* command = new QPushButton(QStringLiteral("Весь архив"), &main);
  QWidget progress;
  auto* cancel = new QPushButton(QStringLiteral("Отмена"), &progress);
  main.show();
  progress.show();
  int commands = 0;
  int cancels = 0;
  QObject::connect(command, &QPushButton::clicked, [&] { ++commands; });
  QObject::connect(cancel, &QPushButton::clicked, [&] { ++cancels; });

  auto stopped = std::make_shared<TestWorker>(std::function<void()>{}, true);
  workers.setReading(stopped);
  workers.stopReading();
  QTimer duringWait;
  duringWait.setSingleShot(true);
  QObject::connect(&duringWait, &QTimer::timeout, [&] {
    korsi::test::click(command);
    command->setFocus();
    korsi::test::pressKey(command, Qt::Key_Space);
    korsi::test::click(cancel);
    stopped->leaveExchange();
  });
  duringWait.start(std::chrono::milliseconds(10));
  korsi::waitForIdleWorkers(workers, &progress);

  EXPECT_FALSE(duringWait.isActive());
  EXPECT_FALSE(stopped->isRunning());
  EXPECT_EQ(commands, 0);
  EXPECT_EQ(cancels, 1);
  korsi::test::click(command);
  EXPECT_EQ(commands, 1);
}

}  // namespace
