// Frames and messages checked against the gauge's documented byte examples.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "link/modbus_frame.h"
#include "link/modbus_messages.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const message_queue_t& frame) { return Bytes(frame.begin(), frame.end()); }

template <class Frame>
Frame frameOf(const Bytes& bytes) {
  Frame frame;
  frame.assign(bytes.begin(), bytes.end());
  return frame;
}

// Received or documented frames: does the checksum hold, and what does crc() read?
struct ChecksumCase {
  const char* name;
  Bytes frame;
  bool valid;
  std::uint16_t stored;
};

std::ostream& operator<<(std::ostream& out, const ChecksumCase& c) { return out << c.name; }

class ChecksumExamples : public ::testing::TestWithParam<ChecksumCase> {};

TEST_P(ChecksumExamples, CheckCrcAndStoredValue) {
  const ChecksumCase& c = GetParam();
  const auto frame = frameOf<Modbus::ADU>(c.frame);
  EXPECT_EQ(frame.checkCrc(), c.valid);
  EXPECT_EQ(frame.crc(), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    GaugeFrames, ChecksumExamples,
    ::testing::Values(
        ChecksumCase{"EchoRequestOnWire", {0x01, 0x04, 0, 0, 0, 0, 0x0A, 0xF0}, true, 0x0AF0},
        ChecksumCase{"EchoRequestAddressZero", {0x00, 0x04, 0, 0, 0, 0, 0xDB, 0xF1}, true, 0xDBF1},
        ChecksumCase{"ExceptionReply", {0x01, 0x84, 0x02, 0xC1, 0xC2}, true, 0xC1C2},
        ChecksumCase{"ExceptionReplyLowByteFirst", {0x01, 0x84, 0x02, 0xC2, 0xC1}, false, 0xC2C1},
        ChecksumCase{"EchoReply", {0x01, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0x99}, true, 0x5B99},
        ChecksumCase{"EchoReplyWrongLastByte", {0x01, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0x98}, false, 0x5B98},
        ChecksumCase{"ReplyFromAddressTwo", {0x02, 0x04, 0x00, 0x01, 0x5A, 0x5B, 0xDD}, true, 0x5BDD},
        ChecksumCase{"FunctionCode0x80", {0x01, 0x80, 0x00, 0x01, 0x5A, 0xAB, 0xB1}, true, 0xABB1},
        ChecksumCase{"FunctionCodeFive", {0x01, 0x05, 0x00, 0x01, 0x5A, 0xA7, 0x98}, true, 0xA798},
        ChecksumCase{"FunctionCodeZero", {0x01, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x19}, true, 0xC019},
        ChecksumCase{"ArchiveSize500", {0x01, 0x05, 0x00, 0x01, 0x01, 0xF4, 0x1D, 0x9C}, true, 0x1D9C},
        ChecksumCase{"MasterExceptionMember", {0x00, 0x80, 0x00, 0x00, 0x10}, true, 0x0010},
        ChecksumCase{"TooShortForAChecksum", {0x01}, false, 0x0000}),
    [](const auto& info) { return std::string(info.param.name); });

// Frames the program builds: constructor and setters in, bytes out.
struct BuildCase {
  const char* name;
  std::function<Bytes()> build;
  Bytes expected;
};

std::ostream& operator<<(std::ostream& out, const BuildCase& c) { return out << c.name; }

class BuiltFrames : public ::testing::TestWithParam<BuildCase> {};

TEST_P(BuiltFrames, HoldExpectedBytes) { EXPECT_EQ(GetParam().build(), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Messages, BuiltFrames,
    ::testing::Values(
        BuildCase{"NewPdu", [] { return bytesOf(Modbus::PDU()); }, {0x00}},
        BuildCase{"NewAdu", [] { return bytesOf(Modbus::ADU()); }, {0, 0, 0, 0}},
        BuildCase{"NewAduWithChecksum",
                  [] {
                    Modbus::ADU frame;
                    EXPECT_EQ(frame.calcCrc(true), 0xB001);
                    return bytesOf(frame);
                  },
                  {0x00, 0x00, 0xB0, 0x01}},
        BuildCase{"ChecksumStoredHighByteFirst",
                  [] {
                    auto frame = frameOf<Modbus::ADU>({0x01, 0x04, 0, 0, 0, 0, 0, 0});
                    EXPECT_EQ(frame.calcCrc(true), 0x0AF0);
                    return bytesOf(frame);
                  },
                  {0x01, 0x04, 0, 0, 0, 0, 0x0A, 0xF0}},
        BuildCase{"RequestBase", [] { return bytesOf(Modbus::Request::BytesMessage()); },
                  {0, 0x01, 0, 0, 0, 0, 0, 0}},
        BuildCase{"RequestArgument",
                  [] {
                    Modbus::Request::BytesMessage request;
                    request.setArgument(0x0107);
                    return bytesOf(request);
                  },
                  {0, 0x01, 0, 0, 0x01, 0x07, 0, 0}},
        BuildCase{"EchoRequest", [] { return bytesOf(Modbus::Request::EchoMessage()); },
                  {0x00, 0x04, 0, 0, 0, 0, 0xDB, 0xF1}},
        BuildCase{"EchoRequestAsSent",
                  [] {
                    Modbus::Request::EchoMessage request;
                    request.setAddress(1);
                    request.calcCrc(true);
                    return bytesOf(request);
                  },
                  {0x01, 0x04, 0, 0, 0, 0, 0x0A, 0xF0}},
        BuildCase{"ResponseBase", [] { return bytesOf(Modbus::Response::BytesMessage()); },
                  {0, 0x01, 0, 0, 0, 0}},
        BuildCase{"WordsResponseBase", [] { return bytesOf(Modbus::Response::WordsMessage()); },
                  {0, 0x02, 0, 0, 0, 0}},
        BuildCase{"EchoResponse", [] { return bytesOf(Modbus::Response::EchoMessage()); },
                  {0x00, 0x04, 0x00, 0x01, 0x5A, 0x9B, 0xA4}},
        BuildCase{"BytesSetLengthOne",
                  [] {
                    Modbus::Response::BytesMessage response;
                    response.setLength(1);
                    return bytesOf(response);
                  },
                  {0, 0x01, 0x00, 0x01, 0, 0, 0}},
        BuildCase{"BytesGrowThenShrink",
                  [] {
                    Modbus::Response::BytesMessage response;
                    response.setLength(12);
                    EXPECT_EQ(response.size(), 18u);
                    EXPECT_EQ(response[2], 0x00);
                    EXPECT_EQ(response[3], 0x0C);
                    response.setLength(1);
                    return bytesOf(response);
                  },
                  {0, 0x01, 0x00, 0x01, 0, 0, 0}},
        BuildCase{"WordsSetLengthOne",
                  [] {
                    Modbus::Response::WordsMessage response;
                    response.setLength(1);
                    return bytesOf(response);
                  },
                  {0, 0x02, 0x00, 0x01, 0, 0, 0, 0}},
        BuildCase{"ExceptionFourTwo", [] { return bytesOf(Modbus::Response::Exception(4, 2)); },
                  {0x00, 0x84, 0x02, 0x01, 0x93}},
        BuildCase{"MastersInitialException", [] { return bytesOf(Modbus::Response::Exception(0, 0)); },
                  {0x00, 0x80, 0x00, 0x00, 0x10}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Crc16, StandardCheckValueConfirmsTheTable) {
  const std::string digits = "123456789";
  EXPECT_EQ(Modbus::crc16(digits.begin(), digits.end()), 0x4B37);
}

TEST(Crc16, ChangingACoveredByteBreaksTheChecksumUntilRecomputed) {
  auto frame = frameOf<Modbus::ADU>({0x01, 0x04, 0, 0, 0, 0, 0, 0});
  frame.calcCrc(true);
  const Bytes before = bytesOf(frame);
  for (std::size_t i = 0; i + 2 < frame.size(); ++i) {
    auto changed = frame;
    changed[i] ^= 0x01;
    EXPECT_FALSE(changed.checkCrc()) << "byte " << i;
    const Bytes unchanged = bytesOf(changed);
    changed.calcCrc(false);
    EXPECT_EQ(bytesOf(changed), unchanged) << "calcCrc(false) must not write";
    changed.calcCrc(true);
    EXPECT_TRUE(changed.checkCrc());
  }
  EXPECT_EQ(bytesOf(frame), before);
}

TEST(ResponseData, ReadsTheDocumentedValues) {
  auto archiveSize = frameOf<Modbus::Response::WordsMessage>({0x01, 0x05, 0x00, 0x01, 0x01, 0xF4, 0x1D, 0x9C});
  EXPECT_EQ(archiveSize.word(0), 500);

  Modbus::Response::EchoMessage echo;
  EXPECT_FALSE(Modbus::Response::BytesMessage().dataPosition().has_value());
  EXPECT_EQ(*echo.data(), 0x5A);
  EXPECT_EQ(echo.dataPosition(), 4u);

  EXPECT_EQ(Modbus::Response::Exception(4, 2).code(), 2);
  EXPECT_EQ(Modbus::Response::Exception(0x80, 1)[1], 0x00);
}

// Short or emptied frames: reads stay inside the data bytes, writes outside are dropped.
TEST(ResponseData, NeverReachesOutsideTheFrame) {
  Modbus::Response::WordsMessage emptied;
  emptied.clear();
  EXPECT_EQ(emptied.word(0), 0);
  auto at = emptied.data();
  EXPECT_EQ(at[0], 0);
  at[0] = 0x77;
  EXPECT_TRUE(emptied.empty());

  // One data word: word(1) would need the checksum bytes, which are not data.
  auto oneWord = frameOf<Modbus::Response::WordsMessage>({0x01, 0x05, 0x00, 0x01, 0x01, 0xF4, 0x1D, 0x9C});
  EXPECT_EQ(oneWord.word(1), 0);
  EXPECT_EQ(oneWord.word(0xFFFF), 0);
  oneWord.data()[2] = 0x55;
  EXPECT_EQ(bytesOf(oneWord), (Bytes{0x01, 0x05, 0x00, 0x01, 0x01, 0xF4, 0x1D, 0x9C}));
  EXPECT_EQ(oneWord.data().available(), 2u);

  // An odd trailing data byte does not make a word.
  auto odd = frameOf<Modbus::Response::WordsMessage>({0x01, 0x05, 0x00, 0x01, 0x01, 0xAA, 0xBB});
  EXPECT_EQ(odd.word(0), 0);

  Modbus::Response::Exception shortException(4, 2);
  shortException.resize(2);
  EXPECT_EQ(shortException.code(), 0);
}

// The setters of fixed positions on frames that receive emptied or cut short:
// each write lands inside the frame or is dropped (AddressSanitizer checks the rest).
struct SetterCase {
  const char* name;
  Bytes frame;  // the frame as receive left it
  std::function<void(Modbus::Response::BytesMessage&)> set;
  Bytes expected;
};

TEST(ShortFrames, FixedPositionSettersStayInsideTheFrame) {
  const std::vector<SetterCase> cases = {
      {"address on an emptied frame", {}, [](auto& f) { f.setAddress(1); }, {}},
      {"function on an emptied frame", {}, [](auto& f) { f.setFunction(6); }, {}},
      {"function on a one-byte frame", {0x01}, [](auto& f) { f.setFunction(6); }, {0x01}},
      {"address and function on a cut frame", {0x07, 0x08}, [](auto& f) { f.setAddress(1); f.setFunction(6); },
       {0x01, 0x06}},
      {"length 1 on an emptied frame", {}, [](auto& f) { f.setLength(1); }, {0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}},
      {"length 12 on a two-byte frame", {0x01, 0x06}, [](auto& f) { f.setLength(12); },
       {0x01, 0x06, 0x00, 0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const SetterCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto frame = frameOf<Modbus::Response::BytesMessage>(c.frame);
    c.set(frame);
    EXPECT_EQ(bytesOf(frame), c.expected);
  }

  Modbus::Response::WordsMessage words;
  words.clear();
  words.setLength(1);
  EXPECT_EQ(bytesOf(words), (Bytes{0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}));
}

TEST(ShortFrames, ArgumentIsWrittenOnlyBeforeTheChecksum) {
  const std::vector<std::pair<Bytes, Bytes>> cases = {
      {{}, {}},
      {{0x01, 0x06, 0x00, 0x00, 0xAA, 0xBB}, {0x01, 0x06, 0x00, 0x00, 0xAA, 0xBB}},  // 4-5 are its checksum
      {{0x01, 0x06, 0x00, 0x00, 0x00, 0x00, 0xAA, 0xBB}, {0x01, 0x06, 0x00, 0x00, 0x01, 0x2C, 0xAA, 0xBB}},
  };
  for (const auto& [before, after] : cases) {
    auto request = frameOf<Modbus::Request::BytesMessage>(before);
    request.setArgument(300);
    EXPECT_EQ(bytesOf(request), after);
  }
}

}  // namespace
