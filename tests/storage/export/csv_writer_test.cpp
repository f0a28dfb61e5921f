// The CSV text of archive rows.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "storage/export/csv_writer.h"

namespace {

using namespace korsi::csv;
using korsi::ArchiveRow;
using korsi::DateTime;

TEST(CsvText, HeaderThenOneLinePerRowWithIsoDatesAndADecimalPoint) {
  ArchiveRow gauge{5, DateTime{2009, 3, 9, 6, 22, 5}, static_cast<double>(0.215f), std::nullopt};
  ArchiveRow empty{};
  EXPECT_EQ(csvText({gauge, empty}),
            "num,date,thickness_mm,note\n"
            "5,2009-03-09T06:22:05,0.215,\n"
            ",,,\n");
  EXPECT_EQ(csvText({}), "num,date,thickness_mm,note\n");
}

struct FieldCase {
  const char* text;
  const char* field;
};

class CsvField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(CsvField, IsQuotedOnlyWhenItMustBe) { EXPECT_EQ(csvField(GetParam().text), GetParam().field); }

INSTANTIATE_TEST_SUITE_P(
    Rfc4180, CsvField,
    ::testing::Values(FieldCase{"", ""}, FieldCase{"плёнка 2", "плёнка 2"}, FieldCase{"a,b", "\"a,b\""},
                      FieldCase{"say \"hi\"", "\"say \"\"hi\"\"\""}, FieldCase{"two\nlines", "\"two\nlines\""},
                      FieldCase{"cr\r", "\"cr\r\""}, FieldCase{" padded ", " padded "}));

TEST(CsvText, NoteWithCommaAndQuoteIsOneField) {
  ArchiveRow row{1, DateTime{2009, 3, 9, 0, 0, 0}, 1.0, std::string("шов, \"правый\"")};
  EXPECT_EQ(csvText({row}), "num,date,thickness_mm,note\n1,2009-03-09T00:00:00,1,\"шов, \"\"правый\"\"\"\n");
}

struct ThicknessCase {
  double h;
  const char* text;
};

class Thickness : public ::testing::TestWithParam<ThicknessCase> {};

TEST_P(Thickness, IsTheShortestTextOfTheValue) { EXPECT_EQ(thicknessText(GetParam().h), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Values, Thickness,
    ::testing::Values(ThicknessCase{static_cast<double>(0.215f), "0.215"},  // the gauge's float, widened
                      ThicknessCase{static_cast<double>(5.0f), "5"}, ThicknessCase{0.0, "0"},
                      ThicknessCase{0.1, "0.1"},                             // a double that no float equals
                      ThicknessCase{0.123456789, "0.123456789"},
                      ThicknessCase{std::numeric_limits<double>::quiet_NaN(), "nan"},
                      ThicknessCase{-std::numeric_limits<double>::infinity(), "-inf"}));

}  // namespace
