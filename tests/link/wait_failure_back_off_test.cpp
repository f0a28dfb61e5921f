// The reader's answer to a driver whose wait for received bytes fails at
// once, time after time (serial_win32.cpp): short pauses that grow to the
// longest and stay there, never to a device counted as gone.

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "link/wait_failure_back_off.h"

namespace {

using std::chrono::milliseconds;
using korsi::serial::WaitFailureBackOff;

TEST(WaitFailureBackOff, PausesGrowToTheLongestAndStayThereHoweverLongTheFailuresLast) {
  WaitFailureBackOff backOff;
  std::vector<long long> pauses;
  for (int i = 0; i < 10000; ++i) pauses.push_back(backOff.failed(milliseconds(20)).count());
  EXPECT_EQ(pauses[0], 1);
  EXPECT_EQ(pauses[1], WaitFailureBackOff::kLongestPause.count());
  EXPECT_EQ(pauses.back(), WaitFailureBackOff::kLongestPause.count());
  // Never longer than the reader's own wait, and never no pause at all.
  EXPECT_EQ(backOff.failed(milliseconds(1)), milliseconds(1));
  EXPECT_EQ(backOff.failed(milliseconds(0)), milliseconds(1));
}

TEST(WaitFailureBackOff, AWaitThatWorksStartsTheCountAgain) {
  WaitFailureBackOff backOff;
  for (int i = 0; i < 100; ++i) backOff.failed(milliseconds(20));
  backOff.succeeded();
  EXPECT_EQ(backOff.failed(milliseconds(20)), milliseconds(1));
}

}  // namespace
