// When the master's reply wait begins: once the request has left the line,
// not when the writer handed it to the driver. Played on a clock of the
// test's own (every wait of the master moves it), with a driver that takes a
// request at once but sends it slowly, as a converter that holds its bytes
// does, and a gauge that answers a fixed time after the request has left.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "link/comm_port.h"
#include "link/link_wait.h"
#include "link/modbus_master.h"
#include "link/serial_device.h"
#include "tests/support/comm_port_access.h"

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

// The driver's side: what it has been handed leaves one byte every byteTime;
// the reply comes answerAfter after the request's last byte has left.
class SlowLineDevice : public korsi::serial::SerialDevice {
 public:
  SlowLineDevice(microseconds byteTime, microseconds answerAfter, std::vector<std::uint8_t> reply)
      : byteTime_(byteTime), answerAfter_(answerAfter), reply_(std::move(reply)) {}

  // Moves the line to time now.
  void advance(microseconds now) {
    now_ = now;
    while (unsent_ > 0 && nextLeaves_ <= now_) {
      --unsent_;
      if (unsent_ == 0) answerAt_ = nextLeaves_ + answerAfter_;
      nextLeaves_ += byteTime_;
    }
    if (answerAt_ && *answerAt_ <= now_) {
      held_.insert(held_.end(), reply_.begin(), reply_.end());
      answerAt_.reset();
    }
  }

  bool getState(korsi::serial::LineState&) override { return true; }
  bool setState(const korsi::serial::LineState&) override { return true; }
  bool setModemLine(korsi::serial::ModemLine, bool) override { return true; }
  std::size_t waiting() override { return held_.size(); }
  korsi::serial::IoResult read(unsigned char* dst, std::size_t count) override {
    std::size_t n = 0;
    for (; n < count && !held_.empty(); ++n) {
      dst[n] = held_.front();
      held_.pop_front();
    }
    return {n, korsi::serial::IoStatus::Done, 0};
  }
  void waitReadable(milliseconds) override {}
  korsi::serial::IoResult write(const unsigned char*, std::size_t count) override {
    if (unsent_ == 0) nextLeaves_ = now_ + byteTime_;
    unsent_ += count;
    return {count, korsi::serial::IoStatus::Done, 0};
  }
  void waitWritable(milliseconds) override {}
  std::size_t outputWaiting() override { return unsent_; }
  void purgeInput() override { held_.clear(); }
  void purgeOutput() override { unsent_ = 0; }

 private:
  microseconds byteTime_;
  microseconds answerAfter_;
  std::vector<std::uint8_t> reply_;
  microseconds now_{0};
  std::size_t unsent_ = 0;
  microseconds nextLeaves_{0};
  std::optional<microseconds> answerAt_;
  std::deque<std::uint8_t> held_;
};

// The clock and what a wait of the master does to it: the writer and the
// reader pass once a millisecond (and at the end of every wait).
struct LineClock {
  microseconds now{0};
  SlowLineDevice* device = nullptr;
  TCommPort* port = nullptr;
};
LineClock lineClock;

void advance(microseconds d) {
  const microseconds end = lineClock.now + d;
  do {
    lineClock.now = std::min(end, lineClock.now + microseconds{1000});
    korsi::test::CommPortAccess::writerPass(*lineClock.port);
    lineClock.device->advance(lineClock.now);
    korsi::test::CommPortAccess::readerPass(*lineClock.port);
  } while (lineClock.now < end);
}

// The echo reply 01 04 00 01 5A 5B 99.
const std::vector<std::uint8_t> kEchoReply = {0x01, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0x99};

// The driver needs 40 ms for the 8 bytes of the request (5 ms a byte); the
// gauge answers 30 ms after the last has left, 70 ms after the request was
// handed over: within the 50 ms reply wait only if it counts from the line.
TEST(ReplyClock, TheReplyWaitCountsFromWhenTheRequestHasLeftTheLine) {
  TCommPort port;
  auto owned = std::make_unique<SlowLineDevice>(microseconds{5000}, microseconds{30000}, kEchoReply);
  SlowLineDevice* device = owned.get();
  lineClock = LineClock{microseconds{0}, device, &port};
  korsi::test::CommPortAccess::attach(port, std::move(owned));
  korsi::link::setWaitFunction(advance);
  int result = 0;
  Modbus::Response::EchoMessage response;
  {
    Modbus::MBMaster master(port);
    Modbus::Request::EchoMessage request;
    master.send(request);
    result = master.receive(response);
    korsi::link::setWaitFunction(nullptr);
    korsi::test::CommPortAccess::detach(port);
  }
  EXPECT_EQ(result, 4);
  EXPECT_EQ(std::vector<std::uint8_t>(response.begin(), response.end()), kEchoReply);
  EXPECT_GE(lineClock.now, microseconds{70000});  // the reply was awaited on the line's time
}

}  // namespace
