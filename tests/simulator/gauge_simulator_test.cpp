// The gauge simulator over a real pseudo-terminal: requests built with the
// system's own message classes go in through the device, replies come out of
// it and are checked byte for byte.

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "instrument/gauge_messages.h"
#include "instrument/meash.h"
#include "link/modbus_messages.h"
#include "tests/support/raw_device.h"
#include "tests/support/thread_census.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"

namespace {

using namespace std::chrono_literals;
using korsi::sim::GaugeFaults;
using korsi::sim::GaugeSimulator;
using korsi::sim::SimulatorConfig;
using korsi::sim::SimulatorCounters;
using korsi::test::RawDevice;
using Bytes = RawDevice::Bytes;

constexpr auto kLimit = std::chrono::seconds(5);
// Longer than any test runs: a delay or pause this long is still under way
// when the test looks, and stop() cuts it short.
constexpr auto kForever = std::chrono::milliseconds(60000);

// Requests as the master puts them on the line: address 1, checksum stored.
template <class Request>
Bytes onWire(Request request) {
  request.setAddress(1);
  request.calcCrc(true);
  return Bytes(request.begin(), request.end());
}

Bytes echoRequest() { return onWire(Modbus::Request::EchoMessage()); }
Bytes sizeRequest() { return onWire(Modbus::Request::ArchPoints()); }
Bytes measurementRequest(std::int32_t n) {
  Modbus::Request::MeashPoint request;
  request.setNum(n);
  return onWire(request);
}

// Frame bytes followed by their checksum, high byte first.
Bytes framed(Bytes bytes) {
  Modbus::ADU frame;
  frame.assign(bytes.begin(), bytes.end());
  frame.insert(frame.end(), 2, 0);
  frame.calcCrc(true);
  return Bytes(frame.begin(), frame.end());
}

// Three measurements, then the documented measurement 300 at position 4.
std::vector<Meash> smallArchive() {
  return {Meash{1, 5, 30, 14, 9, 3, 9, 1.0f}, Meash{2, 0, 31, 14, 9, 3, 9, 0.2f}, Meash{3, 59, 59, 23, 31, 12, 99, 4.999f},
          Meash{300, 5, 30, 14, 9, 3, 9, 1.0f}};
}

const Bytes kMeasurement300Reply = {0x01, 0x06, 0x00, 0x0C, 0x01, 0x2C, 0x05, 0x1E, 0x0E,
                                    0x09, 0x03, 0x09, 0x3F, 0x80, 0x00, 0x00, 0x0F, 0xD9};

class SimulatorOverPty : public ::testing::Test {
 protected:
  void startGauge(GaugeFaults faults = {}) {
    gauge.emplace(SimulatorConfig{smallArchive(), std::move(faults), 7});
    gauge->start();
    device.emplace(gauge->devicePath());
    ASSERT_TRUE(device->isOpen()) << gauge->devicePath();
  }

  Bytes exchange(const Bytes& request) {
    EXPECT_TRUE(device->write(request));
    return device->readReply();
  }

  // Waits until the simulator has dealt with every byte written so far.
  bool settled(std::uint64_t bytesWritten) {
    return gauge->waitUntil([&](const SimulatorCounters& c) { return c.bytesHandled >= bytesWritten; }, kLimit);
  }

