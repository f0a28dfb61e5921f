#include "storage/recordset/text_codec.h"

namespace korsi::text {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at text[pos], advancing pos; invalid or overlong
// sequences and surrogates give U+FFFD and advance by one byte.
char32_t decodeUtf8(std::string_view text, std::size_t& pos, bool& valid) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  valid = true;
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length = 0;
  char32_t code = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    code = lead & 0x1F;
    minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    code = lead & 0x0F;
    minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    code = lead & 0x07;
    minimum = 0x10000;
  }
  if (length == 0 || pos + length > text.size()) {
    valid = false;
    ++pos;
    return kReplacement;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(pos + i);
    if ((next & 0xC0) != 0x80) {
      valid = false;
      ++pos;
      return kReplacement;
    }
    code = (code << 6) | (next & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    valid = false;
    ++pos;
    return kReplacement;
  }
  pos += length;
  return code;
}

// Code points of the Windows-1251 bytes 0x80 to 0xBF; 0xC0 to 0xFF are
// U+0410 to U+044F in order.
constexpr char16_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

void appendUnit(std::string& out, char16_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>(unit >> 8);
}

}  // namespace

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool isValidUtf8(std::string_view text) {
  std::size_t pos = 0;
  bool valid = true;
  while (pos < text.size()) {
    decodeUtf8(text, pos, valid);
    if (!valid) return false;
  }
  return true;
}

std::size_t utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  std::size_t pos = 0;
  bool valid = true;
  while (pos < utf8.size()) units += decodeUtf8(utf8, pos, valid) >= 0x10000 ? 2 : 1;
  return units;
}

void appendUtf16le(std::string& out, std::string_view utf8) {
  std::size_t pos = 0;
  bool valid = true;
  while (pos < utf8.size()) {
    const char32_t c = decodeUtf8(utf8, pos, valid);
    if (c >= 0x10000) {
      const char32_t v = c - 0x10000;
      appendUnit(out, static_cast<char16_t>(0xD800 | (v >> 10)));
      appendUnit(out, static_cast<char16_t>(0xDC00 | (v & 0x3FF)));
    } else {
      appendUnit(out, static_cast<char16_t>(c));
    }
  }
}

std::string utf16leToUtf8(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size());
  const std::size_t units = bytes.size() / 2;
  const auto unitAt = [&](std::size_t i) {
    return static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  };
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const char16_t low = unitAt(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
  }
  return out;
}

std::string cp1251ToUtf8(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    if (b < 0x80) {
      out += static_cast<char>(b);
    } else if (b < 0xC0) {
      appendUtf8(out, kCp1251High[b - 0x80]);
    } else {
      appendUtf8(out, 0x0410 + (b - 0xC0));
    }
  }
  return out;
}

}  // namespace korsi::text
