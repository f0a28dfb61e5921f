#pragma once
// How a worker has a step run on the view's thread while it waits. The step
// is not run once the worker has been asked to stop, and a wait under way ends
// at the stop request, so a stopped worker changes nothing on the screen and
// Cancel never waits for a worker that waits for the window. Each worker has
// a hand-over of its own, shared with the steps it has handed over.

#include <functional>

namespace korsi {

class StoppableWorker;

class HandOver {
 public:
  virtual ~HandOver() = default;

  // Runs step on the view's thread and returns when it has run: true. False,
  // without running it, when worker has been (or, during the wait, is) asked
  // to stop.
  virtual bool run(const StoppableWorker& worker, std::function<void()> step) = 0;
  // Ends every wait under way; called when a worker is asked to stop.
  virtual void wake() noexcept = 0;
};

// Runs each step at once on the worker's own thread: for views that may be
// used from any thread (tests, a terminal).
class DirectHandOver final : public HandOver {
 public:
  bool run(const StoppableWorker& worker, std::function<void()> step) override;
  void wake() noexcept override {}
};

}  // namespace korsi
