// The simulated gauge's archive: generated from a seed, or read from CSV.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "instrument/meash_date.h"
#include "tests/support/tempdir.h"
#include "simulator/gauge_archive.h"

namespace {

using korsi::sim::generateArchive;
using korsi::sim::readArchiveCsv;

bool sameRecords(const std::vector<Meash>& a, const std::vector<Meash>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (korsi::meashDateText(a[i]) != korsi::meashDateText(b[i]) || a[i].num != b[i].num || a[i].h != b[i].h) {
      return false;
    }
  }
  return true;
}

TEST(GeneratedArchive, SameSeedSameArchive) {
  EXPECT_TRUE(sameRecords(generateArchive(200, 42), generateArchive(200, 42)));
  EXPECT_FALSE(sameRecords(generateArchive(200, 42), generateArchive(200, 43)));
  EXPECT_TRUE(generateArchive(0, 42).empty());
}

// Whatever the size: numbered 1..N, real dates rising within 2000-2099,
// thicknesses 0.000-5.000 with three decimals.
class GeneratedArchiveSize : public ::testing::TestWithParam<std::size_t> {};

TEST_P(GeneratedArchiveSize, IsRealistic) {
  const auto archive = generateArchive(GetParam(), 9);
  ASSERT_EQ(archive.size(), GetParam());
  std::optional<korsi::DateTime> previous;
  for (std::size_t i = 0; i < archive.size(); ++i) {
    const Meash& m = archive[i];
    ASSERT_EQ(m.num, i + 1);
    const auto date = korsi::meashDate(m);
    ASSERT_TRUE(date) << korsi::meashDateText(m);
    ASSERT_LE(m.year, 99);
    if (previous) {
      ASSERT_GT(korsi::toSerialSeconds(*date), korsi::toSerialSeconds(*previous)) << i;
    }
    previous = date;
    ASSERT_GE(m.h, 0.0f);
    ASSERT_LE(m.h, 5.0f);
    const double thousandths = static_cast<double>(m.h) * 1000.0;
    ASSERT_NEAR(thousandths, std::round(thousandths), 1e-3) << m.h;
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, GeneratedArchiveSize, ::testing::Values(1u, 500u, 65535u));

TEST(GeneratedArchive, SpansDaysAndMonths) {
  const auto archive = generateArchive(300, 5);
  EXPECT_NE(archive.front().month + 12 * archive.front().year, archive.back().month + 12 * archive.back().year);
}

TEST(CsvArchive, ReadsRecordsAsWritten) {
  std::istringstream in(
      "num;date;h\n"
      "# a comment\n"
      "1;09.03.2009 14:30:05;1.000\n"
      "\n"
      "7; 9.3.2009 6:02:05 ; 0,215\n"
      "3;31.02.2009;nan\r\n");
  std::string error;
  const auto archive = readArchiveCsv(in, &error);
  ASSERT_TRUE(archive) << error;
  ASSERT_EQ(archive->size(), 3u);
  EXPECT_EQ((*archive)[0].num, 1);
  EXPECT_EQ(korsi::meashDateText((*archive)[0]), "09.03.2009 14:30:05");
  EXPECT_EQ((*archive)[0].h, 1.0f);
  // Measurement 2 of the archive carries the number written, 7.
  EXPECT_EQ((*archive)[1].num, 7);
  EXPECT_EQ(korsi::meashDateText((*archive)[1]), "09.03.2009 06:02:05");
  EXPECT_EQ((*archive)[1].h, 0.215f);
  // An impossible date is kept, so that it can be served on purpose.
  EXPECT_EQ(korsi::meashDateText((*archive)[2]), "31.02.2009 00:00:00");
  EXPECT_TRUE(std::isnan((*archive)[2].h));
}

struct BadCsvCase {
  const char* name;
  const char* text;
  const char* error;
};

std::ostream& operator<<(std::ostream& out, const BadCsvCase& c) { return out << c.name; }

class BadCsv : public ::testing::TestWithParam<BadCsvCase> {};

TEST_P(BadCsv, IsRefusedNamingTheLine) {
  std::istringstream in(GetParam().text);
  std::string error;
  EXPECT_FALSE(readArchiveCsv(in, &error));
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadCsv,
    ::testing::Values(BadCsvCase{"TwoFields", "1;09.03.2009 14:30:05\n", "line 1: expected three fields num;date;h"},
                      BadCsvCase{"FourFields", "1;09.03.2009;1.0;x\n", "line 1: expected three fields num;date;h"},
                      BadCsvCase{"NumberTooLarge", "1;09.03.2009;1.0\n65536;09.03.2009;1.0\n",
                                 "line 2: number is not 0..65535"},
                      BadCsvCase{"YearBefore2000", "1;09.03.1999;1.0\n",
                                 "line 1: date is not D.M.YYYY [H:M:S] with a year from 2000 to 2255"},
                      BadCsvCase{"FieldAboveAByte", "1;09.03.2009 256:00:00;1.0\n",
                                 "line 1: date is not D.M.YYYY [H:M:S] with a year from 2000 to 2255"},
                      BadCsvCase{"HalfATime", "1;09.03.2009 14:30;1.0\n",
                                 "line 1: date is not D.M.YYYY [H:M:S] with a year from 2000 to 2255"},
                      BadCsvCase{"ThicknessNotANumber", "# x\n1;09.03.2009;1.0mm\n", "line 2: thickness is not a number"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CsvArchive, MissingFileIsReported) {
  korsi::test::TempDir dir;
  std::string error;
  EXPECT_FALSE(korsi::sim::loadArchiveCsv(dir.file("none.csv"), &error));
  EXPECT_EQ(error, "cannot open " + dir.file("none.csv"));
}

}  // namespace
