#pragma once
// How many measurements a surface needs: the readings of one area by
// ISO 19840, the areas of a surface by SSPC-PA 2. A surface is in square
// metres, above zero; a bound ("up to 10 m²") includes its own value.

#include <cstddef>
#include <string>

namespace korsi::inspection {

// Up to 1 m²: 5; up to 3 m²: 10; up to 10 m²: 15; up to 30 m²: 20; up to
// 100 m²: 30; above that 10 more for each further 100 m² or part of it.
std::size_t isoReadingsRequired(double squareMetres);

// Under 30 m²: one area for each 10 m² or part of it; 30 to 100 m²: three;
// above 100 m²: three for the first 100 m² and one more for each further
// 100 m² or part of it.
std::size_t sspcAreasRequired(double squareMetres);

// "12 м²", "2,5 м²".
std::string surfaceText(double squareMetres);

}  // namespace korsi::inspection
