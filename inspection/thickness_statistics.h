#pragma once
// Statistics of a set of coating thicknesses (whole nanometres): count, mean,
// extremes, sample standard deviation, coefficient of variation, and the bins
// of a histogram whose edges are round numbers in the user's unit.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "inspection/thickness_units.h"

namespace korsi::inspection {

struct Statistics {
  std::size_t count = 0;
  Nanometres sum = 0;  // exact, so the mean compares exactly with a limit
  double mean = 0.0;   // nanometres
  Nanometres minimum = 0;
  Nanometres maximum = 0;
  // Sample standard deviation (n - 1); nothing for a single reading.
  std::optional<double> standardDeviation;
  // Standard deviation over mean, in per cent; nothing without a standard
  // deviation or when the mean is not above zero.
  std::optional<double> coefficientOfVariation;
};

// Statistics of a non-empty set; an empty set gives count 0 and nothing else.
Statistics describe(std::span<const Nanometres> readings);

// The mean, the extremes and the standard deviation as one text shows them:
// at one precision (SharedPrecision) beside the rule's limits, so that none
// reads as a limit it is not on; without the unit's name. The standard
// deviation is empty when there is none.
struct StatisticsTexts {
  std::string mean;
  std::string minimum;
  std::string maximum;
  std::string standardDeviation;
};
StatisticsTexts statisticsTexts(const Statistics& statistics, Unit unit, std::span<const double> limits = {});

struct HistogramBin {
  Nanometres lower = 0;  // included
  Nanometres upper = 0;  // excluded
  std::size_t count = 0;
};

// Equal bins from a round lower edge up past the largest reading, each bin a
// round width in `unit` (1, 2 or 5 times a power of ten, from 0.1 µm or
// 0.01 mil), the narrowest that needs at most `maxBins` bins. Empty for an
// empty set; one bin when all readings are equal.
std::vector<HistogramBin> histogram(std::span<const Nanometres> readings, Unit unit, std::size_t maxBins = 20);

// 1, 2 or 5 times a power of ten, at least `raw`: the step of an axis
// (1 for a step that is not above zero).
double roundStep(double raw);

// A bin limit that suits `count` readings: twice its square root, from 10 to
// 40, so a few far readings do not squeeze the rest into one or two bins.
std::size_t suggestedBinCount(std::size_t count);

}  // namespace korsi::inspection
