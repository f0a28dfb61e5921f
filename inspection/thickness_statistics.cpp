#include "inspection/thickness_statistics.h"

#include <algorithm>
#include <cmath>

namespace korsi::inspection {

namespace {

// Floor division for edges below zero (readings after a roughness correction).
Nanometres floorDiv(Nanometres a, Nanometres b) {
  const Nanometres q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

Statistics describe(std::span<const Nanometres> readings) {
  Statistics s;
  s.count = readings.size();
  if (readings.empty()) return s;
  const auto [lo, hi] = std::minmax_element(readings.begin(), readings.end());
  s.minimum = *lo;
  s.maximum = *hi;
  for (Nanometres r : readings) s.sum += r;
  s.mean = static_cast<double>(s.sum) / static_cast<double>(s.count);
  if (s.count > 1) {
    double squares = 0.0;
    for (Nanometres r : readings) {
      const double d = static_cast<double>(r) - s.mean;
      squares += d * d;
    }
    s.standardDeviation = std::sqrt(squares / static_cast<double>(s.count - 1));
    if (s.mean > 0.0) s.coefficientOfVariation = *s.standardDeviation / s.mean * 100.0;
  }
  return s;
}

std::size_t suggestedBinCount(std::size_t count) {
  const auto bins = static_cast<std::size_t>(std::ceil(2.0 * std::sqrt(static_cast<double>(count))));
  return std::clamp<std::size_t>(bins, 10, 40);
}

std::vector<HistogramBin> histogram(std::span<const Nanometres> readings, Unit unit, std::size_t maxBins) {
  if (readings.empty()) return {};
  maxBins = std::max<std::size_t>(maxBins, 1);
  const auto [lo, hi] = std::minmax_element(readings.begin(), readings.end());
  // The smallest round width: 0.1 µm or 0.01 mil.
  Nanometres decade = unit == Unit::Mil ? kNanometresPerMil / 100 : kNanometresPerMicrometre / 10;
  Nanometres width = decade;
  Nanometres lower = 0;
  std::size_t bins = 0;
  for (;;) {
    for (const Nanometres factor : {1, 2, 5}) {
      width = decade * factor;
      lower = floorDiv(*lo, width) * width;
      bins = static_cast<std::size_t>(floorDiv(*hi - lower, width)) + 1;
      if (bins <= maxBins) break;
    }
    if (bins <= maxBins) break;
    decade *= 10;
  }
  std::vector<HistogramBin> out(bins);
  for (std::size_t i = 0; i < bins; ++i) {
    out[i].lower = lower + static_cast<Nanometres>(i) * width;
    out[i].upper = out[i].lower + width;
  }
  for (Nanometres r : readings) ++out[static_cast<std::size_t>((r - lower) / width)].count;
  return out;
}

double roundStep(double raw) {
  if (!(raw > 0.0)) return 1.0;
  const double decade = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double factor : {1.0, 2.0, 5.0}) {
    if (decade * factor >= raw) return decade * factor;
  }
  return decade * 10.0;
}

StatisticsTexts statisticsTexts(const Statistics& s, Unit unit, std::span<const double> limits) {
  const double figures[] = {s.mean, static_cast<double>(s.minimum), static_cast<double>(s.maximum)};
  const SharedPrecision shown(unit, limits, figures);
  StatisticsTexts out{shown(figures[0]), shown(figures[1]), shown(figures[2]), {}};
  if (s.standardDeviation) out.standardDeviation = fixedText(inUnit(*s.standardDeviation, unit), shown.decimals());
  return out;
}

}  // namespace korsi::inspection
