#include "instrument/gauge_messages.h"

namespace Modbus {

namespace {
constexpr std::uint8_t kArchPointsFunction = 5;
constexpr std::uint8_t kMeashPointFunction = 6;
constexpr std::uint16_t kMeashDataBytes = 12;
constexpr std::size_t kDataStart = 4;

// Address, function, the 16-bit count of data (bytes or words), the data and
// the checksum: the whole frame's length and count fields agree with it.
bool hasShape(const message_queue_t& frame, std::uint8_t function, std::uint16_t count, std::size_t dataBytes) {
  return frame.size() == kDataStart + dataBytes + 2 && frame[1] == function && frame[2] == (count >> 8) &&
         frame[3] == (count & 0xFF);
}
}  // namespace

namespace Request {

ArchPoints::ArchPoints() {
  setFunction(kArchPointsFunction);
  calcCrc(true);
}

MeashPoint::MeashPoint() { setFunction(kMeashPointFunction); }

void MeashPoint::setNum(std::uint16_t n) { setArgument(n); }

}  // namespace Request

namespace Response {

ArchPoints::ArchPoints() {
  setFunction(kArchPointsFunction);
  setLength(1);
}

std::uint16_t ArchPoints::count() const {
  // Reading only: the bounded data view needs a mutable frame but is not
  // written through here, and data() would move the stored data position.
  const DataPosition at(const_cast<ArchPoints*>(this), kDataStart);
  if (at.available() < 2) return 0;
  return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}

bool ArchPoints::wellFormed() const { return hasShape(*this, kArchPointsFunction, 1, 2); }

MeashPoint::MeashPoint() {
  setLength(kMeashDataBytes);
  setFunction(kMeashPointFunction);
}

bool MeashPoint::wellFormed() const {
  return hasShape(*this, kMeashPointFunction, kMeashDataBytes, kMeashDataBytes);
}

}  // namespace Response
}  // namespace Modbus
