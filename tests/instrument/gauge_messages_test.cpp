// The gauge's requests and replies against its documented byte examples, and
// what decoding does with replies too short for what it reads.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "instrument/gauge_messages.h"
#include "instrument/meash.h"
#include "services/logs.h"
#include "tests/support/tempdir.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const message_queue_t& frame) { return Bytes(frame.begin(), frame.end()); }

// What the master does to a request just before it goes on the line.
template <class Request>
Request& asSent(Request& request) {
  request.setAddress(1);
  request.calcCrc(true);
  return request;
}

// What the master's receive does to a response: empty it, then the bytes.
template <class Response>
void received(Response& response, const Bytes& bytes) {
  response.assign(bytes.begin(), bytes.end());
}

struct FrameCase {
  const char* name;
  std::function<Bytes()> build;
  Bytes expected;
};

std::ostream& operator<<(std::ostream& out, const FrameCase& c) { return out << c.name; }

class GaugeFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(GaugeFrames, HoldTheDocumentedBytes) { EXPECT_EQ(GetParam().build(), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    RequestsAndShapes, GaugeFrames,
    ::testing::Values(
        FrameCase{"NewArchiveSizeRequestHasItsChecksum",
                  [] { return bytesOf(Modbus::Request::ArchPoints()); },
                  {0x00, 0x05, 0, 0, 0, 0, 0x1B, 0xCC}},
        FrameCase{"ArchiveSizeRequestAsSent",
                  [] {
                    Modbus::Request::ArchPoints r;
                    return bytesOf(asSent(r));
                  },
                  {0x01, 0x05, 0, 0, 0, 0, 0xCA, 0xCD}},
        FrameCase{"NewMeasurementRequestHasNoChecksumYet",
                  [] { return bytesOf(Modbus::Request::MeashPoint()); },
                  {0x00, 0x06, 0, 0, 0, 0, 0, 0}},
        FrameCase{"MeasurementOneAsSent",
                  [] {
                    Modbus::Request::MeashPoint r;
                    r.setNum(1);
                    return bytesOf(asSent(r));
                  },
                  {0x01, 0x06, 0, 0, 0x00, 0x01, 0x0A, 0x48}},
        FrameCase{"Measurement300AsSent",
                  [] {
                    Modbus::Request::MeashPoint r;
                    r.setNum(300);
                    return bytesOf(asSent(r));
                  },
                  {0x01, 0x06, 0, 0, 0x01, 0x2C, 0x87, 0x89}},
        FrameCase{"LargestNumber",
                  [] {
                    Modbus::Request::MeashPoint r;
                    r.setNum(65535);
                    return bytesOf(r);
                  },
                  {0x00, 0x06, 0, 0, 0xFF, 0xFF, 0, 0}},
        FrameCase{"ArchiveSizeReplyShapeIsOneWord",
                  [] { return bytesOf(Modbus::Response::ArchPoints()); },
                  {0x00, 0x05, 0x00, 0x01, 0, 0, 0, 0}},
        FrameCase{"MeasurementReplyShapeIsTwelveBytes",
                  [] { return bytesOf(Modbus::Response::MeashPoint()); },
                  {0x00, 0x06, 0x00, 0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

struct CountCase {
  const char* name;
  Bytes reply;
  std::uint16_t count;
};

std::ostream& operator<<(std::ostream& out, const CountCase& c) { return out << c.name; }

class ArchiveSizeReply : public ::testing::TestWithParam<CountCase> {};

// The object first holds a reply of 500, so a short reply that read old
// bytes would show it.
TEST_P(ArchiveSizeReply, CountIsTheFirstDataWordOfWhatArrived) {
  Modbus::Response::ArchPoints reply;
  received(reply, {0x01, 0x05, 0x00, 0x01, 0x01, 0xF4, 0x1D, 0x9C});
  ASSERT_EQ(reply.count(), 500);
  received(reply, GetParam().reply);
  EXPECT_EQ(reply.count(), GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ArchiveSizeReply,
    ::testing::Values(CountCase{"Count300", {0x01, 0x05, 0x00, 0x01, 0x01, 0x2C, 0x47, 0x9C}, 300},
                      CountCase{"CountFFFFIsUnsigned", {0x01, 0x05, 0x00, 0x01, 0xFF, 0xFF, 0x00, 0x00}, 65535},
                      CountCase{"CountZero", {0x01, 0x05, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, 0},
                      // Seven bytes: one data byte, then the checksum; the
                      // checksum must not be read as the count's low byte.
                      CountCase{"OneDataByteOnly", {0x01, 0x05, 0x00, 0x01, 0x01, 0x2C, 0x47}, 0},
                      CountCase{"NoDataAtAll", {0x01, 0x05, 0x00, 0x00, 0xC0, 0x19}, 0},
                      CountCase{"FiveByteReply", {0x01, 0x84, 0x02, 0xC1, 0xC2}, 0},
                      CountCase{"EmptiedByReceive", {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

const Bytes kMeasurement300 = {0x01, 0x06, 0x00, 0x0C, 0x01, 0x2C, 0x05, 0x1E, 0x0E,
                               0x09, 0x03, 0x09, 0x3F, 0x80, 0x00, 0x00, 0x0F, 0xD9};

Bytes withThickness(unsigned char b0, unsigned char b1, unsigned char b2, unsigned char b3) {
  Bytes reply = kMeasurement300;
  reply[12] = b0;
  reply[13] = b1;
  reply[14] = b2;
  reply[15] = b3;
  return reply;
}

TEST(GetMeash, DecodesTheDocumentedReply) {
  Modbus::Response::MeashPoint reply;
  received(reply, kMeasurement300);
  Meash m{};
  EXPECT_TRUE(getMeash(reply, &m));
  EXPECT_EQ(m.num, 300);
  EXPECT_EQ(m.sec, 5);
  EXPECT_EQ(m.min, 30);
  EXPECT_EQ(m.hour, 14);
  EXPECT_EQ(m.day, 9);
  EXPECT_EQ(m.month, 3);
  EXPECT_EQ(m.year, 9);
  EXPECT_EQ(m.h, 1.0f);
}

struct ThicknessCase {
  const char* name;
  Bytes reply;
  std::function<bool(float)> holds;
};

std::ostream& operator<<(std::ostream& out, const ThicknessCase& c) { return out << c.name; }

class Thickness : public ::testing::TestWithParam<ThicknessCase> {};

TEST_P(Thickness, IsTheBitPatternMostSignificantByteFirst) {
  Modbus::Response::MeashPoint reply;
  received(reply, GetParam().reply);
  Meash m{};
  ASSERT_TRUE(getMeash(reply, &m));
  EXPECT_TRUE(GetParam().holds(m.h)) << m.h;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, Thickness,
    ::testing::Values(ThicknessCase{"PointTwo", withThickness(0x3E, 0x4C, 0xCC, 0xCD), [](float h) { return h == 0.2f; }},
                      ThicknessCase{"Zero", withThickness(0, 0, 0, 0), [](float h) { return h == 0.0f; }},
                      ThicknessCase{"FivePointZero", withThickness(0x40, 0xA0, 0, 0), [](float h) { return h == 5.0f; }},
                      ThicknessCase{"NanCopiedUnchanged", withThickness(0x7F, 0xC0, 0, 0),
                                    [](float h) { return std::isnan(h); }},
                      ThicknessCase{"InfinityCopiedUnchanged", withThickness(0x7F, 0x80, 0, 0),
                                    [](float h) { return std::isinf(h); }}),
    [](const auto& info) { return std::string(info.param.name); });

// A reply that the master accepted but that is too short for a measurement:
// nothing is taken from bytes that did not arrive or from the checksum, and
// nothing of the record's previous measurement survives.
class ShortMeasurementReply : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ShortMeasurementReply, YieldsARecordOfZeros) {
  Modbus::Response::MeashPoint reply;
  received(reply, kMeasurement300);
  Meash m{};
  ASSERT_TRUE(getMeash(reply, &m));

  received(reply, Bytes(kMeasurement300.begin(), kMeasurement300.begin() + static_cast<long>(GetParam())));
  EXPECT_FALSE(getMeash(reply, &m));
  EXPECT_EQ(m.num, 0);
  EXPECT_EQ(m.sec, 0);
  EXPECT_EQ(m.min, 0);
  EXPECT_EQ(m.hour, 0);
  EXPECT_EQ(m.day, 0);
  EXPECT_EQ(m.month, 0);
  EXPECT_EQ(m.year, 0);
  EXPECT_EQ(m.h, 0.0f);
}

// 17 and 16 bytes: eleven and ten data bytes, the last two bytes taken as the checksum.
INSTANTIATE_TEST_SUITE_P(Lengths, ShortMeasurementReply, ::testing::Values(17u, 16u, 7u, 6u, 5u, 0u));

TEST(GetMeash, LongerReplyDecodesItsFirstTwelveDataBytes) {
  Modbus::Response::MeashPoint reply;
  Bytes longer = kMeasurement300;
  longer.push_back(0xFF);
  received(reply, longer);
  Meash m{};
  EXPECT_TRUE(getMeash(reply, &m));
  EXPECT_EQ(m.num, 300);
  EXPECT_EQ(m.h, 1.0f);
}

class NullRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    korsi::test::writeFile(dir.file("kestro.conf"), "log_file " + logPath + "\n");
    config.emplace(dir.file("kestro.conf"));
    log = std::make_unique<korsi::logstream>(*config);
    korsi::setProcessLog(log.get());
  }
  void TearDown() override { korsi::setProcessLog(nullptr); }

  korsi::test::TempDir dir;
  std::string logPath = dir.file("korsi.log");
  std::optional<korsi::Config> config;
  std::unique_ptr<korsi::logstream> log;
};

TEST_F(NullRecord, LogsOneLineAndChangesNothing) {
  Modbus::Response::MeashPoint reply;
  received(reply, kMeasurement300);
  EXPECT_FALSE(getMeash(reply, nullptr));
  const std::string text = korsi::test::readFile(logPath);
  EXPECT_NE(text.find(" : ERR : meash.cpp("), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with(") : meash is NULL\n")) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  EXPECT_EQ(bytesOf(reply), kMeasurement300);
}

}  // namespace
