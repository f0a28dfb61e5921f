#pragma once
// Modbus RTU frames as the gauge speaks them: address, function code, data and
// a CRC-16/MODBUS checksum stored HIGH byte first in both directions (the
// reverse of standard Modbus RTU).

#include <cstddef>
#include <cstdint>
#include <deque>

using message_queue_t = std::deque<unsigned char>;

namespace Modbus {

// CRC-16/MODBUS (reflected polynomial 0xA001, initial 0xFFFF, no final XOR).
std::uint16_t crc16(const unsigned char* bytes, std::size_t count) noexcept;
template <class It>
std::uint16_t crc16(It first, It last) noexcept;

// A new PDU is the single function-code slot 00.
class PDU : public message_queue_t {
 public:
  PDU() : message_queue_t(1, 0) {}
};

// A new ADU is 00 00 00 00: address, function code and the two checksum bytes.
// The checksum always sits in the last two bytes of the current frame.
class ADU : public PDU {
 public:
  ADU() { insert(begin(), 3, 0); }

  // Write bytes 0 and 1; a frame too short for the position (one that receive
  // emptied) is left alone.
  void setAddress(std::uint8_t address) noexcept { setByte(0, address); }
  void setFunction(std::uint8_t code) noexcept { setByte(1, code); }

  // The stored checksum, (byte n-2 << 8) | byte n-1; 0 on a frame under two bytes.
  std::uint16_t crc() const noexcept;
  // Writes value high byte first into the last two bytes; a frame under two
  // bytes has no checksum slot and is left alone.
  void setCrc(std::uint16_t value) noexcept;
  // Checksum of every byte but the last two; stores it when store is true.
  std::uint16_t calcCrc(bool store) noexcept;
  bool checkCrc() const noexcept;

 protected:
  // Writes byte i when the frame has it; drops the write otherwise.
  void setByte(std::size_t i, std::uint8_t value) noexcept {
    if (i < size()) (*this)[i] = value;
  }

 private:
  std::uint16_t computeCrc() const noexcept;
};

namespace detail {
extern const std::uint16_t kCrcTable[256];
}

template <class It>
std::uint16_t crc16(It first, It last) noexcept {
  std::uint16_t crc = 0xFFFF;
  for (; first != last; ++first) {
    crc = static_cast<std::uint16_t>(detail::kCrcTable[(crc ^ static_cast<unsigned char>(*first)) & 0xFF] ^
                                     (crc >> 8));
  }
  return crc;
}

}  // namespace Modbus
