#pragma once
// The generic request and response frames of the gauge's protocol, the echo
// pair of the device search and the exception reply that the master keeps.
// Requests are 8 bytes: address, function, 00 00, a 16-bit argument, checksum.
// Responses: address, function, a 16-bit count, data, checksum. Every 16-bit
// field is stored high byte first.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "link/modbus_frame.h"

namespace Modbus {

namespace Request {

class BytesMessage : public ADU {
 public:
  BytesMessage();
  // Bytes 4 and 5; the checksum is left for the master to recompute. On a
  // frame too short to hold them before its checksum the write is dropped.
  void setArgument(std::uint16_t value);
};

// Sent with address 1 it is 01 04 00 00 00 00 0A F0 on the wire.
class EchoMessage : public BytesMessage {
 public:
  EchoMessage();
};

}  // namespace Request

namespace Response {

// Bounded access to the data bytes of a response (positions 4 to n-3). The
// frame may be shorter than the position asked for, for example one that
// receive emptied or a short reply: then a read yields 0 and a write is
// dropped, so nothing outside the frame, and never its checksum, is touched.
class DataPosition {
 public:
  class ByteRef {
   public:
    ByteRef(ADU* frame, std::size_t position) : frame_(frame), position_(position) {}
    operator std::uint8_t() const;  // NOLINT: a byte reference reads as a byte
    ByteRef& operator=(std::uint8_t value);
    ByteRef& operator=(const ByteRef& other) { return *this = static_cast<std::uint8_t>(other); }

   private:
    ADU* frame_;
    std::size_t position_;
  };

  DataPosition(ADU* frame, std::size_t start) : frame_(frame), start_(start) {}

  ByteRef operator[](std::size_t index) const { return ByteRef(frame_, start_ + index); }
  ByteRef operator*() const { return (*this)[0]; }
  // Data bytes that the frame really holds from this position on.
  std::size_t available() const;

 private:
  ADU* frame_;
  std::size_t start_;
};

class BytesMessage : public ADU {
 public:
  BytesMessage();
  // Writes count into bytes 2 and 3 and resizes the frame to count + 6 bytes,
  // adding 00 bytes or removing bytes at the end; the checksum is not
  // recomputed. An emptied frame grows to its new size first, so it is safe.
  virtual void setLength(std::uint16_t count);
  // The first data byte (position 4); remembered as the data position.
  DataPosition data();
  // The position that the last call of data() gave, or none before the first.
  std::optional<std::size_t> dataPosition() const noexcept { return dataPosition_; }

 protected:
  void resizeFrame(std::uint16_t count, std::size_t dataBytes);

 private:
  std::optional<std::size_t> dataPosition_;
};

class WordsMessage : public BytesMessage {
 public:
  WordsMessage();
  // As BytesMessage::setLength, but count is in 16-bit words: 2 x count + 6 bytes.
  void setLength(std::uint16_t count) override;
  // Data word index, high byte first; 0 when the frame's data does not reach it.
  std::uint16_t word(std::uint16_t index);
};

// The constructed 00 04 00 01 5A 9B A4 only describes the expected answer;
// received bytes are never compared with it.
class EchoMessage : public BytesMessage {
 public:
  EchoMessage();
};

// address, function + 0x80, exception code, checksum.
class Exception : public ADU {
 public:
  Exception(std::uint8_t function, std::uint8_t code);
  // Byte 2; 0 on a frame too short to hold it.
  std::uint8_t code() const noexcept;
};

}  // namespace Response
}  // namespace Modbus
