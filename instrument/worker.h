#pragma once
// The workers that talk to the gauge on a thread of their own (the device
// search and the archive reading), as the rest of the program sees them: a
// thread that Cancel can stop at once and that shutdown waits for before the
// master, the port and the log go away.

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

namespace korsi {

class StoppableWorker {
 public:
  virtual ~StoppableWorker() = default;
  StoppableWorker(const StoppableWorker&) = delete;
  StoppableWorker& operator=(const StoppableWorker&) = delete;

  // Asks the body to stop and returns at once; safe from any thread. The body
  // tests stopRequested() before each exchange with the gauge and before each
  // hand-over to the user-interface thread, discards the answer of an exchange
  // already under way, and leaves without holding a lock of the log, the port
  // or the master. After the request it sends nothing, changes no window,
  // stores no row and writes nothing to the log. A body that has already ended
  // is not affected.
  void requestStop() noexcept {
    if (!stop_.exchange(true)) onStopRequested();
  }
  bool stopRequested() const noexcept { return stop_.load(); }

  // True from the start of the body until it has returned.
  virtual bool isRunning() const noexcept = 0;
  // Blocks until the body has returned; returns at once when it has already
  // ended. Called on the user-interface thread, never on the worker's own.
  virtual void wait() = 0;

 protected:
  StoppableWorker() = default;
  // Runs once, on the thread that asked for the stop, right after the request
  // is recorded: the place to wake a hand-over that waits for the
  // user-interface thread, so that the body sees the request at once.
  virtual void onStopRequested() noexcept {}

 private:
  std::atomic<bool> stop_{false};
};

// The current search worker and the current reading worker: the most recently
// started worker of each kind. A reference stays set after the worker's body
// has ended; only Cancel clears it. The workers are kept alive here, and a
// worker that was stopped or replaced is kept until it has been waited for,
// so that no exchange of an old worker overlaps a new command's use of the
// port. Used on the user-interface thread only.
class CurrentWorkers {
 public:
  using Worker = std::shared_ptr<StoppableWorker>;

  CurrentWorkers() = default;
  ~CurrentWorkers() { stopAndWaitAll(); }
  CurrentWorkers(const CurrentWorkers&) = delete;
  CurrentWorkers& operator=(const CurrentWorkers&) = delete;

  const Worker& search() const noexcept { return search_; }
  const Worker& reading() const noexcept { return reading_; }

  // Records a newly started worker; the one it replaces is kept until waited for.
  void setSearch(Worker worker) { retire(std::exchange(search_, std::move(worker))); }
  void setReading(Worker worker) { retire(std::exchange(reading_, std::move(worker))); }

  // Cancel: asks the referenced worker to stop, without waiting for it, and
  // clears the reference. False when no worker was referenced.
  bool stopSearch() { return stop(search_); }
  bool stopReading() { return stop(reading_); }

  // Waits until every stopped or replaced worker has left its exchange, then
  // lets them go. A command calls this before it uses the port or the master.
  void waitForStopped() {
    for (const Worker& worker : retired_) worker->wait();
    retired_.clear();
  }

  // True while any worker known here, current or stopped, is still running.
  bool anyRunning() const noexcept {
    if (search_ && search_->isRunning()) return true;
    if (reading_ && reading_->isRunning()) return true;
    return anyStoppedRunning();
  }

  // True while a worker that was stopped or replaced is still running.
  bool anyStoppedRunning() const noexcept {
    for (const Worker& worker : retired_) {
      if (worker->isRunning()) return true;
    }
    return false;
  }

  // Asks every worker known here to stop, without waiting.
  void requestStopAll() noexcept {
    if (search_) search_->requestStop();
    if (reading_) reading_->requestStop();
    for (const Worker& worker : retired_) worker->requestStop();
  }

  // Shutdown: stops every worker and waits until all have ended.
  void stopAndWaitAll() {
    stopSearch();
    stopReading();
    for (const Worker& worker : retired_) worker->requestStop();
    waitForStopped();
  }

 private:
  void retire(Worker worker) {
    if (worker) retired_.push_back(std::move(worker));
  }
  bool stop(Worker& reference) {
    if (!reference) return false;
    reference->requestStop();
    retire(std::move(reference));
    reference.reset();
    return true;
  }

  Worker search_;
  Worker reading_;
  std::vector<Worker> retired_;
};

}  // namespace korsi
