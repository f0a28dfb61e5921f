#pragma once
// An event that stays set until someone resets it, and wakes every waiter
// while set. Setting it before a wait begins is never lost.

#include <condition_variable>
#include <mutex>

namespace korsi {

class ManualResetEvent {
 public:
  void set() {
    {
      std::lock_guard lock(mutex_);
      set_ = true;
    }
    changed_.notify_all();
  }
  void reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
  }
  // Returns once the event is set; leaves it set.
  void wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return set_; });
  }
  bool isSet() const {
    std::lock_guard lock(mutex_);
    return set_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

}  // namespace korsi
