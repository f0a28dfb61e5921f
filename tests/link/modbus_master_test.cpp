#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <string>
#include <vector>

#include "link/comm_port.h"
#include "link/link_wait.h"
#include "link/modbus_master.h"
#include "link/modbus_messages.h"
#include "tests/support/link_fixture.h"

namespace {

using korsi::test::Bytes;
using korsi::test::LogLine;

Bytes bytesOf(const message_queue_t& frame) { return Bytes(frame.begin(), frame.end()); }

// body followed by its checksum, high byte first.
Bytes framed(Bytes body) {
  const std::uint16_t crc = Modbus::crc16(body.data(), body.size());
  body.push_back(static_cast<std::uint8_t>(crc >> 8));
  body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  return body;
}

// A normal reply of n bytes in all, with a right checksum; its function code
// has no known length, so it ends when the line falls silent in either mode.
Bytes replyOfLength(std::size_t n) {
  Bytes body = {0x01, 0x03, 0x00, static_cast<std::uint8_t>(n - 6)};
  while (body.size() < n - 2) body.push_back(static_cast<std::uint8_t>(body.size()));
  return framed(body);
}

Bytes plus(Bytes bytes, std::uint8_t more) {
  bytes.push_back(more);
  return bytes;
}

std::string dumpOf(const Bytes& bytes) {
  std::string text;
  char piece[8];
  for (const std::uint8_t b : bytes) {
    std::snprintf(piece, sizeof piece, " 0x%02X", static_cast<unsigned>(b));
    text += piece;
  }
  return text;
}

const Bytes kEchoResponseAsBuilt = {0x00, 0x04, 0x00, 0x01, 0x5A, 0x9B, 0xA4};
const Bytes kExceptionAsBuilt = {0x00, 0x80, 0x00, 0x00, 0x10};

// The port, the slave and the master made in start-up order on the peer's terminal.
class MasterExchange : public korsi::test::LinkFixture {
 protected:
  MasterExchange() : port(resolver()), slave(port), master(port) {
    port.setPortNumber(kPort);
    port.setActive(true);
  }

