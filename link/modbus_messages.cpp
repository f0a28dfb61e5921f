#include "link/modbus_messages.h"

namespace Modbus {

namespace {
constexpr std::size_t kDataStart = 4;
constexpr std::size_t kChecksumBytes = 2;

// One past the last data byte: data ends where the checksum begins.
std::size_t dataEnd(const ADU& frame) {
  return frame.size() < kDataStart + kChecksumBytes ? kDataStart : frame.size() - kChecksumBytes;
}
}  // namespace

namespace Request {

BytesMessage::BytesMessage() {
  insert(end(), 4, 0);
  setFunction(1);
}

void BytesMessage::setArgument(std::uint16_t value) {
  constexpr std::size_t kArgument = 4;
  if (size() < kArgument + 2 + kChecksumBytes) return;
  (*this)[kArgument] = static_cast<unsigned char>(value >> 8);
  (*this)[kArgument + 1] = static_cast<unsigned char>(value & 0xFF);
}

EchoMessage::EchoMessage() {
  setFunction(4);
  calcCrc(true);
}

}  // namespace Request

namespace Response {

DataPosition::ByteRef::operator std::uint8_t() const {
  if (position_ >= dataEnd(*frame_)) return 0;
  return (*frame_)[position_];
}

DataPosition::ByteRef& DataPosition::ByteRef::operator=(std::uint8_t value) {
  if (position_ < dataEnd(*frame_)) (*frame_)[position_] = value;
  return *this;
}

std::size_t DataPosition::available() const {
  const std::size_t end = dataEnd(*frame_);
  return start_ < end ? end - start_ : 0;
}

BytesMessage::BytesMessage() {
  insert(end(), 2, 0);
  setFunction(1);
}

void BytesMessage::resizeFrame(std::uint16_t count, std::size_t dataBytes) {
  // Resized first: a frame that receive emptied has no bytes 2 and 3 yet.
  resize(dataBytes + kDataStart + kChecksumBytes, 0);
  (*this)[2] = static_cast<unsigned char>(count >> 8);
  (*this)[3] = static_cast<unsigned char>(count & 0xFF);
}

void BytesMessage::setLength(std::uint16_t count) { resizeFrame(count, count); }

DataPosition BytesMessage::data() {
  dataPosition_ = kDataStart;
  return DataPosition(this, kDataStart);
}

WordsMessage::WordsMessage() { setFunction(2); }

void WordsMessage::setLength(std::uint16_t count) {
  resizeFrame(count, 2 * static_cast<std::size_t>(count));
}

std::uint16_t WordsMessage::word(std::uint16_t index) {
  const DataPosition at = data();
  const std::size_t offset = 2 * static_cast<std::size_t>(index);
  if (offset + 2 > at.available()) return 0;
  return static_cast<std::uint16_t>((at[offset] << 8) | at[offset + 1]);
}

EchoMessage::EchoMessage() {
  setFunction(4);
  setLength(1);
  *data() = 0x5A;
  calcCrc(true);
}

Exception::Exception(std::uint8_t function, std::uint8_t code) {
  push_back(0);
  setFunction(static_cast<std::uint8_t>(function + 0x80));
  (*this)[2] = code;
  calcCrc(true);
}

std::uint8_t Exception::code() const noexcept { return size() > 2 ? (*this)[2] : 0; }

}  // namespace Response
}  // namespace Modbus
