#include "link/modbus_master.h"

#include <cstdio>
#include <string>

#include "link/link_wait.h"
#include "services/logs.h"

namespace Modbus {

namespace {

void appendHex(std::string& text, std::uint8_t b) {
  char piece[8];
  std::snprintf(piece, sizeof piece, " 0x%02X", static_cast<unsigned>(b));
  text += piece;
}

std::string dump(const message_queue_t& bytes) {
  std::string text;
  for (const unsigned char b : bytes) appendHex(text, b);
  return text;
}

// Everything waiting in the receive ring, the count read again before each byte.
std::string dumpWaiting(TCommPort& port) {
  std::string text;
  for (std::uint32_t i = 0; i < available(port); ++i) appendHex(text, peek(port, i));
  return text;
}

}  // namespace

Uart& writeFrame(Uart& uart, const ADU& frame) {
  for (const unsigned char b : frame) putByte(uart.port(), b);
  return uart;
}

bool readFrame(Uart& uart, PDU& frame) {
  std::uint8_t b = 0;
  while (getBytes(uart.port(), &b, 1) == 0) {
    if (frame.size() >= kLongestReply) return false;
    frame.push_back(b);
  }
  return true;
}

MBMaster::MBMaster(TCommPort& port) : uart_(port) {}

void MBMaster::send(ADU& request) {
  // A reply that came after the last exchange gave up waiting would otherwise
  // be taken as the answer to this request.
  uart_.port().purgeInput();
  request.setAddress(deviceAddress);
  request.calcCrc(true);
  writeFrame(uart_, request);
}

int MBMaster::drainAfter(int result) {
  if (drain(uart_.port())) return result;
  LOG_ERR("LINE_NOT_SILENT");
  return Result::kPacketCrcError;
}

int MBMaster::receive(ADU& response) {
  TCommPort& port = uart_.port();
  // A device that has hung up sends nothing more: no need to wait it out.
  const auto gone = [&port] { return port.deviceGone() && available(port) < kShortestReply; };
  if (gone()) return Result::kNoReply;
  korsi::link::linkWait(kReplyWait);
  for (int poll = 0;; ++poll) {
    if (poll == kPolls || gone()) return Result::kNoReply;  // nothing logged, nothing drained
    if (available(port) >= kShortestReply) break;
    korsi::link::linkWait(kPollInterval);
  }

  if (peek(port, 0) != deviceAddress) {
    LOG_ERR("DEVICE_ADDRESS_ERROR");
    korsi::link::linkWait(kByteWait);  // let the rest of the stray frame arrive
    LOG_INF(dumpWaiting(port));
    return drainAfter(Result::kDeviceAddressError);
  }

  response.clear();
  const std::uint8_t f = peek(port, 1);
  if (f == 0) {
    LOG_INF("INCORRECT_FUNCTION_CODE");
    return drainAfter(Result::kIncorrectFunctionCode);
  }

  if (f > 0x80) {
    LOG_INF("EXCEPTION");
    exception_.clear();
    const bool ended = readFrame(uart_, exception_);
    if (!ended || !exception_.checkCrc()) {
      LOG_ERR("EXCEPTION_CRC_ERROR");
      LOG_ERR(dump(exception_));
      return drainAfter(Result::kExceptionCrcError);
    }
    return f;
  }

  const bool ended = readFrame(uart_, response);
  if (!ended || !response.checkCrc()) {
    LOG_INF("PACKET_CRC_ERROR");
    LOG_INF(dump(response));
    return drainAfter(Result::kPacketCrcError);
  }
  return f;
}

MBSlave::MBSlave(TCommPort& port) : uart_(port) {}

}  // namespace Modbus
