#include "inspection/thickness_units.h"

#include <charconv>
#include <cmath>

namespace korsi::inspection {

namespace {

double nanometresPer(Unit unit) {
  return static_cast<double>(unit == Unit::Mil ? kNanometresPerMil : kNanometresPerMicrometre);
}

std::optional<Nanometres> roundedNanometres(double nanometres) {
  if (!std::isfinite(nanometres) || std::fabs(nanometres) > kLargestReadingMm * 1e6) return std::nullopt;
  return static_cast<Nanometres>(std::llround(nanometres));
}

}  // namespace

const char* unitName(Unit unit) { return unit == Unit::Mil ? "мил" : "мкм"; }

std::optional<Nanometres> nanometresFromMm(double mm) { return roundedNanometres(mm * 1e6); }

std::optional<Nanometres> nanometresFrom(double value, Unit unit) {
  return roundedNanometres(value * nanometresPer(unit));
}

double inUnit(double nanometres, Unit unit) { return nanometres / nanometresPer(unit); }

std::string fixedText(double value, int decimals) {
  char buffer[64];
  // Locale-free: the program may run under any locale and always shows a comma.
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (error != std::errc{}) return "?";
  std::string text(buffer, end);
  if (text.starts_with("-0") && text.find_first_not_of("0.", 1) == std::string::npos) {
    text.erase(0, 1);  // no "-0,0" for a value that rounds to zero
  }
  for (char& c : text) {
    if (c == '.') c = ',';
  }
  return text;
}

std::string exactText(double nanometres, Unit unit) {
  std::string text = fixedText(inUnit(nanometres, unit), unit == Unit::Mil ? 4 : 3);
  const auto comma = text.find(',');
  if (comma == std::string::npos) return text;
  while (text.size() > comma + 2 && text.back() == '0') text.pop_back();
  return text;
}

std::string roundedText(double nanometres, Unit unit) {
  return fixedText(inUnit(nanometres, unit), unit == Unit::Mil ? 2 : 1);
}

namespace {

// Values that differ are at least a millionth of a nanometre apart (sums of
// whole nanometres over at most a million readings); closer is the same.
constexpr double kSameNanometres = 1e-7;

int sideOf(double value, double limit) {
  return value < limit - kSameNanometres ? -1 : value > limit + kSameNanometres ? 1 : 0;
}

int firstDecimals(Unit unit) { return unit == Unit::Mil ? 2 : 1; }
int lastDecimals(Unit unit) { return unit == Unit::Mil ? 4 : 3; }

// A thickness in steps of the last shown decimal.
double stepsOf(double nanometres, Unit unit, int decimals) {
  return inUnit(nanometres, unit) * std::pow(10.0, decimals);
}

}  // namespace

SharedPrecision::SharedPrecision(Unit unit, std::span<const double> limits, std::span<const double> figures)
    : unit_(unit), limits_(limits.begin(), limits.end()), decimals_(lastDecimals(unit)) {
  const auto sign = [](double d) { return d < 0 ? -1 : d > 0 ? 1 : 0; };
  for (int d = firstDecimals(unit); d < lastDecimals(unit); ++d) {
    bool fits = true;
    for (const double limit : limits_) {
      const double steps = stepsOf(limit, unit, d);
      fits = fits && std::fabs(steps - std::round(steps)) < 1e-6;
    }
    for (const double figure : figures) {
      for (const double limit : limits_) {
        const double shown = std::round(stepsOf(figure, unit, d)) - std::round(stepsOf(limit, unit, d));
        fits = fits && sign(shown) == sideOf(figure, limit);
      }
    }
    if (fits) {
      decimals_ = d;
      return;
    }
  }
}

std::string SharedPrecision::operator()(double nanometres) const {
  double steps = std::round(stepsOf(nanometres, unit_, decimals_));
  if (decimals_ == lastDecimals(unit_)) {
    for (const double limit : limits_) {
      const int own = sideOf(nanometres, limit);
      const double shownLimit = std::round(stepsOf(limit, unit_, decimals_));
      if (own != 0 && (steps - shownLimit) * own <= 0) steps = shownLimit + own;
    }
  }
  return fixedText(steps / std::pow(10.0, decimals_), decimals_);
}

std::string SharedPrecision::withUnit(double nanometres) const {
  return (*this)(nanometres) + " " + unitName(unit_);
}

std::string textBesideLimits(double nanometres, Unit unit, std::span<const double> limits) {
  // Values that differ are at least a millionth of a nanometre apart (sums of
  // whole nanometres over at most a million readings); closer is the same.
  constexpr double kSame = 1e-7;
  const auto side = [](double value, double limit) { return value < limit - kSame ? -1 : value > limit + kSame ? 1 : 0; };
  const int first = unit == Unit::Mil ? 2 : 1;
  const int last = unit == Unit::Mil ? 4 : 3;
  const double value = inUnit(nanometres, unit);
  for (int decimals = first; decimals <= last; ++decimals) {
    const double scale = std::pow(10.0, decimals);
    double steps = std::round(value * scale);
    bool crosses = false;
    for (const double limit : limits) {
      const int own = side(nanometres, limit);
      if (own == 0 || side(steps / scale * nanometresPer(unit), limit) == own) continue;
      crosses = true;
      if (decimals == last) steps = own < 0 ? std::floor(value * scale) : std::ceil(value * scale);
    }
    if (!crosses || decimals == last) return fixedText(steps / scale, decimals);
  }
  return roundedText(nanometres, unit);
}

}  // namespace korsi::inspection
