// Statistics and histogram bins of thickness sets, and how thicknesses are
// read from millimetres and shown in micrometres and mils.

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "inspection/thickness_statistics.h"
#include "inspection/thickness_units.h"

namespace {

using korsi::inspection::HistogramBin;
using korsi::inspection::Nanometres;
using korsi::inspection::Unit;

std::vector<Nanometres> micrometres(std::initializer_list<int> values) {
  std::vector<Nanometres> out;
  for (int v : values) out.push_back(Nanometres{v} * 1000);
  return out;
}

TEST(Statistics, HandComputedSet) {
  // 2 4 4 4 5 5 7 9 µm: mean 5, squares about the mean 32, sample variance 32/7.
  const auto s = korsi::inspection::describe(micrometres({2, 4, 4, 4, 5, 5, 7, 9}));
  EXPECT_EQ(s.count, 8u);
  EXPECT_EQ(s.sum, 40000);
  EXPECT_DOUBLE_EQ(s.mean, 5000.0);
  EXPECT_EQ(s.minimum, 2000);
  EXPECT_EQ(s.maximum, 9000);
  ASSERT_TRUE(s.standardDeviation);
  EXPECT_NEAR(*s.standardDeviation, 1000.0 * std::sqrt(32.0 / 7.0), 1e-9);
  ASSERT_TRUE(s.coefficientOfVariation);
  EXPECT_NEAR(*s.coefficientOfVariation, 100.0 * std::sqrt(32.0 / 7.0) / 5.0, 1e-12);
}

TEST(Statistics, OneReadingHasNoDeviation) {
  const auto s = korsi::inspection::describe(micrometres({120}));
  EXPECT_EQ(s.count, 1u);
  EXPECT_DOUBLE_EQ(s.mean, 120000.0);
  EXPECT_FALSE(s.standardDeviation);
  EXPECT_FALSE(s.coefficientOfVariation);
}

TEST(Statistics, NoCoefficientOfVariationWithoutAPositiveMean) {
  // After a roughness correction readings can reach zero or below.
  const auto s = korsi::inspection::describe(micrometres({-5, 5}));
  EXPECT_TRUE(s.standardDeviation);
  EXPECT_FALSE(s.coefficientOfVariation);
}

// Every reading falls in the one bin whose edges hold it; the bins are of one
// round width and start on a multiple of it.
void expectSoundBins(const std::vector<Nanometres>& readings, const std::vector<HistogramBin>& bins,
                     Nanometres width, std::size_t maxBins) {
  ASSERT_FALSE(bins.empty());
  EXPECT_LE(bins.size(), maxBins);
  EXPECT_EQ(bins.front().lower % width, 0);
  for (std::size_t i = 0; i < bins.size(); ++i) {
    EXPECT_EQ(bins[i].upper - bins[i].lower, width);
    if (i > 0) {
      EXPECT_EQ(bins[i].lower, bins[i - 1].upper);
    }
  }
  std::size_t total = 0;
  for (const HistogramBin& b : bins) {
    const auto inside = std::count_if(readings.begin(), readings.end(),
                                      [&](Nanometres r) { return r >= b.lower && r < b.upper; });
    EXPECT_EQ(b.count, static_cast<std::size_t>(inside)) << b.lower;
    total += b.count;
  }
  EXPECT_EQ(total, readings.size());
}

TEST(Histogram, MicrometreBinsOfRoundWidth) {
  // 96 to 144 µm in at most 10 bins: 5 µm is the narrowest round width (10 bins from 95).
  const auto readings = micrometres({96, 100, 104, 110, 120, 120, 121, 139, 144});
  const auto bins = korsi::inspection::histogram(readings, Unit::Micrometre, 10);
  expectSoundBins(readings, bins, 5000, 10);
  EXPECT_EQ(bins.front().lower, 95000);
  EXPECT_EQ(bins.size(), 10u);
}

TEST(Histogram, MilBinsOfRoundWidth) {
  // 4 to 6 mils in at most 5 bins: 0.5 mil (12,700 nm) bins from 4 mils.
  const std::vector<Nanometres> readings{101600, 110000, 127000, 140000, 152400};
  const auto bins = korsi::inspection::histogram(readings, Unit::Mil, 5);
  expectSoundBins(readings, bins, 12700, 5);
  EXPECT_EQ(bins.front().lower, 101600);
}

TEST(Histogram, EqualReadingsOneBin) {
  const auto readings = micrometres({120, 120, 120});
  const auto bins = korsi::inspection::histogram(readings, Unit::Micrometre);
  ASSERT_EQ(bins.size(), 1u);
  EXPECT_EQ(bins[0].count, 3u);
  EXPECT_LE(bins[0].lower, 120000);
  EXPECT_GT(bins[0].upper, 120000);
}

TEST(Histogram, ReadingsBelowZeroAfterCorrection) {
  const auto readings = micrometres({-15, -1, 0, 7});
  const auto bins = korsi::inspection::histogram(readings, Unit::Micrometre, 5);
  expectSoundBins(readings, bins, 5000, 5);
  EXPECT_EQ(bins.front().lower, -15000);
}

TEST(Histogram, WideSpreadManyReadings) {
  std::vector<Nanometres> readings(65535);
  std::iota(readings.begin(), readings.end(), Nanometres{0});
  for (auto& r : readings) r = r * 37 % 2000000;  // 0 to 2 mm
  const auto bins = korsi::inspection::histogram(readings, Unit::Micrometre, 20);
  expectSoundBins(readings, bins, 100000, 20);
}

TEST(Units, MillimetresToNanometres) {
  EXPECT_EQ(korsi::inspection::nanometresFromMm(0.096), 96000);
  EXPECT_EQ(korsi::inspection::nanometresFromMm(static_cast<double>(0.12f)), 120000);  // a gauge's float widened
  EXPECT_EQ(korsi::inspection::nanometresFromMm(-0.004), -4000);
  EXPECT_FALSE(korsi::inspection::nanometresFromMm(NAN));
  EXPECT_FALSE(korsi::inspection::nanometresFromMm(INFINITY));
  EXPECT_FALSE(korsi::inspection::nanometresFromMm(1000.001));
  EXPECT_EQ(korsi::inspection::nanometresFrom(4.7, Unit::Mil), 119380);
  EXPECT_EQ(korsi::inspection::nanometresFrom(120.5, Unit::Micrometre), 120500);
}

TEST(Units, TextsWithADecimalComma) {
  using korsi::inspection::exactText;
  using korsi::inspection::roundedText;
  EXPECT_EQ(exactText(96000, Unit::Micrometre), "96,0");
  EXPECT_EQ(exactText(95960, Unit::Micrometre), "95,96");
  EXPECT_EQ(exactText(96000.00000000001, Unit::Micrometre), "96,0");
  EXPECT_EQ(exactText(127000, Unit::Mil), "5,0");
  EXPECT_EQ(exactText(119380, Unit::Mil), "4,7");
  EXPECT_EQ(exactText(-4000, Unit::Micrometre), "-4,0");
  EXPECT_EQ(roundedText(128425, Unit::Micrometre), "128,4");
  EXPECT_EQ(roundedText(127000, Unit::Mil), "5,00");
  EXPECT_EQ(roundedText(-10, Unit::Micrometre), "0,0");
}

}  // namespace
