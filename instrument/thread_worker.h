#pragma once
// A stoppable worker whose body runs on a std::thread of its own. A derived
// worker calls start() at the end of its construction and stopAndJoin() first
// in its destructor, so the body never outlives the members it uses.

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "instrument/hand_over.h"
#include "instrument/worker.h"
#include "services/logs.h"

namespace korsi {

class ThreadWorker : public StoppableWorker {
 public:
  bool isRunning() const noexcept override { return running_.load(); }
  void wait() override {
    std::lock_guard lock(joinLock_);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  }

 protected:
  explicit ThreadWorker(std::shared_ptr<HandOver> handOver) : handOver_(std::move(handOver)) {}
  ~ThreadWorker() override = default;

  void start() {
    running_ = true;
    thread_ = std::thread([this] {
      // Every statement on this thread, the master's and the port's included,
      // is held back once the worker has been stopped.
      setThreadStatementGate(&gate_);
      body();
      setThreadStatementGate(nullptr);
      running_ = false;
    });
  }
  void stopAndJoin() {
    requestStop();
    wait();
  }

  virtual void body() = 0;

  // Runs step on the view's thread; false when the worker has been stopped.
  bool handOver(std::function<void()> step) {
    if (stopRequested()) return false;
    return handOver_->run(*this, std::move(step));
  }

  // A log statement of the worker ("INF" or "ERR"), left out once it has
  // been asked to stop: a stopped worker writes nothing more, not even a line
  // begun while Cancel was being pressed.
  template <class... Pieces>
  void logUnlessStopped(const char* level, const char* file, int line, const Pieces&... pieces) {
    // On the worker's own thread its gate decides; elsewhere (a test calling
    // the body directly) the same rule is applied here.
    if (threadStatementGate() == &gate_) {
      detail::logLine(level, file, line, pieces...);
    } else {
      gate_.pass([&] { detail::logLine(level, file, line, pieces...); });
    }
  }

 private:
  class StopGate final : public StatementGate {
   public:
    explicit StopGate(const StoppableWorker& worker) : worker_(worker) {}
    void pass(const std::function<void()>& write) override {
      std::lock_guard lock(lock_);
      if (!worker_.stopRequested()) write();
    }
    // A statement under way ends before this returns.
    void settle() { std::lock_guard lock(lock_); }

   private:
    const StoppableWorker& worker_;
    std::mutex lock_;
  };

  void onStopRequested() noexcept override {
    gate_.settle();
    handOver_->wake();
  }

  std::shared_ptr<HandOver> handOver_;
  StopGate gate_{*this};
  std::atomic<bool> running_{false};
  std::mutex joinLock_;
  std::thread thread_;
};

}  // namespace korsi

#define WORKER_INF(...) logUnlessStopped("INF", __FILE__, __LINE__, __VA_ARGS__)
#define WORKER_ERR(...) logUnlessStopped("ERR", __FILE__, __LINE__, __VA_ARGS__)
