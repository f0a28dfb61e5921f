#pragma once
// One piece of work for the company archive's server on a thread of its own,
// so that a slow or unreachable server never holds the window; its result is
// handed to the window thread. Destroying the object waits for the work (at
// most libpq's connection time-out) and drops its result.

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <memory>
#include <thread>

namespace korsi {

class BackgroundCall : public QObject {
 public:
  explicit BackgroundCall(QObject* parent = nullptr) : QObject(parent) {}
  ~BackgroundCall() override {
    if (thread_.joinable()) thread_.join();
  }
  BackgroundCall(const BackgroundCall&) = delete;
  BackgroundCall& operator=(const BackgroundCall&) = delete;

  bool busy() const noexcept { return busy_; }

  // Runs work; then done(result) on the window thread. One at a time: false
  // (and nothing run) while the last one is still busy.
  template <class Result>
  bool start(std::function<Result()> work, std::function<void(const Result&)> done) {
    if (busy_) return false;
    if (thread_.joinable()) thread_.join();
    busy_ = true;
    thread_ = std::thread([this, work = std::move(work), done = std::move(done)] {
      auto result = std::make_shared<Result>(work());
      QMetaObject::invokeMethod(
          this,
          [this, done, result] {
            if (thread_.joinable()) thread_.join();
            busy_ = false;
            done(*result);
          },
          Qt::QueuedConnection);
    });
    return true;
  }

 private:
  std::thread thread_;
  bool busy_ = false;
};

}  // namespace korsi
