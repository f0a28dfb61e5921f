#pragma once
// The words the rules share: counts with the Russian plural and thicknesses
// with their unit.

#include <cstddef>
#include <string>

#include "inspection/thickness_units.h"

namespace korsi::inspection {

// n with the form the number asks: plural(5, "пятно", "пятна", "пятен") is
// "5 пятен".
std::string plural(std::size_t n, const char* one, const char* few, const char* many);

// "из 1 замера", "из 21 замера", "из 11 замеров".
std::string ofReadings(std::size_t n);

// An exact thickness with its unit: "96,0 мкм".
class Words {
 public:
  explicit Words(Unit unit) : unit_(unit) {}
  std::string operator()(double nanometres) const { return exactText(nanometres, unit_) + " " + unitName(unit_); }
  Unit unit() const { return unit_; }

 private:
  Unit unit_;
};

// The floor of a / b for b above zero.
inline Nanometres floorDiv(Nanometres a, Nanometres b) {
  const Nanometres q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace korsi::inspection
