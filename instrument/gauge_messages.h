#pragma once
// The gauge's two requests of its own and their replies. Function codes 5 and 6
// keep the 8-byte request layout of Modbus, but the replies carry the gauge's
// 16-bit count (address, function, count, data, checksum):
//   archive size   01 05 00 00 00 00 CA CD  ->  01 05 00 01 <size hi> <size lo> crc
//   measurement n  01 06 00 00 <n hi> <n lo> crc  ->  01 06 00 0C <12 data bytes> crc
// (as sent by the master with address 1; checksum high byte first).

#include <cstdint>

#include "link/modbus_messages.h"

namespace Modbus {

namespace Request {

// 00 05 00 00 00 00 1B CC when new: the checksum over address 0 is stored.
class ArchPoints : public BytesMessage {
 public:
  ArchPoints();
};

// 00 06 00 00 00 00 00 00 when new (number 0, no checksum yet: the master
// stores one on sending).
class MeashPoint : public BytesMessage {
 public:
  MeashPoint();
  // The measurement number into bytes 4 and 5, high byte first. The gauge's
  // numbers are 16 bits; a caller with a wider number checks it first.
  void setNum(std::uint16_t n);
};

}  // namespace Request

namespace Response {

// Prepared as function 5 with one data word (8 bytes); receive replaces it.
class ArchPoints : public WordsMessage {
 public:
  ArchPoints();
  // The number of stored measurements: the first data word. A reply too short
  // to hold that word (fewer than 8 bytes) yields 0, an empty archive; bytes
  // that did not arrive, and the checksum, are never read as the count.
  std::uint16_t count() const;
  // The reply has the archive-size reply's shape: function 5, one data word,
  // 8 bytes. Anything else (an echo reply, another request's late answer)
  // holds no count to trust.
  bool wellFormed() const;
};

// Prepared as function 6 with twelve data bytes (18 bytes); getMeash
// (instrument/meash.h) decodes what receive put into it.
class MeashPoint : public BytesMessage {
 public:
  MeashPoint();
  // The reply has a measurement reply's shape: function 6, twelve data
  // bytes, 18 bytes in all.
  bool wellFormed() const;
};

}  // namespace Response
}  // namespace Modbus
