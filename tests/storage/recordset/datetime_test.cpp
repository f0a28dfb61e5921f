#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "storage/recordset/date_time.h"

namespace {

using korsi::DateTime;

TEST(MeasurementDate, TextFromTheGaugeFields) {
  EXPECT_EQ(korsi::measurementDateText(5, 3, 9, 14, 7, 9), "05.03.2009 14:07:09");
  EXPECT_EQ(korsi::measurementDateText(9, 3, 9, 14, 30, 5), "09.03.2009 14:30:05");
  EXPECT_EQ(korsi::measurementDateText(1, 1, 0, 0, 0, 0), "01.01.2000 00:00:00");
  EXPECT_EQ(korsi::measurementDateText(31, 12, 99, 23, 59, 59), "31.12.2099 23:59:59");
  // Three digits where a field is 100 or more.
  EXPECT_EQ(korsi::measurementDateText(5, 3, 105, 14, 7, 9), "05.03.20105 14:07:09");
}

struct ParseCase {
  const char* text;
  std::optional<DateTime> expected;
};

class MeasurementDateParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(MeasurementDateParse, ReadsOnlyRealDatesInTheFixedPattern) {
  EXPECT_EQ(korsi::parseMeasurementDate(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MeasurementDateParse,
    ::testing::Values(ParseCase{"05.03.2009 14:07:09", DateTime{2009, 3, 5, 14, 7, 9}},
                      ParseCase{"09.03.2009 00:00:00", DateTime{2009, 3, 9, 0, 0, 0}},
                      ParseCase{"29.02.2008 23:59:59", DateTime{2008, 2, 29, 23, 59, 59}},
                      ParseCase{"31.12.2099 12:00:00", DateTime{2099, 12, 31, 12, 0, 0}},
                      ParseCase{"05.03.20105 14:07:09", std::nullopt},  // year 105 from the gauge
                      ParseCase{"31.02.2009 10:00:00", std::nullopt},
                      ParseCase{"29.02.2009 10:00:00", std::nullopt},
                      ParseCase{"31.04.2009 10:00:00", std::nullopt},
                      ParseCase{"00.03.2009 10:00:00", std::nullopt},
                      ParseCase{"05.13.2009 10:00:00", std::nullopt},
                      ParseCase{"05.03.2009 24:00:00", std::nullopt},
                      ParseCase{"05.03.2009 10:60:00", std::nullopt},
                      ParseCase{"05.03.2009 10:00:60", std::nullopt},
                      ParseCase{"5.3.2009 10:00:00", std::nullopt},
                      ParseCase{"05.03.2009", std::nullopt},
                      ParseCase{"05.03.2009 10:00:00 ", std::nullopt},
                      ParseCase{" 05.03.2009 10:00:00", std::nullopt},
                      ParseCase{"05.03.2009 6:22:05", std::nullopt},
                      ParseCase{"05/03/2009 10:00:00", std::nullopt},
                      ParseCase{"05.03.2009T10:00:00", std::nullopt},
                      ParseCase{"0a.03.2009 10:00:00", std::nullopt},
                      ParseCase{"05.03.-009 10:00:00", std::nullopt},
                      ParseCase{"05.03.2009 10:00:0x", std::nullopt},
                      ParseCase{"", std::nullopt}));

TEST(ShownDate, HoursWithoutLeadingZeroAndNoTimeAtMidnight) {
  EXPECT_EQ(korsi::shownText(DateTime{2009, 3, 9, 6, 22, 5}), "09.03.2009 6:22:05");
  EXPECT_EQ(korsi::shownText(DateTime{2009, 3, 9, 14, 30, 5}), "09.03.2009 14:30:05");
  EXPECT_EQ(korsi::shownText(DateTime{2009, 3, 9, 0, 0, 1}), "09.03.2009 0:00:01");
  EXPECT_EQ(korsi::shownText(DateTime{2009, 3, 9, 0, 0, 0}), "09.03.2009");
}

class ShownDateParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ShownDateParse, ReadsBackWhatTheGridShows) {
  EXPECT_EQ(korsi::parseShownText(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShownDateParse,
    ::testing::Values(ParseCase{"09.03.2009 6:22:05", DateTime{2009, 3, 9, 6, 22, 5}},
                      ParseCase{"09.03.2009 06:22:05", DateTime{2009, 3, 9, 6, 22, 5}},
                      ParseCase{"09.03.2009 14:30:05", DateTime{2009, 3, 9, 14, 30, 5}},
                      ParseCase{"09.03.2009", DateTime{2009, 3, 9, 0, 0, 0}},
                      ParseCase{" 29.02.2008 23:59:59 ", DateTime{2008, 2, 29, 23, 59, 59}},
                      ParseCase{"31.02.2009", std::nullopt},
                      ParseCase{"31.02.2009 10:00:00", std::nullopt},
                      ParseCase{"09.03.20105", std::nullopt},
                      ParseCase{"09.03.20105 6:22:05", std::nullopt},
                      ParseCase{"9.3.2009", std::nullopt},
                      ParseCase{"09.03.09", std::nullopt},
                      ParseCase{"2009-03-09", std::nullopt},
                      ParseCase{"09.03.2009 6:22", std::nullopt},
                      ParseCase{"09.03.2009 6:2:05", std::nullopt},
                      ParseCase{"09.03.2009 24:00:00", std::nullopt},
                      ParseCase{"09.03.2009 123:00:00", std::nullopt},
                      ParseCase{"09.03.2009  6:22:05", std::nullopt},
                      ParseCase{"09.03.2009T6:22:05", std::nullopt},
                      ParseCase{"09.03.2009 -6:22:05", std::nullopt},
                      ParseCase{"", std::nullopt}));

// Whatever the grid shows reads back as the same date.
TEST(ShownDateParse, RoundTripsTheShownForm) {
  for (const DateTime& t : {DateTime{2009, 3, 9, 6, 22, 5}, DateTime{2009, 3, 9, 0, 0, 0}, DateTime{1, 1, 1, 0, 0, 1},
                            DateTime{9999, 12, 31, 23, 59, 59}}) {
    EXPECT_EQ(korsi::parseShownText(korsi::shownText(t)), t) << korsi::shownText(t);
  }
}

struct OleCase {
  double value;
  DateTime date;
};

class OleDate : public ::testing::TestWithParam<OleCase> {};

TEST_P(OleDate, ConvertsBothWays) {
  const auto [value, date] = GetParam();
  EXPECT_EQ(korsi::fromOleDate(value), date) << value;
  EXPECT_DOUBLE_EQ(korsi::toOleDate(date), value);
}

INSTANTIATE_TEST_SUITE_P(Cases, OleDate,
                         ::testing::Values(OleCase{0.0, {1899, 12, 30, 0, 0, 0}},
                                           OleCase{2.5, {1900, 1, 1, 12, 0, 0}},
                                           OleCase{-1.25, {1899, 12, 29, 6, 0, 0}},
                                           OleCase{39881.0, {2009, 3, 9, 0, 0, 0}},
                                           OleCase{39881.0 + 52205.0 / 86400.0, {2009, 3, 9, 14, 30, 5}},
                                           OleCase{2958465.0 + 86399.0 / 86400.0, {9999, 12, 31, 23, 59, 59}},
                                           OleCase{-657434.0, {100, 1, 1, 0, 0, 0}},
                                           OleCase{-657435.0, {99, 12, 31, 0, 0, 0}},
                                           OleCase{-693593.5, {1, 1, 1, 12, 0, 0}}));

TEST(OleDateRounding, NearestSecondCarriesIntoTheNextDay) {
  // 23:59:59.9 rounds up to midnight of the following day.
  EXPECT_EQ(korsi::fromOleDate(39881.0 + 86399.9 / 86400.0), (DateTime{2009, 3, 10, 0, 0, 0}));
  EXPECT_EQ(korsi::fromOleDate(39881.0 + 0.4 / 86400.0), (DateTime{2009, 3, 9, 0, 0, 0}));
  // Before the epoch the time still counts forward from the whole day; on
  // the epoch's own day -0.5 and 0.5 are the same time.
  EXPECT_EQ(korsi::fromOleDate(-0.5), (DateTime{1899, 12, 30, 12, 0, 0}));
  EXPECT_EQ(korsi::fromOleDate(-1.0 - 86399.9 / 86400.0), (DateTime{1899, 12, 30, 0, 0, 0}));
}

TEST(OleDateRounding, ValuesOutsideTheCalendarAreRefused) {
  EXPECT_EQ(korsi::fromOleDate(std::nan("")), std::nullopt);
  EXPECT_EQ(korsi::fromOleDate(INFINITY), std::nullopt);
  EXPECT_EQ(korsi::fromOleDate(2958466.0), std::nullopt);
  EXPECT_EQ(korsi::fromOleDate(-693594.0), std::nullopt);  // the day before 0001-01-01
  EXPECT_EQ(korsi::fromOleDate(1e300), std::nullopt);
}

TEST(IsoDate, ReadsTheFormsOfXmlFilesAndTheDatabase) {
  EXPECT_EQ(korsi::parseIsoText("2009-03-09T14:30:05"), (DateTime{2009, 3, 9, 14, 30, 5}));
  EXPECT_EQ(korsi::parseIsoText("2009-03-09 14:30:05"), (DateTime{2009, 3, 9, 14, 30, 5}));
  EXPECT_EQ(korsi::parseIsoText("2009-03-09"), (DateTime{2009, 3, 9, 0, 0, 0}));
  EXPECT_EQ(korsi::parseIsoText("2009-03-09T14:30:05.4"), (DateTime{2009, 3, 9, 14, 30, 5}));
  EXPECT_EQ(korsi::parseIsoText("2009-12-31T23:59:59.5"), (DateTime{2010, 1, 1, 0, 0, 0}));
  EXPECT_EQ(korsi::parseIsoText("2009-03-09T14:30:05Z"), (DateTime{2009, 3, 9, 14, 30, 5}));
  EXPECT_EQ(korsi::parseIsoText("2009-03-09T14:30:05+03:00"), (DateTime{2009, 3, 9, 14, 30, 5}));
  EXPECT_EQ(korsi::isoText(DateTime{2009, 3, 9, 4, 3, 5}, 'T'), "2009-03-09T04:03:05");
  for (const char* bad : {"2009-02-30T00:00:00", "2009-03-09T14:30", "09.03.2009", "2009-03-09T14:30:05x",
                          "2009-03-09T14:30:05.", "", "9999-12-31T23:59:59.9"}) {
    EXPECT_EQ(korsi::parseIsoText(bad), std::nullopt) << bad;
  }
}

}  // namespace
