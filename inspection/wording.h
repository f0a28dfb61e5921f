#pragma once
// The words the rules share: counts with the Russian plural.

#include <cstddef>
#include <string>

#include "inspection/thickness_units.h"

namespace korsi::inspection {

// n with the form the number asks: plural(5, "пятно", "пятна", "пятен") is
// "5 пятен".
std::string plural(std::size_t n, const char* one, const char* few, const char* many);

// "из 1 замера", "из 21 замера", "из 11 замеров".
std::string ofReadings(std::size_t n);

// The floor of a / b for b above zero.
inline Nanometres floorDiv(Nanometres a, Nanometres b) {
  const Nanometres q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace korsi::inspection
