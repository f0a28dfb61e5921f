// A measurement's row date: the text made from the record's fields, its
// fixed-pattern parse that refuses dates that do not exist, and the form in
// which dates are shown.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "instrument/meash_date.h"

namespace {

using namespace std::chrono;
using korsi::DateTime;
using korsi::MidnightTime;

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

DateTime at(int y, unsigned mo, unsigned d, int h, int mi, int s) {
  return local_days{year{y} / mo / d} + hours{h} + minutes{mi} + seconds{s};
}

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
  EXPECT_EQ(korsi::parseMeashDate(c.text), c.date);
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

// Texts of any other shape than DD.MM.YYYY HH:MM:SS are refused.
class OtherShapes : public ::testing::TestWithParam<const char*> {};

TEST_P(OtherShapes, AreRefused) { EXPECT_EQ(korsi::parseMeashDate(GetParam()), std::nullopt); }

INSTANTIATE_TEST_SUITE_P(Texts, OtherShapes,
                         ::testing::Values("", "09.03.2009", "9.03.2009 14:30:05", "09.03.2009 6:22:05",
                                           "09.03.2009 14:30:05 ", " 09.03.2009 14:30:05", "09/03/2009 14:30:05",
                                           "09.03.2009T14:30:05", "0a.03.2009 14:30:05", "09.03.-009 14:30:05",
                                           "09.03.2009 14:30:5x"));

struct ShownCase {
  const char* name;
  DateTime when;
  MidnightTime midnight;
  std::string text;
};

std::ostream& operator<<(std::ostream& out, const ShownCase& c) { return out << c.name; }

class ShownDate : public ::testing::TestWithParam<ShownCase> {};

TEST_P(ShownDate, HasTheFixedForm) {
  EXPECT_EQ(korsi::dateTimeText(GetParam().when, GetParam().midnight), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ShownDate,
    ::testing::Values(
        ShownCase{"HoursWithoutLeadingZero", at(2009, 3, 9, 6, 22, 5), MidnightTime::LeftOut, "09.03.2009 6:22:05"},
        ShownCase{"Afternoon", at(2009, 3, 9, 14, 30, 5), MidnightTime::LeftOut, "09.03.2009 14:30:05"},
        ShownCase{"MidnightLeftOutInTheGrid", at(2009, 3, 9, 0, 0, 0), MidnightTime::LeftOut, "09.03.2009"},
        ShownCase{"MidnightShownInTheLog", at(2009, 3, 9, 0, 0, 0), MidnightTime::Shown, "09.03.2009 0:00:00"},
        ShownCase{"OneSecondPastMidnightKeepsItsTime", at(2009, 3, 9, 0, 0, 1), MidnightTime::LeftOut,
                  "09.03.2009 0:00:01"},
        ShownCase{"LastSecondOfTheDay", at(2099, 12, 31, 23, 59, 59), MidnightTime::LeftOut, "31.12.2099 23:59:59"},
        ShownCase{"BeforeTheEpoch", at(1969, 12, 31, 23, 0, 0), MidnightTime::LeftOut, "31.12.1969 23:00:00"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RowDate, ParsedDateShowsAsTheGridDoes) {
  const auto date = korsi::meashDate(recordOf(9, 3, 9, 6, 22, 5));
  ASSERT_TRUE(date);
  EXPECT_EQ(korsi::dateTimeText(*date, MidnightTime::LeftOut), "09.03.2009 6:22:05");
}

}  // namespace
