#pragma once
// The surface an area covers, as the inspector gives it: in square metres,
// or in square feet in a job measured in mils. SSPC-PA 2 counts its areas in
// the surface's own system, as the standard uses SI and US units side by
// side and never converts one into the other; ISO 19840 and IMO PSPC know
// square metres only and take square feet converted. IMO PSPC also asks
// what kind of surface it is: flat, or complex (brackets, cut-outs, the
// parts around stiffeners).

#include <optional>
#include <string>

namespace korsi::inspection {

enum class SurfaceUnit { SquareMetre, SquareFoot };
enum class SurfaceKind { Flat, Complex };

// Exactly, by the definition of the foot.
inline constexpr double kSquareMetresPerSquareFoot = 0.09290304;

struct Surface {
  double value = 0.0;
  SurfaceUnit unit = SurfaceUnit::SquareMetre;

  friend bool operator==(const Surface&, const Surface&) = default;
};

inline Surface squareMetresSurface(double value) { return {value, SurfaceUnit::SquareMetre}; }
inline Surface squareFeetSurface(double value) { return {value, SurfaceUnit::SquareFoot}; }

double squareMetres(const Surface& surface);

// "м²" or "фут²".
const char* surfaceUnitName(SurfaceUnit unit);
// "12 м²", "2,5 м²", "1050 фут²": the value as given, up to two decimals.
std::string surfaceText(const Surface& surface);
// "ровная" or "сложная".
const char* surfaceKindName(SurfaceKind kind);

}  // namespace korsi::inspection
