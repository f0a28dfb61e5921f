#include "inspection/sampling.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace korsi::inspection {

namespace {

// Each further `step` above the first `first`, a part counting whole.
std::size_t stepsAbove(double surface, double first, double step) {
  return static_cast<std::size_t>(std::ceil((surface - first) / step));
}

// One for each `per` or part of it, at least one.
std::size_t onePer(double surface, double per) {
  return std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(surface / per)));
}

}  // namespace

std::size_t isoReadingsRequired(double squareMetres) {
  static constexpr std::array<std::pair<double, std::size_t>, 5> kUpTo{
      {{1.0, 5}, {3.0, 10}, {10.0, 15}, {30.0, 20}, {100.0, 30}}};
  for (const auto& [bound, readings] : kUpTo) {
    if (squareMetres <= bound) return readings;
  }
  return 30 + 10 * stepsAbove(squareMetres, 100.0, 100.0);
}

std::size_t pspcReadingsRequired(double squareMetres, SurfaceKind kind) {
  if (kind == SurfaceKind::Flat) return onePer(squareMetres, 5.0);
  // 5 per square metre, rounded up; the product is rounded first, so that
  // 0.6 m² asks for 3 and not for 4.
  const double readings = std::ceil(std::round(squareMetres * 5.0 * 1e9) / 1e9);
  return std::max<std::size_t>(3, static_cast<std::size_t>(readings));
}

std::size_t sspcAreasRequired(const Surface& surface) {
  // The US table is the SI one in tenfold units, with the additional areas
  // counted per 1,000 ft² instead of 100 m².
  const bool us = surface.unit == SurfaceUnit::SquareFoot;
  const double small = us ? 300.0 : 30.0;
  const double large = us ? 1000.0 : 100.0;
  const double s = surface.value;
  if (s <= small) return onePer(s, small / 3.0);
  if (s <= large) return 3;
  return 3 + stepsAbove(s, large, large);
}

}  // namespace korsi::inspection
