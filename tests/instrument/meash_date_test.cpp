// A measurement's row date: the text made from the record's fields and its
// fixed-pattern parse, which refuses dates that do not exist.

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "instrument/meash_date.h"

namespace {

using korsi::DateTime;

Meash recordOf(int day, int month, int year, int hour, int min, int sec) {
  Meash m{};
  m.num = 1;
  m.day = static_cast<std::uint8_t>(day);
  m.month = static_cast<std::uint8_t>(month);
  m.year = static_cast<std::uint8_t>(year);
  m.hour = static_cast<std::uint8_t>(hour);
  m.min = static_cast<std::uint8_t>(min);
  m.sec = static_cast<std::uint8_t>(sec);
  return m;
}

DateTime at(int y, int mo, int d, int h, int mi, int s) { return DateTime{y, mo, d, h, mi, s}; }

struct RowDateCase {
  const char* name;
  Meash record;
  std::string text;
  std::optional<DateTime> date;  // nothing: refused
};

std::ostream& operator<<(std::ostream& out, const RowDateCase& c) { return out << c.name; }

class RowDate : public ::testing::TestWithParam<RowDateCase> {};

TEST_P(RowDate, TextAndParse) {
  const RowDateCase& c = GetParam();
  EXPECT_EQ(korsi::meashDateText(c.record), c.text);
  EXPECT_EQ(korsi::parseMeasurementDate(c.text), c.date);
  EXPECT_EQ(korsi::meashDate(c.record), c.date);
}

INSTANTIATE_TEST_SUITE_P(
    Records, RowDate,
    ::testing::Values(
        RowDateCase{"DocumentedMeasurement", recordOf(9, 3, 9, 14, 30, 5), "09.03.2009 14:30:05", at(2009, 3, 9, 14, 30, 5)},
        RowDateCase{"MorningHourPadded", recordOf(9, 3, 9, 6, 22, 5), "09.03.2009 06:22:05", at(2009, 3, 9, 6, 22, 5)},
        RowDateCase{"Midnight", recordOf(1, 1, 0, 0, 0, 0), "01.01.2000 00:00:00", at(2000, 1, 1, 0, 0, 0)},
        RowDateCase{"LastMomentOfTheCentury", recordOf(31, 12, 99, 23, 59, 59), "31.12.2099 23:59:59",
                    at(2099, 12, 31, 23, 59, 59)},
        RowDateCase{"LeapDay", recordOf(29, 2, 8, 12, 0, 0), "29.02.2008 12:00:00", at(2008, 2, 29, 12, 0, 0)},
        RowDateCase{"LeapDayOfACommonYear", recordOf(29, 2, 9, 12, 0, 0), "29.02.2009 12:00:00", std::nullopt},
        RowDateCase{"ThirtyFirstOfFebruary", recordOf(31, 2, 9, 12, 0, 0), "31.02.2009 12:00:00", std::nullopt},
        RowDateCase{"ThirtyFirstOfApril", recordOf(31, 4, 9, 12, 0, 0), "31.04.2009 12:00:00", std::nullopt},
        RowDateCase{"Year105PrintsAs20105", recordOf(9, 3, 105, 14, 30, 5), "09.03.20105 14:30:05", std::nullopt},
        RowDateCase{"Day100PrintsThreeDigits", recordOf(100, 3, 9, 14, 30, 5), "100.03.2009 14:30:05", std::nullopt},
        RowDateCase{"DayZero", recordOf(0, 3, 9, 14, 30, 5), "00.03.2009 14:30:05", std::nullopt},
        RowDateCase{"MonthZero", recordOf(9, 0, 9, 14, 30, 5), "09.00.2009 14:30:05", std::nullopt},
        RowDateCase{"Month13", recordOf(9, 13, 9, 14, 30, 5), "09.13.2009 14:30:05", std::nullopt},
        RowDateCase{"Hour24", recordOf(9, 3, 9, 24, 0, 0), "09.03.2009 24:00:00", std::nullopt},
        RowDateCase{"Minute60", recordOf(9, 3, 9, 14, 60, 5), "09.03.2009 14:60:05", std::nullopt},
        RowDateCase{"Second60", recordOf(9, 3, 9, 14, 30, 60), "09.03.2009 14:30:60", std::nullopt},
        RowDateCase{"AllFieldsAtMaximum", recordOf(255, 255, 255, 255, 255, 255), "255.255.20255 255:255:255",
                    std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RowDate, ParsedDateShowsAsTheGridDoes) {
  const auto date = korsi::meashDate(recordOf(9, 3, 9, 6, 22, 5));
  ASSERT_TRUE(date);
  EXPECT_EQ(korsi::shownText(*date), "09.03.2009 6:22:05");
}

}  // namespace