  TCommPort port;
  Modbus::MBSlave slave;
  Modbus::MBMaster master;
};

TEST_F(MasterExchange, SendAddressesAndChecksumsTheRequest) {
  Modbus::Request::EchoMessage request;
  request.setAddress(9);
  request.setCrc(0x1234);
  master.send(request);
  const Bytes onTheWire = {0x01, 0x04, 0x00, 0x00, 0x00, 0x00, 0x0A, 0xF0};
  EXPECT_EQ(peer.receive(8), onTheWire);
  EXPECT_EQ(bytesOf(request), onTheWire);  // kept, so the same object can be sent again
  EXPECT_TRUE(logLines().empty());
}

struct ReplyCase {
  const char* name;
  Bytes reply;
  int result;
  std::optional<Bytes> response;   // none: left as built
  std::optional<Bytes> exception;  // none: left as built
  std::vector<LogLine> log;
  std::uint32_t leftQueued;
};

void PrintTo(const ReplyCase& c, std::ostream* out) { *out << c.name; }

// Each case in both modes: the fixed timing and the fast exchange.
class ResultTable : public MasterExchange, public ::testing::WithParamInterface<std::tuple<ReplyCase, bool>> {};

TEST_P(ResultTable, ReplyIsClassifiedLoggedAndDrained) {
  const ReplyCase& c = std::get<0>(GetParam());
  master.setFastExchange(std::get<1>(GetParam()));
  Modbus::Request::EchoMessage request;
  master.send(request);
  ASSERT_EQ(peer.receive(8).size(), 8u);
  peer.send(c.reply);
  ASSERT_TRUE(waitForWaiting(port, static_cast<std::uint32_t>(c.reply.size())));

  Modbus::Response::EchoMessage response;
  EXPECT_EQ(master.receive(response), c.result);
  EXPECT_EQ(bytesOf(response), c.response.value_or(kEchoResponseAsBuilt));
  EXPECT_EQ(bytesOf(master.exception()), c.exception.value_or(kExceptionAsBuilt));
  EXPECT_EQ(logLines(), c.log);
  EXPECT_EQ(available(port), c.leftQueued);
}

const Bytes kNormal = {0x01, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0x99};
const Bytes kNormalBadCrc = {0x01, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0x98};
const Bytes kException = {0x01, 0x84, 0x02, 0xC1, 0xC2};
const Bytes kExceptionSwapped = {0x01, 0x84, 0x02, 0xC2, 0xC1};
const Bytes kFunction80 = {0x01, 0x80, 0x00, 0x01, 0x5A, 0xAB, 0xB1};
const Bytes kFunction5 = {0x01, 0x05, 0x00, 0x01, 0x5A, 0xA7, 0x98};
const Bytes kLongest = replyOfLength(Modbus::kLongestReply);

INSTANTIATE_TEST_SUITE_P(
    Receive, ResultTable,
    ::testing::Combine(::testing::Values(
        ReplyCase{"NoReply", {}, -6, std::nullopt, std::nullopt, {}, 0},
        ReplyCase{"FourBytesStayQueued", {0x01, 0x04, 0x00, 0x01}, -6, std::nullopt, std::nullopt, {}, 4},
        ReplyCase{"WrongDeviceAddress",
                  {0x02, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0xDD},
                  -1,
                  std::nullopt,
                  std::nullopt,
                  {{"ERR", "DEVICE_ADDRESS_ERROR"}, {"INF", " 0x02 0x04 0x00 0x01 0x5A 0x5B 0xDD"}},
                  0},
        ReplyCase{"FunctionCodeZero",
                  {0x01, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x19},
                  -2,
                  Bytes{},
                  std::nullopt,
                  {{"INF", "INCORRECT_FUNCTION_CODE"}},
                  0},
        ReplyCase{"ExceptionWithWrongChecksum",
                  kExceptionSwapped,
                  -3,
                  Bytes{},
                  kExceptionSwapped,
                  {{"INF", "EXCEPTION"}, {"ERR", "EXCEPTION_CRC_ERROR"}, {"ERR", " 0x01 0x84 0x02 0xC2 0xC1"}},
                  0},
        ReplyCase{"ExceptionReply", kException, 0x84, Bytes{}, kException, {{"INF", "EXCEPTION"}}, 0},
        ReplyCase{"WrongChecksum",
                  kNormalBadCrc,
                  -4,
                  kNormalBadCrc,
                  std::nullopt,
                  {{"INF", "PACKET_CRC_ERROR"}, {"INF", " 0x01 0x04 0x00 0x01 0x5A 0x5B 0x98"}},
                  0},
        ReplyCase{"NormalReply", kNormal, 4, kNormal, std::nullopt, {}, 0},
        ReplyCase{"Function80IsANormalReply", kFunction80, 0x80, kFunction80, std::nullopt, {}, 0},
        ReplyCase{"OtherFunctionThanAskedIsAccepted", kFunction5, 5, kFunction5, std::nullopt, {}, 0},
        ReplyCase{"LongestReplyIsAccepted", kLongest, 3, kLongest, std::nullopt, {}, 0},
        // A right checksum in the last two of 256 bytes does not make a reply
        // when the line goes on: the frame stops growing and the exchange fails.
        ReplyCase{"ReplyPastTheLongestFails",
                  plus(kLongest, 0x00),
                  -4,
                  kLongest,
                  std::nullopt,
                  {{"INF", "PACKET_CRC_ERROR"}, {"INF", dumpOf(kLongest)}},
                  0}),
                       ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<ReplyCase, bool>>& info) {
      return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "_Fast" : "_Fixed");
    });

TEST_F(MasterExchange, ExceptionCodeIsReadFromTheKeptReply) {
  Modbus::Request::EchoMessage request;
  master.send(request);
  peer.send(kException);
  ASSERT_TRUE(waitForWaiting(port, 5));
  Modbus::Response::EchoMessage response;
  ASSERT_EQ(master.receive(response), 0x84);
  EXPECT_EQ(master.exception().code(), 2);

  // It stays until the next exception reply, whatever comes between.
  master.send(request);
  peer.send(kNormal);
  ASSERT_TRUE(waitForWaiting(port, 7));
  ASSERT_EQ(master.receive(response), 4);
  EXPECT_EQ(master.exception().code(), 2);
}

