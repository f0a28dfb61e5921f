// The simulated gauge's answers as bytes, without a terminal: framing of the
// incoming bytes, where a mid-reply pause falls and how fault rates repeat.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "instrument/gauge_messages.h"
#include "instrument/meash.h"
#include "link/modbus_messages.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_protocol.h"

namespace {

using korsi::sim::GaugeFaults;
using korsi::sim::GaugeProtocol;
using Bytes = std::vector<unsigned char>;

const Bytes kEchoRequest = {0x01, 0x04, 0, 0, 0, 0, 0x0A, 0xF0};
const Bytes kEchoReply = {0x01, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0x99};

Bytes measurementRequest(std::int32_t n) {
  Modbus::Request::MeashPoint request;
  request.setNum(n);
  request.setAddress(1);
  request.calcCrc(true);
  return Bytes(request.begin(), request.end());
}

std::vector<Bytes> feedAll(GaugeProtocol& gauge, const Bytes& bytes) {
  std::vector<Bytes> out;
  for (auto& reply : gauge.feed(bytes.data(), bytes.size())) out.push_back(reply.bytes);
  return out;
}

TEST(GaugeFraming, RequestInPiecesIsAnsweredOnceWhole) {
  GaugeProtocol gauge({}, {}, 1);
  for (std::size_t i = 0; i + 1 < kEchoRequest.size(); ++i) {
    EXPECT_TRUE(gauge.feed(&kEchoRequest[i], 1).empty());
  }
  EXPECT_EQ(feedAll(gauge, {kEchoRequest.back()}), std::vector<Bytes>{kEchoReply});
}

TEST(GaugeFraming, TwoRequestsInOneChunkGetTwoReplies) {
  GaugeProtocol gauge({}, {}, 1);
  Bytes two = kEchoRequest;
  two.insert(two.end(), kEchoRequest.begin(), kEchoRequest.end());
  EXPECT_EQ(feedAll(gauge, two), (std::vector<Bytes>{kEchoReply, kEchoReply}));
}

TEST(GaugeFraming, NoiseBeforeARequestIsSkipped) {
  GaugeProtocol gauge({}, {}, 1);
  Bytes noisy = {0x00, 0xFF, 0x01, 0x04, 0x13};
  noisy.insert(noisy.end(), kEchoRequest.begin(), kEchoRequest.end());
  EXPECT_EQ(feedAll(gauge, noisy), std::vector<Bytes>{kEchoReply});
  EXPECT_EQ(gauge.requestsSeen(), 1u);
}

struct PauseCase {
  Bytes request;
  std::size_t replySize;
  std::size_t pauseAfter;
};

std::ostream& operator<<(std::ostream& out, const PauseCase& c) { return out << c.replySize << " bytes"; }

class MidReplyPause : public ::testing::TestWithParam<PauseCase> {};

// Half the reply, but never before the fifth byte (a master starts reading at
// five) and never after the last.
TEST_P(MidReplyPause, FallsAfterHalfTheReply) {
  GaugeFaults faults;
  faults.pauseMidReply = std::chrono::milliseconds(10);
  faults.extraBytes = 2;  // extra bytes come after the reply, not into the split
  GaugeProtocol gauge(korsi::sim::generateArchive(3, 1), faults, 1);
  const auto replies = gauge.feed(GetParam().request.data(), GetParam().request.size());
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].bytes.size(), GetParam().replySize + 2);
  EXPECT_EQ(replies[0].pauseAfter, GetParam().pauseAfter);
}

INSTANTIATE_TEST_SUITE_P(Replies, MidReplyPause,
                         ::testing::Values(PauseCase{kEchoRequest, 7, 5},
                                           PauseCase{{0x01, 0x05, 0, 0, 0, 0, 0xCA, 0xCD}, 8, 5},
                                           PauseCase{measurementRequest(1), 18, 9},
                                           PauseCase{measurementRequest(9), 5, 4}));

// Which of many replies a rate spoils, as a string of 0 and 1.
std::string faultPattern(std::uint64_t seed, GaugeFaults faults, bool measurements) {
  GaugeProtocol gauge(korsi::sim::generateArchive(64, 3), faults, seed);
  std::string pattern;
  for (std::int32_t n = 1; n <= 64; ++n) {
    const Bytes request = measurements ? measurementRequest(n) : kEchoRequest;
    const auto reply = gauge.answer([&] {
      Modbus::ADU frame;
      frame.assign(request.begin(), request.end());
      return frame;
    }());
    Modbus::Response::MeashPoint frame;
    frame.assign(reply->bytes.begin(), reply->bytes.end());
    Meash m{};
    const bool wrongNumber = measurements && getMeash(frame, &m) && m.num != n;
    pattern += (!frame.checkCrc() || wrongNumber) ? '1' : '0';
  }
  return pattern;
}

TEST(FaultRates, RepeatWithTheSeedAndHitAboutTheirShare) {
  GaugeFaults crc;
  crc.crcFaultRate = 0.5;
  const std::string pattern = faultPattern(11, crc, false);
  EXPECT_EQ(faultPattern(11, crc, false), pattern);
  EXPECT_NE(faultPattern(12, crc, false), pattern);
  const auto hits = std::count(pattern.begin(), pattern.end(), '1');
  EXPECT_GT(hits, 16);
  EXPECT_LT(hits, 48);

  GaugeFaults wrong;
  wrong.wrongNumRate = 0.25;
  const std::string wrongPattern = faultPattern(11, wrong, true);
  EXPECT_EQ(faultPattern(11, wrong, true), wrongPattern);
  EXPECT_NE(wrongPattern.find('1'), std::string::npos);
  EXPECT_NE(wrongPattern.find('0'), std::string::npos);
}

