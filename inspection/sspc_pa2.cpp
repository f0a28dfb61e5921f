#include "inspection/sspc_pa2.h"

#include <algorithm>
#include <functional>
#include <numeric>
#include <string>

#include "inspection/acceptance.h"
#include "inspection/sampling.h"
#include "inspection/wording.h"

namespace korsi::inspection {

namespace {

std::string ofSpots(std::size_t n) {
  const bool one = n % 10 == 1 && n % 100 != 11;
  return "из " + std::to_string(n) + (one ? " пятна" : " пятен");
}

std::string percentOf(int percent, const char* of) { return std::to_string(percent) + " % " + of; }

const char* const kNoMaximum = "максимум не задан, не проверялось";

}  // namespace

std::optional<SspcLevel> sspcLevel(int level) {
  for (const SspcLevel& row : kSspcLevels) {
    if (row.level == level) return row;
  }
  return std::nullopt;
}

void judgeSspcPa2(Verdict& v, const Entries& entries) {
  SspcSpots spots;
  spots.level = *sspcLevel(entries.level);
  spots.spotSize = entries.spotSize;
  const std::size_t size = spots.spotSize;
  const auto n = static_cast<Nanometres>(size);
  const std::size_t count = v.readings.size() / size;
  spots.leftOver = v.readings.size() % size;
  for (std::size_t s = 0; s < count; ++s) {
    const auto first = v.readings.begin() + static_cast<std::ptrdiff_t>(s * size);
    spots.spotSums.push_back(std::accumulate(first, first + static_cast<std::ptrdiff_t>(size), Nanometres{0}));
  }
  const Nanometres minimum = v.ndft;
  const int lowPercent = spots.level.spotMinimumPercent;
  spots.spotMinimum = static_cast<double>(minimum) * lowPercent / 100.0;
  if (v.maximum && spots.level.spotMaximumPercent) {
    spots.spotMaximum = static_cast<double>(*v.maximum) * *spots.level.spotMaximumPercent / 100.0;
  }

  std::vector<std::size_t> outOfRange;  // spots, 0-based
  if (count > 0) {
    const auto [smallest, largest] = std::minmax_element(spots.spotSums.begin(), spots.spotSums.end());
    const double low = static_cast<double>(*smallest) / static_cast<double>(n);
    const double high = static_cast<double>(*largest) / static_cast<double>(n);
    const std::string lowShare = percentOf(lowPercent, "минимума");
    const auto isLow = [&](Nanometres sum) { return sum * 100 < lowPercent * n * minimum; };
    const auto below = static_cast<std::size_t>(std::count_if(spots.spotSums.begin(), spots.spotSums.end(), isLow));
    const double lowLimits[] = {spots.spotMinimum};
    const double lowFigures[] = {low};
    const SharedPrecision lowText(v.unit, lowLimits, lowFigures);
    Criterion spotLow{"пятна мин.", "Каждое пятно не меньше " + lowShare, below == 0 ? Outcome::Pass : Outcome::Fail, "",
                      true};
    spotLow.figures = below == 0 ? "наименьшее пятно " + lowText.withUnit(low) + ", " + lowShare + " = " +
                                       lowText.withUnit(spots.spotMinimum)
                                 : std::to_string(below) + " " + ofSpots(count) + " ниже " + lowShare + " (" +
                                       lowText.withUnit(spots.spotMinimum) + "), наименьшее " + lowText.withUnit(low);
    v.criteria.push_back(std::move(spotLow));

    Criterion spotHigh{"пятна макс.", "Каждое пятно не больше ", Outcome::NotChecked, kNoMaximum, true};
    std::function<bool(Nanometres)> isHigh = [](Nanometres) { return false; };
    if (!spots.level.spotMaximumPercent) {
      spotHigh.requirement = "Пятна сверху не ограничены";
      spotHigh.figures = "уровень " + std::to_string(spots.level.level) + ": пятна сверху не ограничены";
    } else {
      const int highPercent = *spots.level.spotMaximumPercent;
      const std::string highShare = percentOf(highPercent, "максимума");
      spotHigh.requirement += highShare;
      if (v.maximum) {
        isHigh = [&, highPercent](Nanometres sum) { return sum * 100 > highPercent * n * *v.maximum; };
        const auto above = static_cast<std::size_t>(std::count_if(spots.spotSums.begin(), spots.spotSums.end(), isHigh));
        const double highLimits[] = {*spots.spotMaximum};
        const double highFigures[] = {high};
        const SharedPrecision highText(v.unit, highLimits, highFigures);
        spotHigh.outcome = above == 0 ? Outcome::Pass : Outcome::Fail;
        spotHigh.figures = above == 0 ? "наибольшее пятно " + highText.withUnit(high) + ", " + highShare + " = " +
                                            highText.withUnit(*spots.spotMaximum)
                                      : std::to_string(above) + " " + ofSpots(count) + " выше " + highShare + " (" +
                                            highText.withUnit(*spots.spotMaximum) + "), наибольшее " +
                                            highText.withUnit(high);
      }
    }
    v.criteria.push_back(std::move(spotHigh));
    for (std::size_t s = 0; s < count; ++s) {
      if (isLow(spots.spotSums[s]) || isHigh(spots.spotSums[s])) outOfRange.push_back(s);
    }

    // The mean of the spot means is the mean of all readings in whole spots.
    const Nanometres total = std::accumulate(spots.spotSums.begin(), spots.spotSums.end(), Nanometres{0});
    const Nanometres divisor = n * static_cast<Nanometres>(count);
    spots.areaMean = static_cast<double>(total) / static_cast<double>(divisor);
    std::vector<double> areaLimits{static_cast<double>(minimum)};
    if (v.maximum) areaLimits.push_back(static_cast<double>(*v.maximum));
    const double areaFigures[] = {spots.areaMean};
    const SharedPrecision areaText(v.unit, areaLimits, areaFigures);
    const std::string areaMean = "среднее зоны " + areaText.withUnit(spots.areaMean);
    v.criteria.push_back({"зона мин.", "Среднее зоны не меньше минимума",
                          total >= minimum * divisor ? Outcome::Pass : Outcome::Fail,
                          areaMean + " при минимуме " + areaText.withUnit(static_cast<double>(minimum))});
    Criterion areaHigh{"зона макс.", "Среднее зоны не больше максимума", Outcome::NotChecked, kNoMaximum};
    if (v.maximum) {
      areaHigh.outcome = total <= *v.maximum * divisor ? Outcome::Pass : Outcome::Fail;
      areaHigh.figures = areaMean + " при максимуме " + areaText.withUnit(static_cast<double>(*v.maximum));
    }
    v.criteria.push_back(std::move(areaHigh));
  }

  // What the area and the surface need.
  std::string shortage;
  const std::string spotsGiven = plural(count, "пятно", "пятна", "пятен") + " по " +
                                 plural(size, "замеру", "замера", "замеров");
  if (count < kSpotsPerArea) {
    shortage = "нужно не меньше " + plural(kSpotsPerArea, "пятна", "пятен", "пятен") + " по " +
               plural(size, "замеру", "замера", "замеров") + ", дано " + plural(count, "пятно", "пятна", "пятен");
  }
  v.sampling = spotsGiven;
  if (spots.leftOver > 0) {
    v.sampling += " (не учтено замеров после последнего пятна: " + std::to_string(spots.leftOver) + ")";
  }
  if (entries.surface) {
    // Counted in the surface's own units: 1,050 ft² asks for 4 areas, 97.5 m² for 3.
    const std::size_t areas = sspcAreasRequired(*entries.surface);
    const std::string need = "для " + surfaceText(*entries.surface) + (areas == 1 ? " нужна " : " нужно ") +
                             plural(areas, "зона", "зоны", "зон");
    v.sampling += "; " + need + ", дана 1";
    if (areas > 1) shortage += (shortage.empty() ? "" : "; ") + need + ", дана 1";
  } else {
    v.sampling += "; площадь не задана, число зон не проверялось";
  }
  v.sspc = std::move(spots);
  std::string title = std::string(ruleName(v.rule)) + ", уровень " + std::to_string(v.sspc->level.level);
  settleVerdict(v, title, shortage);
  if (!outOfRange.empty()) {
    // The standard asks for the extent of the nonconforming area: more spots
    // in each direction until two in a row conform.
    std::string which;
    for (std::size_t s : outOfRange) which += (which.empty() ? "" : ", ") + std::to_string(s + 1);
    v.summary += outOfRange.size() == 1 ? "; пятно вне пределов — снимите дополнительные пятна вокруг него"
                                        : "; пятна вне пределов — снимите дополнительные пятна вокруг них";
    v.advice = std::string(outOfRange.size() == 1 ? "Пятно " : "Пятна ") + which + " вне пределов уровня " +
               std::to_string(v.sspc->level.level) +
               ". Чтобы найти границы несоответствующего участка, снимайте дополнительные пятна в каждом "
               "направлении от " + (outOfRange.size() == 1 ? "него" : "каждого") +
               ", пока два пятна подряд не окажутся в пределах.";
  }
}

}  // namespace korsi::inspection
