#pragma once
// Runs one subcommand: finds the gauge with the desktop program's device
// search (or opens the port the user named), reads with its archive reading,
// writes the output, and turns the outcome into an exit status and one line
// on standard error for every failure.

#include <cstdio>
#include <memory>
#include <mutex>

#include "instrument/worker.h"
#include "tools/transfer/progress_display.h"
#include "tools/transfer/transfer_options.h"

namespace korsi::transfer {

// A stop signal stops the worker that runs now, as Cancel does, and every
// worker started after it.
class Interruption {
 public:
  // From any thread.
  void interrupt() {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
    if (current_) current_->requestStop();
  }
  // The worker a stop signal is for from now on (none: nullptr).
  void follow(std::shared_ptr<StoppableWorker> worker) {
    std::lock_guard lock(mutex_);
    current_ = std::move(worker);
    if (interrupted_ && current_) current_->requestStop();
  }
  bool interrupted() const {
    std::lock_guard lock(mutex_);
    return interrupted_;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<StoppableWorker> current_;
  bool interrupted_ = false;
};

struct RunStreams {
  std::FILE* out = stdout;  // find's answer, CSV for "-o -"
  std::FILE* err = stderr;  // progress, summary, errors
  ProgressStyle progress = ProgressStyle::Lines;
};

// Runs options.command; returns the exit status.
int runTransfer(const TransferOptions& options, const RunStreams& streams, Interruption& interruption);

}  // namespace korsi::transfer
