#pragma once
// How the port's reader treats a driver whose wait for received bytes fails
// at once, time after time: each failure in a row pauses a little longer
// before the next look (1, then 2 ms, never longer than the reader's own
// wait), so that the reader polls instead of spinning on the driver. The
// pauses stay short because such a driver may still deliver every byte
// (Wine's driver on a pseudo-terminal fails every wait): the replies are
// then found by the looks alone. Whether the device is gone is for the
// driver's state of the port to tell (hungUp), not for the count of failed
// waits.

#include <algorithm>
#include <chrono>

namespace korsi::serial {

class WaitFailureBackOff {
 public:
  static constexpr std::chrono::milliseconds kLongestPause{2};

  // A failed wait: how long to pause before the next look.
  std::chrono::milliseconds failed(std::chrono::milliseconds longest) noexcept {
    if (failures_ < kGrowth) ++failures_;
    const std::chrono::milliseconds pause{1LL << (failures_ - 1)};
    return std::min({pause, kLongestPause, std::max(longest, std::chrono::milliseconds(1))});
  }
  // A wait that worked: the next failure pauses briefly again.
  void succeeded() noexcept { failures_ = 0; }

 private:
  static constexpr int kGrowth = 8;  // 1 << 7 is far past the longest pause
  int failures_ = 0;
};

}  // namespace korsi::serial
