// Runs the master's exchanges (send, then receive) against a line that
// delivers an arbitrary byte stream, on a clock of the test's own: the
// master's waits move the clock, and the bytes whose time has come reach the
// port's receive ring as the reader thread would move them. No real time
// passes, so one input is a few microseconds of work.
//
// Checked for every exchange: the result is one of the master's codes and
// agrees with what the response and the exception reply hold; no frame grows
// past the longest reply the protocol allows; the exchange ends, and within a
// bounded stretch of line time even when the line never falls silent.
//
// Input: byte 0 chooses the number of exchanges (1 to 4) and the request.
// Then pieces of line traffic, each: a gap byte (low 7 bits: milliseconds of
// silence before the piece; bit 7: from then on the line repeats this piece
// for ever), a length byte, and that many bytes. Time 0 is the first request.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <vector>

#include "instrument/gauge_messages.h"
#include "instrument/meash.h"
#include "link/comm_port.h"
#include "link/link_wait.h"
#include "link/modbus_master.h"
#include "link/serial_device.h"
#include "tests/support/comm_port_access.h"

namespace {

using std::chrono::microseconds;

void require(bool promise) {
  if (!promise) std::abort();
}

// The longest reply the protocol allows; a frame never grows past it.
constexpr std::size_t kLongestFrame = 256;
// Longer than any receive may take in line time, whatever the line sends:
// the waits for the reply, the longest frame and a bounded drain.
constexpr microseconds kLongestReceive{2'000'000};
// 115200 bit/s, ten bits per byte.
constexpr microseconds kByteTime{87};
// What the driver holds before it drops bytes, as a real one does on overrun.
constexpr std::size_t kDriverQueue = 4096;

struct Piece {
  microseconds gap{0};
  std::vector<std::uint8_t> bytes;
  bool forever = false;
};

// The line and the device double are the test's own machinery, not code under
// test: left out of the coverage feedback, they cost the fuzzer nothing.
#define KORSI_NOT_UNDER_TEST __attribute__((no_sanitize("coverage")))

// The line: the pieces laid out on the clock, one byte every kByteTime.
class Line {
 public:
  explicit Line(std::vector<Piece> pieces) : pieces_(std::move(pieces)) {
    if (!pieces_.empty()) next_ = pieces_[0].gap;
  }

  // Appends to driver every byte whose time is not after now.
  KORSI_NOT_UNDER_TEST void deliver(microseconds now, std::deque<std::uint8_t>& driver) {
    while (piece_ < pieces_.size() && next_ <= now) {
      const Piece& p = pieces_[piece_];
      if (byte_ < p.bytes.size()) {
        if (driver.size() < kDriverQueue) driver.push_back(p.bytes[byte_]);
        ++byte_;
        next_ += kByteTime;
        continue;
      }
      // The piece is over: again for ever, or on to the next one.
      byte_ = 0;
      if (!(p.forever && !p.bytes.empty())) {
        ++piece_;
        if (piece_ < pieces_.size()) next_ += pieces_[piece_].gap;
      }
    }
  }

 private:
  std::vector<Piece> pieces_;
  std::size_t piece_ = 0;
  std::size_t byte_ = 0;
  microseconds next_{0};
};

// The driver's side of the port: received bytes that the line delivered.
class LineDevice : public korsi::serial::SerialDevice {
 public:
  std::deque<std::uint8_t> held;