TEST_F(MasterExchange, ReplyCutByAPauseIsCheckedAsWhatCameBefore) {
  Modbus::Request::EchoMessage request;
  master.send(request);
  // The pause is far longer than the two 1 ms looks for a next byte.
  peer.play({{{0x01, 0x04, 0x00, 0x01, 0x5A}, std::chrono::milliseconds(300)}, {{0x5B, 0x99}}});
  Modbus::Response::EchoMessage response;
  EXPECT_EQ(master.receive(response), -4);
  EXPECT_EQ(bytesOf(response), (Bytes{0x01, 0x04, 0x00, 0x01, 0x5A}));
  EXPECT_EQ(logLines(), (std::vector<LogLine>{{"INF", "PACKET_CRC_ERROR"}, {"INF", " 0x01 0x04 0x00 0x01 0x5A"}}));
  peer.waitPlayed();
}

struct NeverQuietCase {
  const char* name;
  Bytes start;  // what the line sends before its endless 0x55 bytes
  // What the response and the exception member hold afterwards, with the
  // fixed timing and with the fast exchange (which stops at a known length).
  std::size_t responseBytes[2];
  std::size_t exceptionBytes[2];
  std::vector<LogLine> firstLog;
};

// A line that never falls silent (noise, a stuck device) must not hold the
// exchange: the frame stops at the longest reply, draining gives up after its
// budget, the input is purged and the exchange fails with the checksum code.
// The flood comes from a thread of this busy machine and may pause now and
// then: an attempt that met a pause ends early on the ordinary path, so each
// case is tried until one met a line that stayed busy.
TEST_F(MasterExchange, LineThatNeverFallsSilentFailsTheExchangeInBoundedTime) {
  const std::size_t built = kEchoResponseAsBuilt.size();
  const std::size_t exceptionBuilt = kExceptionAsBuilt.size();
  const std::size_t longest = Modbus::kLongestReply;
  const std::vector<NeverQuietCase> cases = {
      {"noise", {}, {built, built}, {exceptionBuilt, exceptionBuilt}, {{"ERR", "DEVICE_ADDRESS_ERROR"}}},
      {"endless reply", {0x01, 0x03}, {longest, longest}, {exceptionBuilt, exceptionBuilt},
       {{"INF", "PACKET_CRC_ERROR"}}},
      {"endless measurement reply", {0x01, 0x06}, {longest, 18}, {exceptionBuilt, exceptionBuilt},
       {{"INF", "PACKET_CRC_ERROR"}}},
      {"endless exception reply", {0x01, 0x84}, {0, 0}, {longest, 5},
       {{"INF", "EXCEPTION"}, {"ERR", "EXCEPTION_CRC_ERROR"}}},
      {"function code 0", {0x01, 0x00}, {0, 0}, {exceptionBuilt, exceptionBuilt},
       {{"INF", "INCORRECT_FUNCTION_CODE"}}},
  };
  constexpr int kAttempts = 8;
  for (const bool fast : {false, true}) {
    for (const NeverQuietCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (fast ? ", fast exchange" : ", fixed timing"));
      master.setFastExchange(fast);
      bool gaveUp = false;
      for (int attempt = 0; attempt < kAttempts && !gaveUp; ++attempt) {
        // A line once found not to fall silent is not drained for the budget
        // again on the same opening: each attempt opens the port afresh.
        port.setActive(false);
        port.setActive(true);
        Modbus::Request::EchoMessage request;
        Modbus::Response::EchoMessage response;
        master.exception() = Modbus::Response::Exception(0, 0);
        master.send(request);
        ASSERT_EQ(peer.receive(8).size(), 8u);
        const std::size_t logBefore = logLines().size();
        peer.startFlood(c.start);
        ASSERT_TRUE(waitForWaiting(port, Modbus::kShortestReply));  // the flood has begun
        const auto started = std::chrono::steady_clock::now();
        const int result = master.receive(response);
        const auto took = std::chrono::steady_clock::now() - started;
        peer.stopFlood();
        drain(port);  // the rest of the flood, before the next attempt

        EXPECT_LT(took, std::chrono::seconds(5));  // a hang guard, not a measurement
        EXPECT_LT(result, 0);
        EXPECT_NE(result, Modbus::Result::kNoReply);
        EXPECT_LE(response.size(), std::max(built, longest));
        EXPECT_LE(master.exception().size(), longest);
        std::vector<LogLine> log = logLines();
        log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(logBefore));
        std::vector<LogLine> withoutDumps;
        for (const LogLine& line : log) {
          if (line.message.rfind(" 0x", 0) != 0) withoutDumps.push_back(line);
        }
        gaveUp = !withoutDumps.empty() && withoutDumps.back() == LogLine{"ERR", "LINE_NOT_SILENT"};
        if (!gaveUp) continue;
        EXPECT_EQ(result, Modbus::Result::kPacketCrcError);
        EXPECT_EQ(response.size(), c.responseBytes[fast]);
        EXPECT_EQ(master.exception().size(), c.exceptionBytes[fast]);
        withoutDumps.pop_back();
        EXPECT_EQ(withoutDumps, c.firstLog);
      }
      EXPECT_TRUE(gaveUp) << "no attempt met a line that stayed busy through the drain";
    }
  }
}

