#include "simulator/in_process_line.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace korsi::sim {

// Both ends' state, under one lock. The program's device and the factory
// hold it too, so either end may go first.
struct InProcessLine::Shared {
  std::mutex mutex;
  std::condition_variable toGaugeChanged;    // bytes for the gauge, wake, close
  std::condition_variable toProgramChanged;  // bytes for the program, reader wake, close
  std::deque<unsigned char> toGauge;
  std::deque<unsigned char> toProgram;
  bool woken = false;   // the gauge's reads and pauses return at once
  bool closed = false;  // the line has gone: the device sees a hang-up
  bool deviceOpen = false;
  bool readerWoken = false;
};

namespace {

// The line's bytes are not bounded by a driver; the port's rings are. A
// program that stops reading for long loses what passes this, as a driver's
// full queue would.
constexpr std::size_t kQueueLimit = 4096;

void append(std::deque<unsigned char>& queue, const unsigned char* bytes, std::size_t count) {
  const std::size_t room = queue.size() < kQueueLimit ? kQueueLimit - queue.size() : 0;
  queue.insert(queue.end(), bytes, bytes + std::min(count, room));
}

std::size_t take(std::deque<unsigned char>& queue, unsigned char* dst, std::size_t count) {
  const std::size_t n = std::min(count, queue.size());
  std::copy_n(queue.begin(), n, dst);
  queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(n));
  return n;
}

// The program's end of the line, as the serial port sees a device.
class InProcessDevice : public serial::SerialDevice {
 public:
  explicit InProcessDevice(std::shared_ptr<InProcessLine::Shared> shared) : shared_(std::move(shared)) {}
  ~InProcessDevice() override {
    std::lock_guard lock(shared_->mutex);
    shared_->deviceOpen = false;
    // What the gauge sent to a port that has closed is gone with it.
    shared_->toProgram.clear();
  }

  bool getState(serial::LineState& state) override {
    std::lock_guard lock(shared_->mutex);
    state = state_;
    return true;
  }
  bool setState(const serial::LineState& state) override {
    std::lock_guard lock(shared_->mutex);
    state_ = state;
    return true;
  }
  bool setModemLine(serial::ModemLine, bool) override { return true; }

  std::size_t waiting() override {
    std::lock_guard lock(shared_->mutex);
    return shared_->toProgram.size();
  }
  serial::IoResult read(unsigned char* dst, std::size_t count) override {
    std::lock_guard lock(shared_->mutex);
    if (shared_->toProgram.empty() && shared_->closed) return {0, serial::IoStatus::Gone, 0};
    return {take(shared_->toProgram, dst, count), serial::IoStatus::Done, 0};
  }
  void waitReadable(std::chrono::milliseconds limit) override {
    std::unique_lock lock(shared_->mutex);
    shared_->toProgramChanged.wait_for(lock, limit, [this] {
      return !shared_->toProgram.empty() || shared_->readerWoken || shared_->closed;
    });
    shared_->readerWoken = false;
  }
  bool hungUp() override {
    std::lock_guard lock(shared_->mutex);
    return shared_->closed;
  }
  void wakeReader() noexcept override {
    {
      std::lock_guard lock(shared_->mutex);
      shared_->readerWoken = true;
    }
    shared_->toProgramChanged.notify_all();
  }
  serial::IoResult write(const unsigned char* src, std::size_t count) override {
    {
      std::lock_guard lock(shared_->mutex);
      if (shared_->closed) return {0, serial::IoStatus::Gone, 0};
      append(shared_->toGauge, src, count);
    }
    shared_->toGaugeChanged.notify_all();
    return {count, serial::IoStatus::Done, 0};
  }
  void waitWritable(std::chrono::milliseconds) override {}
  void purgeInput() override {
    std::lock_guard lock(shared_->mutex);
    shared_->toProgram.clear();
  }
  // Written bytes are on the line at once: nothing waits to be discarded.
  void purgeOutput() override {}

 private:
  std::shared_ptr<InProcessLine::Shared> shared_;
  serial::LineState state_;
};

}  // namespace

InProcessLine::InProcessLine(std::string name) : shared_(std::make_shared<Shared>()), name_(std::move(name)) {}

InProcessLine::~InProcessLine() { close(); }

serial::DeviceFactory InProcessLine::deviceFactory() const {
  return [shared = shared_]() -> serial::OpenResult {
    std::lock_guard lock(shared->mutex);
    if (shared->closed) return {nullptr, "the simulated gauge has stopped", true};
    if (shared->deviceOpen) {
      return {nullptr, "the device is in use: another port holds the simulated gauge", false};
    }
    shared->deviceOpen = true;
    shared->toProgram.clear();
    return {std::make_unique<InProcessDevice>(shared), {}, false};
  };
}

const std::string& InProcessLine::devicePath() const { return name_; }

GaugeLine::ReadResult InProcessLine::read(unsigned char* buffer, std::size_t capacity, std::size_t* count) {
  std::unique_lock lock(shared_->mutex);
  shared_->toGaugeChanged.wait(lock, [this] { return !shared_->toGauge.empty() || shared_->woken; });
  if (shared_->woken) return ReadResult::Woken;
  *count = take(shared_->toGauge, buffer, capacity);
  return ReadResult::Data;
}

std::size_t InProcessLine::dropInput() {
  std::lock_guard lock(shared_->mutex);
  const std::size_t dropped = shared_->toGauge.size();
  shared_->toGauge.clear();
  return dropped;
}

void InProcessLine::write(const unsigned char* bytes, std::size_t count) {
  {
    std::lock_guard lock(shared_->mutex);
    // Nobody listens while the port is closed: the bytes are lost, as on a
    // serial line.
    if (!shared_->deviceOpen || shared_->closed) return;
    append(shared_->toProgram, bytes, count);
  }
  shared_->toProgramChanged.notify_all();
}

bool InProcessLine::pause(std::chrono::microseconds duration) {
  std::unique_lock lock(shared_->mutex);
  return !shared_->toGaugeChanged.wait_for(lock, duration, [this] { return shared_->woken; });
}

void InProcessLine::wake() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->woken = true;
  }
  shared_->toGaugeChanged.notify_all();
}

void InProcessLine::close() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->closed = true;
    shared_->woken = true;
    shared_->toGauge.clear();
    shared_->toProgram.clear();
  }
  shared_->toGaugeChanged.notify_all();
  shared_->toProgramChanged.notify_all();
}

}  // namespace korsi::sim
