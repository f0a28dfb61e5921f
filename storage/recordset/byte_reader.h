#pragma once
// Little-endian reads from a byte span, each checked against the end: a read
// past the end throws FormatError, which the file readers turn into a clean
// error value before anything leaves them.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string>

namespace korsi::recordset::detail {

class FormatError : public std::runtime_error {
 public:
  FormatError(std::size_t offset, const std::string& what)
      : std::runtime_error(what + " (смещение " + std::to_string(offset) + ")") {}
};

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes, std::size_t base = 0)
      : bytes_(bytes), base_(base) {}

  std::size_t offset() const noexcept { return base_ + pos_; }
  std::size_t remaining() const noexcept { return bytes_.size() - pos_; }
  bool atEnd() const noexcept { return pos_ == bytes_.size(); }

  std::uint8_t peek() const {
    if (atEnd()) throw FormatError(offset(), "данные обрываются");
    return bytes_[pos_];
  }
  std::uint8_t u8() { return take(1)[0]; }
  std::uint16_t u16() { return static_cast<std::uint16_t>(little(2)); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(little(4)); }
  std::uint64_t u64() { return little(8); }
  std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
  std::int64_t i64() { return static_cast<std::int64_t>(u64()); }
  float f32() { return std::bit_cast<float>(u32()); }
  double f64() { return std::bit_cast<double>(u64()); }

  std::span<const std::uint8_t> take(std::size_t count) {
    if (count > remaining()) throw FormatError(offset(), "данные обрываются");
    const auto piece = bytes_.subspan(pos_, count);
    pos_ += count;
    return piece;
  }
  void skip(std::size_t count) { take(count); }

  // A reader over the next `count` bytes; this reader moves past them.
  ByteReader sub(std::size_t count) {
    const std::size_t start = offset();
    return ByteReader(take(count), start);
  }

 private:
  std::uint64_t little(std::size_t count) {
    const auto piece = take(count);
    std::uint64_t value = 0;
    for (std::size_t i = count; i-- > 0;) value = (value << 8) | piece[i];
    return value;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t base_;
  std::size_t pos_ = 0;
};

}  // namespace korsi::recordset::detail