TEST_F(MasterExchange, FailedExchangeLeavesTheLineReadyForTheNext) {
  Modbus::Request::EchoMessage request;
  Modbus::Response::EchoMessage response;
  master.send(request);
  peer.send({0x02, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0xDD});
  ASSERT_TRUE(waitForWaiting(port, 7));
  ASSERT_EQ(master.receive(response), -1);

  master.send(request);
  peer.send(kNormal);
  ASSERT_TRUE(waitForWaiting(port, 7));
  EXPECT_EQ(master.receive(response), 4);
  EXPECT_EQ(bytesOf(response), kNormal);
}

// A slow gauge answers after the master has given up: that late reply must not
// be taken as the answer to the next request (the two sides would stay one
// reply apart).
TEST_F(MasterExchange, LateReplyIsNotTakenAsTheNextAnswer) {
  Modbus::Request::EchoMessage request;
  Modbus::Response::EchoMessage response;
  master.send(request);
  ASSERT_EQ(peer.receive(8).size(), 8u);
  ASSERT_EQ(master.receive(response), -6);
  peer.send(kFunction5);  // the late answer to the first request
  ASSERT_TRUE(waitForWaiting(port, 7));

  master.send(request);
  ASSERT_EQ(peer.receive(8).size(), 8u);
  peer.send(kNormal);
  EXPECT_EQ(master.receive(response), 4);
  EXPECT_EQ(bytesOf(response), kNormal);
  EXPECT_TRUE(logLines().empty());
}

// Once the device has hung up, every exchange fails with no reply at once
// instead of waiting out the reply time for bytes that cannot come.
TEST_F(MasterExchange, UnpluggedDeviceFailsEachExchangeWithoutWaiting) {
  peer.hangUp();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!port.deviceGone() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(port.deviceGone());

  // Every wait of an exchange goes through linkWait: counted here, a device
  // that is gone must cost none of the reply wait or its polls.
  static std::atomic<int> waits;
  waits = 0;
  korsi::link::setWaitFunction([](std::chrono::microseconds d) {
    ++waits;
    std::this_thread::sleep_for(d);
  });
  constexpr int kExchanges = 50;
  Modbus::Request::EchoMessage request;
  Modbus::Response::EchoMessage response;
  for (int i = 0; i < kExchanges; ++i) {
    master.send(request);
    const int result = master.receive(response);
    if (result != -6) {
      korsi::link::setWaitFunction(nullptr);
      FAIL() << "exchange " << i << " gave " << result;
    }
  }
  korsi::link::setWaitFunction(nullptr);
  EXPECT_EQ(waits.load(), 0);
  EXPECT_EQ(bytesOf(response), kEchoResponseAsBuilt);
}