  std::optional<GaugeSimulator> gauge;
  std::optional<RawDevice> device;
};

struct AnswerCase {
  const char* name;
  GaugeFaults faults;
  Bytes request;
  Bytes reply;
};

std::ostream& operator<<(std::ostream& out, const AnswerCase& c) { return out << c.name; }

class GaugeAnswers : public SimulatorOverPty, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(GaugeAnswers, ReplyBytes) {
  startGauge(GetParam().faults);
  EXPECT_EQ(exchange(GetParam().request), GetParam().reply);
}

GaugeFaults faults(const std::function<void(GaugeFaults&)>& set) {
  GaugeFaults f;
  set(f);
  return f;
}

GaugeFaults none() { return {}; }

GaugeFaults exceptionFor(std::uint8_t function, std::uint8_t code) {
  GaugeFaults f;
  f.exceptions[function] = code;
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Gauge, GaugeAnswers,
    ::testing::Values(
        AnswerCase{"Echo", none(), echoRequest(), {0x01, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0x99}},
        AnswerCase{"ArchiveSize", none(), sizeRequest(), framed({0x01, 0x05, 0x00, 0x01, 0x00, 0x04})},
        AnswerCase{"DocumentedMeasurement300", none(), measurementRequest(4), kMeasurement300Reply},
        AnswerCase{"MeasurementBeyondTheArchiveIsRefused", none(), measurementRequest(5), framed({0x01, 0x86, 0x02})},
        AnswerCase{"MeasurementZeroIsRefused", none(), measurementRequest(0), framed({0x01, 0x86, 0x02})},
        AnswerCase{"UnknownFunctionIsRefused", none(), framed({0x01, 0x07, 0, 0, 0, 0}), framed({0x01, 0x87, 0x01})}),
    [](const auto& info) { return std::string(info.param.name); });

// Measurement 2's reply with number 3 in it.
Bytes measurement2AsNumber3() {
  Meash m = smallArchive()[1];
  m.num = 3;
  const auto reply = korsi::sim::measurementReply(m, 1);
  return Bytes(reply.begin(), reply.end());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, GaugeAnswers,
    ::testing::Values(
        AnswerCase{"ChecksumFault", faults([](GaugeFaults& f) { f.crcFaultRate = 1.0; }), echoRequest(),
                   {0x01, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0x99 ^ 0xFF}},
        AnswerCase{"WrongNumber", faults([](GaugeFaults& f) { f.wrongNumRate = 1.0; }), measurementRequest(2),
                   measurement2AsNumber3()},
        AnswerCase{"OtherAddress", faults([](GaugeFaults& f) { f.replyAddress = 2; }), echoRequest(),
                   {0x02, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0xDD}},
        AnswerCase{"ExceptionForMeasurements", exceptionFor(6, 3), measurementRequest(1), framed({0x01, 0x86, 0x03})},
        AnswerCase{"ExceptionForEcho", exceptionFor(4, 2), echoRequest(), {0x01, 0x84, 0x02, 0xC1, 0xC2}},
        AnswerCase{"ExceptionLeavesOtherFunctionsAlone", exceptionFor(6, 3), echoRequest(),
                   {0x01, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0x99}},
        AnswerCase{"ExtraBytes", faults([](GaugeFaults& f) { f.extraBytes = 3; }), echoRequest(),
                   {0x01, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0x99, 0xFF, 0xFF, 0xFF}},
        AnswerCase{"ArchiveSizeAbove500", faults([](GaugeFaults& f) { f.archiveSize = 600; }), sizeRequest(),
                   framed({0x01, 0x05, 0x00, 0x01, 0x02, 0x58})},
        AnswerCase{"ShortDelayKeepsTheReplyWhole", faults([](GaugeFaults& f) { f.delay = 5ms; }),
                   measurementRequest(4), kMeasurement300Reply},
        AnswerCase{"AllTogether",
                   faults([](GaugeFaults& f) {
                     f.replyAddress = 2;
                     f.crcFaultRate = 1.0;
                     f.extraBytes = 1;
                   }),
                   echoRequest(), {0x02, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0xDD ^ 0xFF, 0xFF}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimulatorOverPty, AnswersInOrderAcrossTheArchive) {
  startGauge();
  Modbus::Response::MeashPoint reply;
  for (std::int32_t n = 1; n <= 3; ++n) {
    const Bytes bytes = exchange(measurementRequest(n));
    reply.assign(bytes.begin(), bytes.end());
    ASSERT_TRUE(reply.checkCrc());
    Meash m{};
    ASSERT_TRUE(getMeash(reply, &m));
    EXPECT_EQ(m.num, n);
    EXPECT_EQ(m.h, smallArchive()[static_cast<std::size_t>(n - 1)].h);
  }
}

// A request with a broken checksum or for another address gets no reply, and
// a right request after it is answered as usual.
struct IgnoredCase {
  const char* name;
  Bytes request;
};

std::ostream& operator<<(std::ostream& out, const IgnoredCase& c) { return out << c.name; }

class IgnoredRequests : public SimulatorOverPty, public ::testing::WithParamInterface<IgnoredCase> {};

TEST_P(IgnoredRequests, GetNoReplyAndTheNextRequestIsAnswered) {
  startGauge();
  ASSERT_TRUE(device->write(GetParam().request));
  ASSERT_TRUE(settled(GetParam().request.size()));
  EXPECT_EQ(device->waiting(), 0u);
  EXPECT_EQ(exchange(echoRequest()), Bytes({0x01, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0x99}));
}

Bytes withLastByte(Bytes bytes, unsigned char last) {
  bytes.back() = last;
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, IgnoredRequests,
    ::testing::Values(IgnoredCase{"WrongChecksum", withLastByte(echoRequest(), 0xF1)},
                      IgnoredCase{"ChecksumLowByteFirst", {0x01, 0x04, 0, 0, 0, 0, 0xF0, 0x0A}},
                      IgnoredCase{"OtherAddress", framed({0x02, 0x04, 0, 0, 0, 0})},
                      IgnoredCase{"Broadcast", framed({0x00, 0x04, 0, 0, 0, 0})},
                      IgnoredCase{"StrayBytes", {0x01, 0x04, 0x00}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimulatorOverPty, SilentAfterNRepliesAnswersNothingMore) {
  GaugeFaults f;
  f.silentAfter = 2;
  startGauge(f);
  EXPECT_EQ(exchange(echoRequest()).size(), 7u);
  EXPECT_EQ(exchange(sizeRequest()).size(), 8u);
  ASSERT_TRUE(device->write(echoRequest()));
  ASSERT_TRUE(settled(3 * 8));
  EXPECT_EQ(device->waiting(), 0u);
  const auto c = gauge->counters();
  EXPECT_EQ(c.requestsSeen, 3u);
  EXPECT_EQ(c.repliesSent, 2u);
}

TEST_F(SimulatorOverPty, PauseMidReplyStopsAfterTheFirstHalf) {
  GaugeFaults f;
  f.pauseMidReply = kForever;
  startGauge(f);
  ASSERT_TRUE(device->write(measurementRequest(4)));
  // 18 bytes: the first nine come, then the pause.
  EXPECT_EQ(device->readExactly(9), Bytes(kMeasurement300Reply.begin(), kMeasurement300Reply.begin() + 9));
  ASSERT_TRUE(gauge->waitUntil([](const SimulatorCounters& c) { return c.repliesStarted == 1; }, kLimit));
  EXPECT_EQ(gauge->counters().repliesSent, 0u);
  EXPECT_EQ(device->waiting(), 0u);
}

TEST_F(SimulatorOverPty, PauseMidReplyThenSendsTheRest) {
  GaugeFaults f;
  f.pauseMidReply = 20ms;
  startGauge(f);
  ASSERT_TRUE(device->write(measurementRequest(4)));
  EXPECT_EQ(device->readExactly(kMeasurement300Reply.size()), kMeasurement300Reply);
}

TEST_F(SimulatorOverPty, DelayHoldsTheReplyBack) {
  GaugeFaults f;
  f.delay = kForever;
  startGauge(f);
  ASSERT_TRUE(device->write(echoRequest()));
  ASSERT_TRUE(gauge->waitUntil([](const SimulatorCounters& c) { return c.requestsSeen == 1; }, kLimit));
  EXPECT_EQ(gauge->counters().repliesStarted, 0u);
  EXPECT_EQ(device->waiting(), 0u);
}

// The scheduling policy of one of this process's threads, as the system
// reports it (the 41st field of its stat line); -1 when it cannot be read.
int schedulingPolicyOf(long threadId) {
  std::ifstream in("/proc/self/task/" + std::to_string(threadId) + "/stat");
  std::string line;
  std::getline(in, line);
  // The name in parentheses may hold spaces: count fields after it.
  const std::size_t nameEnd = line.rfind(')');
  if (nameEnd == std::string::npos) return -1;
  std::istringstream fields(line.substr(nameEnd + 1));
  std::string field;
  for (int n = 3; n <= 41 && fields >> field; ++n) {
    if (n == 41) return std::stoi(field);
  }
  return -1;
}

// Whether this process may put a thread under real-time scheduling at all.
bool realTimePermitted() {
  bool permitted = false;
  std::thread probe([&permitted] {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO);
    permitted = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
  });
  probe.join();
  return permitted;
}

// The means to be on time on a busy computer: where the system permits it,
// the thread that answers really runs under real-time scheduling, and still
// answers.
TEST_F(SimulatorOverPty, AnswersFromARealTimeThreadWherePermitted) {
  const korsi::test::ThreadIds before = korsi::test::threadIds();
  startGauge();
  const korsi::test::ThreadIds added = korsi::test::newThreads(before, korsi::test::threadIds());
  // A sanitizer may start a helper thread of its own at the same moment; only
  // the answering thread may be raised.
  ASSERT_FALSE(added.empty());
  std::size_t realTime = 0;
  for (const long id : added) {
    if (schedulingPolicyOf(id) == SCHED_FIFO) ++realTime;
  }
  if (realTimePermitted()) {
    EXPECT_EQ(gauge->answerPriority(), korsi::sim::AnswerPriority::RealTime);
    EXPECT_EQ(realTime, 1u);
  } else {
    EXPECT_NE(gauge->answerPriority(), korsi::sim::AnswerPriority::RealTime);
    EXPECT_EQ(realTime, 0u);
  }
  EXPECT_EQ(exchange(echoRequest()), Bytes({0x01, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0x99}));
}

// The device search opens and closes a port again and again.
TEST_F(SimulatorOverPty, KeepsAnsweringWhenTheDeviceIsReopened) {
  startGauge();
  for (int round = 0; round < 3; ++round) {
    device.reset();
    device.emplace(gauge->devicePath());
    ASSERT_TRUE(device->isOpen());
    EXPECT_EQ(exchange(echoRequest()), Bytes({0x01, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0x99})) << "round " << round;
  }
}

// Stopping is what unplugging the gauge looks like to the port's user.
TEST_F(SimulatorOverPty, StopTakesTheDeviceAway) {
  startGauge();
  EXPECT_EQ(exchange(echoRequest()).size(), 7u);
  gauge->stop();
  EXPECT_LE(device->readAfterHangUp(), 0);
  gauge->stop();  // a second stop does nothing
}

TEST_F(SimulatorOverPty, StopCutsADelayShort) {
  GaugeFaults f;
  f.delay = kForever;
  startGauge(f);
  ASSERT_TRUE(device->write(echoRequest()));
  ASSERT_TRUE(gauge->waitUntil([](const SimulatorCounters& c) { return c.requestsSeen == 1; }, kLimit));
  gauge->stop();
  EXPECT_EQ(gauge->counters().repliesStarted, 0u);
}

TEST_F(SimulatorOverPty, LateReplyWaitsBeyondTheMastersWait) {
  GaugeFaults f;
  f.lateRate = 1.0;
  f.lateBy = kForever;
  startGauge(f);
  ASSERT_TRUE(device->write(echoRequest()));
  ASSERT_TRUE(gauge->waitUntil([](const SimulatorCounters& c) { return c.faults.lateReplies == 1; }, kLimit));
  EXPECT_EQ(gauge->counters().repliesStarted, 0u);
  EXPECT_EQ(device->waiting(), 0u);
}

TEST_F(SimulatorOverPty, LateReplyComesWholeInTheEnd) {
  GaugeFaults f;
  f.lateRate = 1.0;
  f.lateBy = 20ms;
  startGauge(f);
  ASSERT_TRUE(device->write(measurementRequest(4)));
  EXPECT_EQ(device->readExactly(kMeasurement300Reply.size()), kMeasurement300Reply);
}

TEST_F(SimulatorOverPty, StrayBytesFollowTheReplyOnTheQuietLine) {
  GaugeFaults f;
  f.strayRate = 1.0;
  f.strayBytes = 4;
  startGauge(f);
  ASSERT_TRUE(device->write(measurementRequest(4)));
  EXPECT_EQ(device->readExactly(kMeasurement300Reply.size()), kMeasurement300Reply);
  EXPECT_EQ(device->readExactly(4).size(), 4u);
  EXPECT_EQ(gauge->counters().faults.strayBursts, 1u);
}

TEST_F(SimulatorOverPty, SplitShareOfOneStopsEveryReplyInTheMiddle) {
  GaugeFaults f;
  f.pauseMidReply = kForever;
  f.splitRate = 1.0;
  startGauge(f);
  ASSERT_TRUE(device->write(measurementRequest(4)));
  EXPECT_EQ(device->readExactly(9), Bytes(kMeasurement300Reply.begin(), kMeasurement300Reply.begin() + 9));
  EXPECT_EQ(gauge->counters().faults.splitReplies, 1u);
}

// A line that never falls silent: bytes keep coming whether or not anything
// is asked, and stop ends it.
TEST_F(SimulatorOverPty, StreamingLineNeverFallsSilent) {
  GaugeFaults f;
  f.streamAfter = 1;
  startGauge(f);
  EXPECT_EQ(device->readExactly(0).size(), 0u);
  ASSERT_TRUE(device->write(echoRequest()));
  EXPECT_EQ(device->readExactly(7), Bytes({0x01, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0x99}));
  for (int round = 0; round < 5; ++round) {
    ASSERT_TRUE(device->write(echoRequest()));  // taken and dropped
    EXPECT_EQ(device->readExactly(500).size(), 500u) << "round " << round;
  }
  // Counted after each write, so only a stopped gauge has counted all it sent.
  gauge->stop();
  EXPECT_GE(gauge->counters().bytesStreamed, 2500u);
  EXPECT_EQ(gauge->counters().repliesSent, 1u);
}

TEST_F(SimulatorOverPty, StreamingFromTheStart) {
  GaugeFaults f;
  f.streamAfter = 0;
  startGauge(f);
  EXPECT_EQ(device->readExactly(300).size(), 300u);
}

}  // namespace
