#include "link/link_wait.h"

#include <atomic>
#include <thread>

namespace korsi::link {

namespace {
std::atomic<WaitFunction> replacement{nullptr};
}

void linkWait(std::chrono::microseconds d) {
  if (const WaitFunction wait = replacement.load(std::memory_order_relaxed)) {
    wait(d);
    return;
  }
  std::this_thread::sleep_for(d);
}

void setWaitFunction(WaitFunction wait) noexcept { replacement.store(wait); }

}  // namespace korsi::link
