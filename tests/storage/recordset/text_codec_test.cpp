#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "storage/recordset/text_codec.h"

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

TEST(TextCodec, WideTextRoundTripsThroughUtf16IncludingCharactersOutsideTheBasicPlane) {
  for (const std::string text : {"", "Примечание", "a\xF0\x9F\x98\x80z", "\xE2\x82\xAC 100"}) {
    std::string utf16;
    korsi::text::appendUtf16le(utf16, text);
    EXPECT_EQ(korsi::text::utf16leToUtf8(bytesOf(utf16)), text);
  }
  EXPECT_EQ(korsi::text::utf16Length("a\xF0\x9F\x98\x80z"), 4u);
  EXPECT_EQ(korsi::text::utf16Length("Жж"), 2u);
}

TEST(TextCodec, UnpairedSurrogatesBecomeReplacementCharacters) {
  const std::vector<std::uint8_t> lone = {0x3D, 0xD8, 'a', 0x00, 0x00, 0xDC};
  EXPECT_EQ(korsi::text::utf16leToUtf8(lone), "\xEF\xBF\xBD" "a" "\xEF\xBF\xBD");
}

TEST(TextCodec, Windows1251Cyrillic) {
  // "Ёлка №5 ёж" in Windows-1251.
  const std::vector<std::uint8_t> cp1251 = {0xA8, 0xEB, 0xEA, 0xE0, 0x20, 0xB9, 0x35, 0x20, 0xB8, 0xE6};
  EXPECT_EQ(korsi::text::cp1251ToUtf8(cp1251), "Ёлка №5 ёж");
}

TEST(TextCodec, Utf8Validation) {
  EXPECT_TRUE(korsi::text::isValidUtf8("Толщина \xF0\x9F\x98\x80"));
  EXPECT_FALSE(korsi::text::isValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(korsi::text::isValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(korsi::text::isValidUtf8("\xD0"));              // cut short
  EXPECT_FALSE(korsi::text::isValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
}

}  // namespace
