#include "inspection/surface.h"

#include "inspection/thickness_units.h"

namespace korsi::inspection {

double squareMetres(const Surface& surface) {
  return surface.unit == SurfaceUnit::SquareFoot ? surface.value * kSquareMetresPerSquareFoot : surface.value;
}

const char* surfaceUnitName(SurfaceUnit unit) { return unit == SurfaceUnit::SquareFoot ? "фут²" : "м²"; }

std::string surfaceText(const Surface& surface) {
  std::string text = fixedText(surface.value, 2);
  while (text.back() == '0') text.pop_back();
  if (text.back() == ',') text.pop_back();
  return text + " " + surfaceUnitName(surface.unit);
}

const char* surfaceKindName(SurfaceKind kind) { return kind == SurfaceKind::Complex ? "сложная" : "ровная"; }

}  // namespace korsi::inspection
