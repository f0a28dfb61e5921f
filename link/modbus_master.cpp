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

Uart& readFrame(Uart& uart, PDU& frame) {
  std::uint8_t b = 0;
  while (getBytes(uart.port(), &b, 1) == 0) frame.push_back(b);
  return uart;
}

MBMaster::MBMaster(TCommPort& port) : uart_(port) {}

void MBMaster::send(ADU& request) {
  request.setAddress(deviceAddress);
  request.calcCrc(true);
  writeFrame(uart_, request);
}

int MBMaster::receive(ADU& response) {
  TCommPort& port = uart_.port();
  korsi::link::linkWait(kReplyWait);
  for (int poll = 0;; ++poll) {
    if (poll == kPolls) return Result::kNoReply;  // nothing logged, nothing drained
    if (available(port) >= kShortestReply) break;
    korsi::link::linkWait(kPollInterval);
  }

  if (peek(port, 0) != deviceAddress) {
    LOG_ERR("DEVICE_ADDRESS_ERROR");
    korsi::link::linkWait(kByteWait);  // let the rest of the stray frame arrive
    LOG_INF(dumpWaiting(port));
    drain(port);
    return Result::kDeviceAddressError;
  }

  response.clear();
  const std::uint8_t f = peek(port, 1);
  if (f == 0) {
    LOG_INF("INCORRECT_FUNCTION_CODE");
    drain(port);
    return Result::kIncorrectFunctionCode;
  }

  if (f > 0x80) {
    LOG_INF("EXCEPTION");
    exception_.clear();
    readFrame(uart_, exception_);
    if (!exception_.checkCrc()) {
      LOG_ERR("EXCEPTION_CRC_ERROR");
      LOG_ERR(dump(exception_));
      drain(port);
      return Result::kExceptionCrcError;
    }
    return f;
  }

  readFrame(uart_, response);
  if (!response.checkCrc()) {
    LOG_INF("PACKET_CRC_ERROR");
    LOG_INF(dump(response));
    drain(port);
    return Result::kPacketCrcError;
  }
  return f;
}

MBSlave::MBSlave(TCommPort& port) : uart_(port) {}

}  // namespace Modbus
