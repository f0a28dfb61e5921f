#pragma once
// The hand-over of a worker's steps to the user-interface thread: a step is
// posted to Qt's event loop and the worker waits until it has run. A stop
// request ends the wait at once, and a step that has not run by then never
// runs (it is checked on the user-interface thread, where Cancel also runs),
// so the worker and Cancel never wait for each other.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "instrument/hand_over.h"

namespace korsi {

class QtHandOver final : public HandOver, public std::enable_shared_from_this<QtHandOver> {
 public:
  // One per worker; made on the user-interface thread.
  static std::shared_ptr<QtHandOver> make();

  bool run(const StoppableWorker& worker, std::function<void()> step) override;
  void wake() noexcept override;

 private:
  QtHandOver() = default;

  std::mutex mutex_;
  std::condition_variable done_;
  bool stopped_ = false;
  // Steps posted and steps that have run (or were dropped) so far.
  unsigned long long posted_ = 0;
  unsigned long long finished_ = 0;
};

}  // namespace korsi
