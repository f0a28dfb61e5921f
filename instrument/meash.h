#pragma once
// One measurement of the gauge's archive, as the reading decodes it from the
// twelve data bytes of a measurement reply:
//   d0-d1 number (high byte first), d2 seconds, d3 minutes, d4 hours, d5 day,
//   d6 month, d7 year of the century, d8-d11 thickness in millimetres
//   (IEEE-754 single precision, most significant byte first).
// Every field is copied as it came: an impossible date or a NaN thickness is
// left for the row's date parse and the caller to judge.

#include <cstdint>

#include "instrument/gauge_messages.h"

struct Meash {
  std::uint16_t num;
  std::uint8_t sec;
  std::uint8_t min;
  std::uint8_t hour;
  std::uint8_t day;
  std::uint8_t month;
  std::uint8_t year;  // the calendar year is 2000 + year
  float h;
};

// Decodes reply into *meash and says whether the reply held a whole
// measurement. A null meash logs ERR "meash is NULL" and changes nothing.
// A reply with fewer than twelve data bytes (shorter than 18 bytes, for
// example an accepted reply of another kind) yields a record of zeros: bytes
// that did not arrive, the checksum included, are never taken as data, and
// number 0 is one that the reading never asks for, so such a record is
// refused as a wrong number there.
bool getMeash(const Modbus::Response::MeashPoint& reply, Meash* meash);
