#pragma once
// A worker for tests. Its body makes "exchanges" one after the other until it
// is asked to stop or told to finish. While held inside an exchange it does
// not look at the stop request, like a worker waiting for the gauge's answer.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "instrument/worker.h"

namespace korsi::test {

class TestWorker : public StoppableWorker {
 public:
  // exchange: what one exchange does (for example write a log line);
  // held: the body starts inside an exchange and stays there until leaveExchange().
  explicit TestWorker(std::function<void()> exchange = {}, bool held = false)
      : exchange_(std::move(exchange)), held_(held), thread_([this] { body(); }) {}
  ~TestWorker() override {
    leaveExchange();
    requestStop();
    wait();
  }

  // Ends the body by itself, as a search or a reading that has come to its end.
  void finish() {
    {
      std::lock_guard lock(mutex_);
      finish_ = true;
    }
    wake_.notify_all();
  }
  void leaveExchange() {
    {
      std::lock_guard lock(mutex_);
      held_ = false;
    }
    wake_.notify_all();
  }
  int exchanges() const noexcept { return exchanges_.load(); }

  bool isRunning() const noexcept override { return running_.load(); }
  void wait() override {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  }

 protected:
  void onStopRequested() noexcept override {
    { std::lock_guard lock(mutex_); }
    wake_.notify_all();
  }

 private:
  void body() {
    std::unique_lock lock(mutex_);
    while (true) {
      wake_.wait_for(lock, std::chrono::milliseconds(1), [this] {
        return !held_ && (stopRequested() || finish_);
      });
      if (held_) continue;
      if (stopRequested() || finish_) break;
      lock.unlock();
      if (exchange_) exchange_();
      ++exchanges_;
      lock.lock();
    }
    running_ = false;
  }

  std::function<void()> exchange_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool held_;
  bool finish_ = false;
  std::atomic<int> exchanges_{0};
  std::atomic<bool> running_{true};
  std::thread thread_;  // last: the body starts once everything above is set
};

}  // namespace korsi::test
