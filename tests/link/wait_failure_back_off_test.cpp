// The reader's answer to a driver whose wait for received bytes fails at
// once, time after time (serial_win32.cpp): pauses that grow to the reader's
// own wait, then the device counted as hung up for good.

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "link/wait_failure_back_off.h"

namespace {

using std::chrono::milliseconds;

TEST(WaitFailureBackOff, PausesGrowToTheLongestThenTheDeviceCountsAsHungUp) {
  korsi::serial::WaitFailureBackOff backOff;
  std::vector<long long> pauses;
  for (int i = 0; i < korsi::serial::WaitFailureBackOff::kLimit - 1; ++i) {
    const auto pause = backOff.failed(milliseconds(20));
    ASSERT_TRUE(pause.has_value()) << "failure " << i + 1;
    pauses.push_back(pause->count());
  }
  EXPECT_EQ(std::vector<long long>(pauses.begin(), pauses.begin() + 7), (std::vector<long long>{1, 2, 4, 8, 16, 20, 20}));
  EXPECT_FALSE(backOff.givenUp());
  EXPECT_FALSE(backOff.failed(milliseconds(20)).has_value());
  EXPECT_TRUE(backOff.givenUp());
  // Given up stays given up: the device is closed and opened again for a new try.
  backOff.succeeded();
  EXPECT_TRUE(backOff.givenUp());
  EXPECT_FALSE(backOff.failed(milliseconds(20)).has_value());
}

TEST(WaitFailureBackOff, AWaitThatWorksStartsTheCountAgain) {
  korsi::serial::WaitFailureBackOff backOff;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < korsi::serial::WaitFailureBackOff::kLimit - 1; ++i) ASSERT_TRUE(backOff.failed(milliseconds(20)));
    backOff.succeeded();
    EXPECT_EQ(backOff.failed(milliseconds(20)), milliseconds(1));
    backOff.succeeded();
  }
  EXPECT_FALSE(backOff.givenUp());
}

}  // namespace
