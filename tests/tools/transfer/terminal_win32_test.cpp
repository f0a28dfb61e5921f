// korsi7-transfer's console on Windows: the code page it sets is given back,
// and the end of its stop signals waits for a stop under way, so the console's
// handler never uses what has gone. Windows-only: the POSIX terminal has
// neither code pages nor a handler thread of the system's.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "tools/transfer/terminal.h"

namespace {

// The test's own console, for a run without one (CTest's pipes).
bool haveConsole() { return ::GetConsoleWindow() != nullptr || ::GetConsoleOutputCP() != 0 || ::AllocConsole(); }

TEST(Utf8Console, GivesTheConsolesCodePageBack) {
  if (!haveConsole()) GTEST_SKIP() << "no console to be had here";
  ASSERT_TRUE(::SetConsoleOutputCP(866));
  {
    const korsi::transfer::Utf8Console console;
    EXPECT_EQ(::GetConsoleOutputCP(), static_cast<UINT>(CP_UTF8));
  }
  EXPECT_EQ(::GetConsoleOutputCP(), 866u);
}

// A Ctrl+C whose stop is still running when the program ends: the end waits
// for it, and the watcher it used is not gone under it.
TEST(StopSignals, EndWaitsForAStopUnderWay) {
  if (!haveConsole()) GTEST_SKIP() << "no console to be had here";
  std::promise<void> stopBegun;
  std::promise<void> letStopEnd;
  std::shared_future<void> mayEnd = letStopEnd.get_future().share();
  std::atomic<bool> stopEnded{false};
  auto signals = std::make_unique<korsi::transfer::StopSignals>([&] {
    stopBegun.set_value();
    mayEnd.wait();
    stopEnded = true;
  });
  if (!::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) GTEST_SKIP() << "this console takes no control events";
  ASSERT_EQ(stopBegun.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
  std::atomic<bool> stopEndedFirst{false};
  std::thread ending([&] {
    signals.reset();
    stopEndedFirst = stopEnded.load();
  });
  letStopEnd.set_value();
  ending.join();
  EXPECT_TRUE(stopEndedFirst);
}

}  // namespace