struct WholeReplyCase {
  const char* name;
  Bytes reply;
  int result;
  bool exception;  // kept in the exception member rather than the response
};

// With the fast exchange a reply ends as soon as it holds the length its
// function code gives. Bytes already waiting behind it mean it may be a late
// or repeated reply ahead of the real one: it is refused like a reply with a
// wrong checksum, and the next request goes out on a line that has fallen
// quiet, so its answer is its own.
TEST_F(MasterExchange, FastExchangeTakesAReplyAtItsLengthAndRefusesOneWithBytesBehind) {
  master.setFastExchange(true);
  const std::vector<WholeReplyCase> cases = {
      {"echo", kNormal, 4, false},
      {"archive size", {0x01, 0x05, 0x00, 0x01, 0x01, 0x2C, 0x47, 0x9C}, 5, false},
      {"measurement",
       {0x01, 0x06, 0x00, 0x0C, 0x01, 0x2C, 0x05, 0x1E, 0x0E, 0x09, 0x03, 0x09, 0x3F, 0x80, 0x00, 0x00, 0x0F, 0xD9},
       6, false},
      {"exception", kException, 0x84, true},
  };
  for (const WholeReplyCase& c : cases) {
    SCOPED_TRACE(c.name);
    Modbus::Request::EchoMessage request;
    Modbus::Response::BytesMessage response;
    master.send(request);
    ASSERT_EQ(peer.receive(8).size(), 8u);
    peer.send(c.reply);
    EXPECT_EQ(master.receive(response), c.result);
    EXPECT_EQ(bytesOf(c.exception ? static_cast<message_queue_t&>(master.exception()) : response), c.reply);

    const std::size_t logBefore = logLines().size();
    master.send(request);
    ASSERT_EQ(peer.receive(8).size(), 8u);
    Bytes withTail = c.reply;
    withTail.insert(withTail.end(), {0x01, 0x04, 0xEE});  // in the same write: no pause to end the frame
    peer.send(withTail);
    EXPECT_EQ(master.receive(response), c.exception ? -3 : -4);
    std::vector<LogLine> log = logLines();
    log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(logBefore));
    EXPECT_EQ(log, c.exception ? (std::vector<LogLine>{{"INF", "EXCEPTION"},
                                                       {"ERR", "EXCEPTION_CRC_ERROR"},
                                                       {"ERR", dumpOf(c.reply)}})
                               : (std::vector<LogLine>{{"INF", "PACKET_CRC_ERROR"}, {"INF", dumpOf(c.reply)}}));

    // A copy of the refused reply comes while the master waits for a quiet
    // line: it is purged, never taken as the next answer.
    std::thread copy([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      peer.send(c.reply);
    });
    master.send(request);
    copy.join();
    ASSERT_EQ(peer.receive(8).size(), 8u);
    peer.send(kNormal);
    EXPECT_EQ(master.receive(response), 4);
    EXPECT_EQ(bytesOf(response), kNormal);
  }
}

// The master's waits on a clock of the test's own making: each wait still
// sleeps, but the line is played against the master's own sequence of waits
// (the reply wait, its polls, the looks after it), never against the wall
// clock, so a busy computer cannot move a byte to the other side of the end
// of the reply wait.
class WaitScript {
 public:
  using Step = std::function<void(std::chrono::microseconds)>;

  explicit WaitScript(Step step) {
    current() = std::move(step);
    korsi::link::setWaitFunction(&run);
  }
  ~WaitScript() {
    korsi::link::setWaitFunction(nullptr);
    current() = nullptr;
  }
  WaitScript(const WaitScript&) = delete;
  WaitScript& operator=(const WaitScript&) = delete;

 private:
  static Step& current() {
    static Step step;
    return step;
  }
  static void run(std::chrono::microseconds d) {
    if (current()) current()(d);
    std::this_thread::sleep_for(d);
  }
};

