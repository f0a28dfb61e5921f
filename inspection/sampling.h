#pragma once
// How many measurements a surface needs: the readings of one area by
// ISO 19840 and by IMO PSPC, the areas of a surface by SSPC-PA 2. A surface
// is above zero; a bound ("up to 10 m²") includes its own value.

#include <cstddef>
#include <string>

#include "inspection/surface.h"

namespace korsi::inspection {

// Up to 1 m²: 5; up to 3 m²: 10; up to 10 m²: 15; up to 30 m²: 20; up to
// 100 m²: 30; above that 10 more for each further 100 m² or part of it.
std::size_t isoReadingsRequired(double squareMetres);

// IMO PSPC: on a flat surface one reading for each 5 m² or part of it (at
// least one); on a complex one 5 readings for each square metre, rounded up,
// and at least 3. (The sets along stiffeners and primary members, every 2 to
// 3 m, depend on their length, which the job does not hold.)
std::size_t pspcReadingsRequired(double squareMetres, SurfaceKind kind);

// SSPC-PA 2, in the surface's own units. SI: under 30 m² one area for each
// 10 m² or part of it; 30 to 100 m² three; above 100 m² three for the first
// 100 m² and one more for each further 100 m² or part of it. US: up to
// 300 ft² one area for each 100 ft² or part of it; above 300 ft² up to
// 1,000 ft² three; above 1,000 ft² three for the first 1,000 ft² and one
// more for each further 1,000 ft² or part of it.
std::size_t sspcAreasRequired(const Surface& surface);

}  // namespace korsi::inspection
