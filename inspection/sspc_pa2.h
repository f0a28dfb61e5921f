#pragma once
// SSPC-PA 2: the gauge readings form spots of N consecutive readings (N at
// least 3, 3 by default); a spot measurement is the mean of its readings and
// the area measurement the mean of its spot measurements, 5 spots to an
// area. The restriction level sets how far a spot may lie from the required
// minimum and maximum; the area measurement lies between the minimum and the
// maximum themselves; single readings are not limited. With the surface,
// the areas must be as many as it needs (sampling.h): a set of readings is
// one area. Too few spots or areas is a verdict of its own, never a pass.
//
// Every limit is compared exactly in whole nanometres: a spot at 80 % of the
// minimum as 100 x (sum of its N readings) >= 80 x N x minimum.

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "inspection/thickness_units.h"

namespace korsi::inspection {

struct SspcLevel {
  int level = 0;
  int spotMinimumPercent = 0;                // of the required minimum
  std::optional<int> spotMaximumPercent;     // of the required maximum; none: no limit
};

// The restriction levels, as one table.
inline constexpr std::array<SspcLevel, 5> kSspcLevels{{
    {1, 100, 100},
    {2, 100, 120},
    {3, 80, 120},
    {4, 80, 150},
    {5, 80, std::nullopt},
}};
inline constexpr int kDefaultSspcLevel = 3;
inline constexpr std::size_t kDefaultSpotSize = 3;
inline constexpr std::size_t kSmallestSpotSize = 3;
// More readings to one spot is a typing error; the bound keeps the exact
// comparisons far inside 64 bits.
inline constexpr std::size_t kLargestSpotSize = 1000;
inline constexpr std::size_t kSpotsPerArea = 5;

// The level's row; nothing for a level the table does not hold.
std::optional<SspcLevel> sspcLevel(int level);

// What SSPC-PA 2 found in one area, beside the criteria.
struct SspcSpots {
  SspcLevel level;
  std::size_t spotSize = kDefaultSpotSize;
  std::vector<Nanometres> spotSums;  // the sum of each spot's readings
  std::size_t leftOver = 0;          // readings after the last whole spot, not judged
  double spotMinimum = 0.0;          // nanometres: the level's share of the minimum
  std::optional<double> spotMaximum; // nanometres; none without a maximum or at level 5
  double areaMean = 0.0;             // nanometres; 0 without a spot

  double spotMean(std::size_t spot) const {
    return static_cast<double>(spotSums[spot]) / static_cast<double>(spotSize);
  }
};

struct Verdict;
struct Entries;

// Fills the criteria, the spots, the sampling and the judgement of a verdict
// whose readings, statistics, NDFT (the required minimum) and maximum are
// set. The level and spot size are already checked.
void judgeSspcPa2(Verdict& verdict, const Entries& entries);

}  // namespace korsi::inspection
