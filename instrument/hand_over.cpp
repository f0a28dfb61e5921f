#include "instrument/hand_over.h"

#include "instrument/worker.h"

namespace korsi {

bool DirectHandOver::run(const StoppableWorker& worker, std::function<void()> step) {
  if (worker.stopRequested()) return false;
  step();
  return true;
}

}  // namespace korsi
