#pragma once
// How the port's reader treats a driver whose wait for received bytes fails
// at once, time after time: each failure in a row waits longer before the
// next try (1, 2, 4 ... ms, never longer than the reader's own wait), and
// after kLimit failures in a row the device counts as hung up for good, so
// that the reader rests and the exchanges end at once instead of the reader
// spinning on the driver.

#include <algorithm>
#include <chrono>
#include <optional>

namespace korsi::serial {

class WaitFailureBackOff {
 public:
  static constexpr int kLimit = 50;

  // A failed wait: how long to pause before the next, or nothing once the
  // device is to count as hung up.
  std::optional<std::chrono::milliseconds> failed(std::chrono::milliseconds longest) noexcept {
    if (failures_ < kLimit) ++failures_;
    if (givenUp()) return std::nullopt;
    const std::chrono::milliseconds pause{1LL << std::min(failures_ - 1, 10)};
    return std::min(pause, std::max(longest, std::chrono::milliseconds(1)));
  }
  // A wait that worked: the count starts again.
  void succeeded() noexcept {
    if (!givenUp()) failures_ = 0;
  }
  bool givenUp() const noexcept { return failures_ >= kLimit; }

 private:
  int failures_ = 0;
};

}  // namespace korsi::serial
