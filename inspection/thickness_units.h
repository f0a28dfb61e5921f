#pragma once
// Thicknesses for inspection: the archive holds millimetres as floating
// point; the checks work in whole nanometres, so that a reading that sits
// exactly on a limit (80 % of the nominal thickness, the maximum) compares as
// equal to it and not a rounding error above or below. Readings closer than
// half a nanometre to each other count as the same thickness, far below what
// the gauge resolves (1 µm).
//
// The user sees micrometres or mils (1 mil = 25.4 µm = 25,400 nm), with a
// decimal comma, as the rest of the program shows numbers.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korsi::inspection {

using Nanometres = std::int64_t;

enum class Unit { Micrometre, Mil };

inline constexpr Nanometres kNanometresPerMicrometre = 1000;
inline constexpr Nanometres kNanometresPerMil = 25400;
// A larger value is no coating thickness but a typing error; the bound also
// keeps sums over any archive far inside 64 bits.
inline constexpr double kLargestReadingMm = 1000.0;

// "мкм" or "мил".
const char* unitName(Unit unit);

// A stored reading in millimetres as whole nanometres; nothing for NaN,
// infinity or a value beyond kLargestReadingMm either way.
std::optional<Nanometres> nanometresFromMm(double mm);
// A value the user typed in `unit`; nothing when it is not a finite number or
// is beyond kLargestReadingMm.
std::optional<Nanometres> nanometresFrom(double value, Unit unit);

// The value in the user's unit.
double inUnit(double nanometres, Unit unit);

// A thickness in `unit`, exact to the nanometre where the unit allows
// (micrometres up to 3 decimals, mils up to 4), trailing zeros dropped but at
// least one decimal kept: "96,0", "95,96", "4,7". Without the unit's name.
std::string exactText(double nanometres, Unit unit);
// A thickness rounded to one decimal (µm) or two (mils), for statistics.
std::string roundedText(double nanometres, Unit unit);
// A thickness as roundedText shows it, unless that figure would sit on or
// across one of `limits` (nanometres) that the value itself is not on: then
// with more decimals, and at the unit's last decimal cut towards the value's
// own side of the limit. So a mean of 119.96 µm beside NDFT 120 µm reads
// "119,96", never "120,0" beside a failed criterion.
std::string textBesideLimits(double nanometres, Unit unit, std::span<const double> limits);
// A number with a fixed count of decimals and a decimal comma.
std::string fixedText(double value, int decimals);

// Thicknesses that one text shows side by side, all with one count of
// decimals, so a sentence never reads "1115,766 мкм при NDFT 1000,0 мкм":
// the unit's usual (µm 1, mils 2), or more where an entered limit would not
// show as entered, or where a figure would show on or across a limit it is
// not on; at most the unit's last (µm 3, mils 4). At the last, a figure that
// would still read as a limit it is not on is moved one step to its own side.
class SharedPrecision {
 public:
  // `limits` and `figures` in nanometres; every thickness the text shows is one of them.
  SharedPrecision(Unit unit, std::span<const double> limits, std::span<const double> figures = {});
  int decimals() const noexcept { return decimals_; }
  // A figure or a limit at the shared decimals, without the unit's name.
  std::string operator()(double nanometres) const;
  // The same with the unit's name: "96,0 мкм".
  std::string withUnit(double nanometres) const;

 private:
  Unit unit_;
  std::vector<double> limits_;
  int decimals_;
};

}  // namespace korsi::inspection