  bool getState(korsi::serial::LineState&) override { return true; }
  bool setState(const korsi::serial::LineState&) override { return true; }
  bool setModemLine(korsi::serial::ModemLine, bool) override { return true; }
  std::size_t waiting() override { return held.size(); }
  KORSI_NOT_UNDER_TEST korsi::serial::IoResult read(unsigned char* dst, std::size_t count) override {
    std::size_t n = 0;
    for (; n < count && !held.empty(); ++n) {
      dst[n] = held.front();
      held.pop_front();
    }
    return {n, korsi::serial::IoStatus::Done, 0};
  }
  void waitReadable(std::chrono::milliseconds) override {}
  korsi::serial::IoResult write(const unsigned char*, std::size_t count) override {
    return {count, korsi::serial::IoStatus::Done, 0};
  }
  void waitWritable(std::chrono::milliseconds) override {}
  void purgeInput() override { held.clear(); }
  void purgeOutput() override {}
};

// The test's clock and what the master's waits do to it.
struct Clock {
  microseconds now{0};
  Line* line = nullptr;
  LineDevice* device = nullptr;
  TCommPort* port = nullptr;
};
Clock lineClock;

KORSI_NOT_UNDER_TEST void advance(microseconds d) {
  // The reader passes once a millisecond; a long wait is many passes.
  const microseconds end = lineClock.now + d;
  do {
    lineClock.now = std::min(end, lineClock.now + microseconds{1000});
    lineClock.line->deliver(lineClock.now, lineClock.device->held);
    korsi::test::CommPortAccess::readerPass(*lineClock.port);
  } while (lineClock.now < end);
}

std::vector<Piece> parsePieces(const std::uint8_t* data, std::size_t size) {
  std::vector<Piece> pieces;
  std::size_t i = 0;
  while (i + 2 <= size) {
    Piece p;
    p.gap = std::chrono::milliseconds(data[i] & 0x7F);
    p.forever = (data[i] & 0x80) != 0;
    const std::size_t n = std::min<std::size_t>(data[i + 1], size - i - 2);
    p.bytes.assign(data + i + 2, data + i + 2 + n);
    pieces.push_back(std::move(p));
    i += 2 + n;
  }
  return pieces;
}

void checkExchange(int r, const Modbus::ADU& before, const Modbus::ADU& response, Modbus::MBMaster& master) {
  Modbus::Response::Exception& exception = master.exception();
  require(response.size() <= kLongestFrame);
  require(exception.size() <= kLongestFrame);
  switch (r) {
    case Modbus::Result::kNoReply:
    case Modbus::Result::kDeviceAddressError:
      require(response == before);
      return;
    case Modbus::Result::kIncorrectFunctionCode:
    case Modbus::Result::kExceptionCrcError:
      require(response.empty());
      return;
    case Modbus::Result::kPacketCrcError:
      return;
    default:
      break;
  }
  require(r >= 1 && r <= 0xFF);
  if (r > 0x80) {
    require(response.empty());
    require(exception.size() >= 2 && exception[0] == Modbus::deviceAddress && exception[1] == r);
    require(exception.checkCrc());
  } else {
    require(response.size() >= 5 && response[0] == Modbus::deviceAddress && response[1] == r);
    require(response.checkCrc());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int exchanges = 1 + data[0] % 4;
  const int kind = (data[0] >> 2) % 3;
  Line line(parsePieces(data + 1, size - 1));

  TCommPort port;
  auto device = std::make_unique<LineDevice>();
  lineClock = Clock{microseconds{0}, &line, device.get(), &port};
  korsi::test::CommPortAccess::attach(port, std::move(device));
  korsi::link::setWaitFunction(advance);
  {
    Modbus::MBMaster master(port);
    Modbus::Request::EchoMessage echo;
    Modbus::Request::ArchPoints archSize;
    Modbus::Request::MeashPoint measurement;
    Modbus::Response::MeashPoint meashReply;
    Modbus::Response::ArchPoints archReply;
    for (int i = 0; i < exchanges; ++i) {
      measurement.setNum(i + 1);
      Modbus::ADU& request = kind == 0 ? static_cast<Modbus::ADU&>(echo)
                             : kind == 1 ? static_cast<Modbus::ADU&>(archSize)
                                         : static_cast<Modbus::ADU&>(measurement);
      Modbus::Response::BytesMessage& response =
          kind == 1 ? static_cast<Modbus::Response::BytesMessage&>(archReply) : meashReply;
      master.send(request);
      port.purgeOutput();  // nothing sends: keep the transmit ring from filling
      const Modbus::ADU before = response;
      const microseconds start = lineClock.now;
      const int r = master.receive(response);
      require(lineClock.now - start < kLongestReceive);
      checkExchange(r, before, response, master);
      // What the callers read from whatever was accepted stays inside the frame.
      Meash record{};
      (void)getMeash(meashReply, &record);
      (void)archReply.count();
    }
    korsi::link::setWaitFunction(nullptr);
    // The master's link adapter closes the port when it goes: no threads to stop.
    korsi::test::CommPortAccess::detach(port);
  }
  return 0;
}
