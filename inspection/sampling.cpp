#include "inspection/sampling.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "inspection/thickness_units.h"

namespace korsi::inspection {

namespace {

// Each further 100 m² above the first 100 m², a part counting whole.
std::size_t hundredsAbove100(double squareMetres) {
  return static_cast<std::size_t>(std::ceil((squareMetres - 100.0) / 100.0));
}

}  // namespace

std::size_t isoReadingsRequired(double squareMetres) {
  static constexpr std::array<std::pair<double, std::size_t>, 5> kUpTo{
      {{1.0, 5}, {3.0, 10}, {10.0, 15}, {30.0, 20}, {100.0, 30}}};
  for (const auto& [bound, readings] : kUpTo) {
    if (squareMetres <= bound) return readings;
  }
  return 30 + 10 * hundredsAbove100(squareMetres);
}

std::size_t sspcAreasRequired(double squareMetres) {
  if (squareMetres < 30.0) return std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(squareMetres / 10.0)));
  if (squareMetres <= 100.0) return 3;
  return 3 + hundredsAbove100(squareMetres);
}

std::string surfaceText(double squareMetres) {
  std::string text = fixedText(squareMetres, 2);
  while (text.back() == '0') text.pop_back();
  if (text.back() == ',') text.pop_back();
  return text + " м²";
}

}  // namespace korsi::inspection