// Adding one fault does not shift the draws of another.
TEST(FaultRates, ChecksumFaultsDoNotDependOnTheWrongNumberRate) {
  GaugeFaults crc;
  crc.crcFaultRate = 0.5;
  GaugeFaults both = crc;
  both.wrongNumRate = 0.5;
  auto crcOnly = [](std::uint64_t seed, const GaugeFaults& f) {
    GaugeProtocol gauge(korsi::sim::generateArchive(64, 3), f, seed);
    std::string pattern;
    for (std::int32_t n = 1; n <= 64; ++n) {
      const Bytes request = measurementRequest(n);
      const auto replies = gauge.feed(request.data(), request.size());
      Modbus::ADU frame;
      frame.assign(replies.at(0).bytes.begin(), replies.at(0).bytes.end());
      pattern += frame.checkCrc() ? '0' : '1';
    }
    return pattern;
  };
  EXPECT_EQ(crcOnly(5, crc), crcOnly(5, both));
}

TEST(FaultRates, RateOneSpoilsEveryReplyAndZeroNone) {
  GaugeFaults all;
  all.crcFaultRate = 1.0;
  EXPECT_EQ(faultPattern(1, all, false), std::string(64, '1'));
  EXPECT_EQ(faultPattern(1, {}, true), std::string(64, '0'));
}

// The timing faults are decided per reply, counted, and repeat with the seed.
TEST(FaultRates, TimingFaultsAreDecidedPerReplyAndCounted) {
  GaugeFaults f;
  f.pauseMidReply = std::chrono::milliseconds(10);
  f.splitRate = 0.3;
  f.lateRate = 0.2;
  f.lateBy = std::chrono::milliseconds(80);
  f.strayRate = 0.25;
  f.strayBytes = 3;
  auto run = [&f](std::uint64_t seed) {
    GaugeProtocol gauge(korsi::sim::generateArchive(200, 3), f, seed);
    std::string pattern;
    std::uint64_t split = 0, late = 0, stray = 0;
    for (std::int32_t n = 1; n <= 200; ++n) {
      const Bytes request = measurementRequest(n);
      const auto replies = gauge.feed(request.data(), request.size());
      const auto& reply = replies.at(0);
      EXPECT_EQ(reply.bytes.size(), 18u) << "the faults leave the reply's bytes whole";
      EXPECT_TRUE(reply.late.count() == 0 || reply.late == f.lateBy);
      EXPECT_TRUE(reply.stray.empty() || reply.stray.size() == 3);
      split += reply.pauseAfter > 0;
      late += reply.late.count() > 0;
      stray += !reply.stray.empty();
      pattern += std::to_string(reply.pauseAfter > 0) + std::to_string(reply.late.count() > 0) +
                 std::to_string(!reply.stray.empty());
    }
    const auto& counts = gauge.faultCounts();
    EXPECT_EQ(counts.splitReplies, split);
    EXPECT_EQ(counts.lateReplies, late);
    EXPECT_EQ(counts.strayBursts, stray);
    EXPECT_GT(split, 30u);
    EXPECT_LT(split, 90u);
    EXPECT_GT(late, 20u);
    EXPECT_LT(late, 70u);
    EXPECT_GT(stray, 25u);
    EXPECT_LT(stray, 80u);
    return pattern;
  };
  EXPECT_EQ(run(9), run(9));
  EXPECT_NE(run(9), run(10));
}

TEST(FaultRates, ChecksumAndNumberFaultsAreCounted) {
  GaugeFaults f;
  f.crcFaultRate = 0.5;
  f.wrongNumRate = 0.5;
  GaugeProtocol gauge(korsi::sim::generateArchive(64, 3), f, 4);
  std::uint64_t crc = 0, wrong = 0;
  for (std::int32_t n = 1; n <= 64; ++n) {
    const Bytes request = measurementRequest(n);
    const auto replies = gauge.feed(request.data(), request.size());
    Modbus::Response::MeashPoint frame;
    frame.assign(replies.at(0).bytes.begin(), replies.at(0).bytes.end());
    Meash m{};
    getMeash(frame, &m);
    crc += !frame.checkCrc();
    wrong += m.num != n;
  }
  EXPECT_EQ(gauge.faultCounts().crcFaults, crc);
  EXPECT_EQ(gauge.faultCounts().wrongNumbers, wrong);
}

TEST(GaugeStream, AfterNRepliesTheGaugeAnswersNothingAndStreams) {
  GaugeFaults f;
  f.streamAfter = 2;
  GaugeProtocol gauge({}, f, 1);
  EXPECT_FALSE(gauge.streaming());
  EXPECT_EQ(feedAll(gauge, kEchoRequest).size(), 1u);
  EXPECT_EQ(feedAll(gauge, kEchoRequest).size(), 1u);
  EXPECT_TRUE(gauge.streaming());
  EXPECT_TRUE(feedAll(gauge, kEchoRequest).empty());
}

}  // namespace