// The reply the gauge begins in time but has not finished when the reply wait
// is over: its first two bytes come during the last poll of the wait (with
// the fast exchange, which is woken by the bytes themselves, before the wait
// begins), the rest only once the wait is over. It has begun: no silence.
class ReplyBegunInTime : public MasterExchange, public ::testing::WithParamInterface<bool> {
 protected:
  // Sends bytes and waits until the port's reader has moved them all.
  void deliver(const Bytes& bytes) {
    const std::uint32_t before = port.waitingCount();
    peer.send(bytes);
    ASSERT_TRUE(waitForWaiting(port, before + static_cast<std::uint32_t>(bytes.size())));
  }
};

TEST_P(ReplyBegunInTime, IsTakenAsTheReplyNotAsSilence) {
  const bool fast = GetParam();
  master.setFastExchange(fast);
  const Bytes first(kNormal.begin(), kNormal.begin() + 2);
  const Bytes rest(kNormal.begin() + 2, kNormal.end());
  bool firstCame = false;
  bool restCame = false;
  int polls = 0;
  const WaitScript script([&](std::chrono::microseconds d) {
    if (!firstCame && d == Modbus::kPollInterval && ++polls == Modbus::kPolls) {
      deliver(first);  // during the last poll: just before the wait ends
      firstCame = true;
    } else if (firstCame && !restCame && d == kByteWait) {
      deliver(rest);  // the wait is over: the master looks for more
      restCame = true;
    }
  });
  Modbus::Request::EchoMessage request;
  Modbus::Response::EchoMessage response;
  master.send(request);
  ASSERT_EQ(peer.receive(8).size(), 8u);
  if (fast) {
    deliver(first);
    firstCame = true;
  }
  EXPECT_EQ(master.receive(response), 4);
  EXPECT_TRUE(restCame);
  EXPECT_EQ(bytesOf(response), kNormal);
  EXPECT_EQ(master.lateLooks(), 1u);
  EXPECT_TRUE(logLines().empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, ReplyBegunInTime, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Fast" : "Fixed"); });

struct QuietWaitCase {
  const char* name;
  // What happens before the request whose quiet wait is counted.
  std::function<void(korsi::test::PtyPeer&, TCommPort&, Modbus::MBMaster&)> before;
  bool waitsForQuiet;
};

void PrintTo(const QuietWaitCase& c, std::ostream* out) { *out << c.name; }

// An exchange that went wrong, then whether the next request first waits for
// a quiet line (counted as the master's 1 ms looks at the line).
class QuietWaitBeforeTheNextRequest : public MasterExchange, public ::testing::WithParamInterface<QuietWaitCase> {};

TEST_P(QuietWaitBeforeTheNextRequest, IsWaitedOnlyWhenTheLineMayStillCarryAnEarlierReply) {
  GetParam().before(peer, port, master);
  static std::atomic<int> looks;
  looks = 0;
  korsi::link::setWaitFunction([](std::chrono::microseconds d) {
    if (d == kByteWait) ++looks;
    std::this_thread::sleep_for(d);
  });
  Modbus::Request::EchoMessage request;
  master.send(request);
  korsi::link::setWaitFunction(nullptr);
  const int quietLooks = static_cast<int>(Modbus::kWholeReplyWait / kByteWait);
  if (GetParam().waitsForQuiet) {
    EXPECT_GE(looks.load(), quietLooks);
  } else {
    EXPECT_EQ(looks.load(), 0);
  }
}

// One exchange on port: request, then the peer's answer (nothing for silence).
void exchange(korsi::test::PtyPeer& peer, TCommPort& port, Modbus::MBMaster& master, const Bytes& answer, int result) {
  Modbus::Request::EchoMessage request;
  Modbus::Response::EchoMessage response;
  master.send(request);
  ASSERT_EQ(peer.receive(8).size(), 8u);
  if (!answer.empty()) {
    peer.send(answer);
    ASSERT_TRUE(korsi::test::waitUntilWaiting(port, static_cast<std::uint32_t>(answer.size())));
  }
  ASSERT_EQ(master.receive(response), result);
}

const Bytes kFromAddress2 = {0x02, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0xDD};

INSTANTIATE_TEST_SUITE_P(
    Cases, QuietWaitBeforeTheNextRequest,
    ::testing::Values(
        // The silence was the whole reply wait of a quiet line already.
        QuietWaitCase{"AfterASilence",
                      [](auto& peer, auto& port, auto& master) { exchange(peer, port, master, {}, -6); }, false},
        QuietWaitCase{"AfterASilenceAndBytesSince",
                      [](auto& peer, auto& port, auto& master) {
                        exchange(peer, port, master, {}, -6);
                        peer.send({0x01, 0x04});  // a late reply under way
                        ASSERT_TRUE(korsi::test::waitUntilWaiting(port, 2));
                      },
                      true},
        QuietWaitCase{"AfterAFault",
                      [](auto& peer, auto& port, auto& master) { exchange(peer, port, master, kFromAddress2, -1); },
                      true},
        // Nothing owed to the device opened before can come now.
        QuietWaitCase{"AfterAFaultOnAPortOpenedAgain",
                      [](auto& peer, auto& port, auto& master) {
                        exchange(peer, port, master, kFromAddress2, -1);
                        port.setActive(false);
                        port.setActive(true);
                      },
                      false},
        QuietWaitCase{"AfterAReplyTakenAfterASilenceOnAPortOpenedAgain",
                      [](auto& peer, auto& port, auto& master) {
                        exchange(peer, port, master, {}, -6);
                        exchange(peer, port, master, kNormal, 4);
                        port.setActive(false);
                        port.setActive(true);
                      },
                      false}),
    [](const auto& info) { return std::string(info.param.name); });

// A line that never falls silent costs the drain's budget once: afterwards
// neither the quiet wait before a request nor the drain after a failed reply
// spend it again, until the line is seen quiet or the port is opened again.
TEST_F(MasterExchange, ALineFoundNotToFallSilentIsNotWaitedForAgain) {
  const auto notSilentLines = [this] {
    const auto lines = logLines();
    return std::count(lines.begin(), lines.end(), LogLine{"ERR", "LINE_NOT_SILENT"});
  };
  Modbus::Request::EchoMessage request;
  Modbus::Response::EchoMessage response;
  // The flood comes from a thread of this busy machine and may pause: the
  // first exchange is tried on a fresh opening until it met a busy line.
  constexpr int kAttempts = 8;
  bool gaveUp = false;
  for (int attempt = 0; attempt < kAttempts && !gaveUp; ++attempt) {
    port.setActive(false);
    port.setActive(true);
    const auto before = notSilentLines();
    master.send(request);
    ASSERT_EQ(peer.receive(8).size(), 8u);
    peer.startFlood();
    ASSERT_TRUE(waitForWaiting(port, Modbus::kShortestReply));
    master.receive(response);
    gaveUp = notSilentLines() > before;
    if (!gaveUp) peer.stopFlood();
  }
  ASSERT_TRUE(gaveUp) << "no attempt met a line that stayed busy through the drain";
  const auto afterFirst = notSilentLines();
  for (int i = 0; i < 3; ++i) {
    master.send(request);
    EXPECT_EQ(master.receive(response), Modbus::Result::kDeviceAddressError);
  }
  peer.stopFlood();
  EXPECT_EQ(notSilentLines(), afterFirst);
}

TEST_F(MasterExchange, ClosedPortGivesNoReplyWithoutALogLine) {
  port.setActive(false);
  Modbus::Request::EchoMessage request;
  Modbus::Response::EchoMessage response;
  master.send(request);
  EXPECT_EQ(master.receive(response), -6);
  EXPECT_EQ(bytesOf(response), kEchoResponseAsBuilt);
  EXPECT_TRUE(logLines().empty());
}

TEST(ModbusLinkAdapter, MadeAdaptersSelect115200AndTheLastOneClosesThePort) {
  TCommPort port;
  EXPECT_EQ(port.getBaudIndex(), 6);
  {
    Modbus::MBSlave slave(port);
    Modbus::MBMaster master(port);
    EXPECT_EQ(port.getBaudIndex(), TCommPort::kBaud115200);
  }
  EXPECT_FALSE(port.isActive());
}

}  // namespace
