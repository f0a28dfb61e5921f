#pragma once
// Conversions between the program's UTF-8 texts and the UTF-16 and
// Windows-1251 texts of data files written on Windows.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace korsi::text {

bool isValidUtf8(std::string_view text);

// Number of UTF-16 code units the (valid) UTF-8 text takes.
std::size_t utf16Length(std::string_view utf8);

// Appends the UTF-8 text as UTF-16 little-endian bytes; invalid UTF-8 bytes
// become U+FFFD.
void appendUtf16le(std::string& out, std::string_view utf8);

// UTF-16 little-endian bytes (an odd last byte is dropped); unpaired
// surrogates become U+FFFD.
std::string utf16leToUtf8(std::span<const std::uint8_t> bytes);

// Windows-1251 bytes; the one unassigned byte 0x98 becomes U+FFFD.
std::string cp1251ToUtf8(std::span<const std::uint8_t> bytes);

void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace korsi::text
