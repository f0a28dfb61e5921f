#include "inspection/sspc_pa2.h"

#include <algorithm>
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
  const Words words(v.unit);
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
  std::vector<double> spotLimits{spots.spotMinimum};
  if (spots.spotMaximum) spotLimits.push_back(*spots.spotMaximum);
  const auto spotWords = [&](double nanometres) {
    return textBesideLimits(nanometres, v.unit, spotLimits) + " " + unitName(v.unit);
  };

  if (count > 0) {
    const auto [smallest, largest] = std::minmax_element(spots.spotSums.begin(), spots.spotSums.end());
    const double low = static_cast<double>(*smallest) / static_cast<double>(n);
    const double high = static_cast<double>(*largest) / static_cast<double>(n);
    const std::string lowShare = percentOf(lowPercent, "минимума");
    const auto below = static_cast<std::size_t>(std::count_if(
        spots.spotSums.begin(), spots.spotSums.end(), [&](Nanometres sum) { return sum * 100 < lowPercent * n * minimum; }));
    Criterion spotLow{"пятна мин.", "Каждое пятно не меньше " + lowShare, below == 0 ? Outcome::Pass : Outcome::Fail, ""};
    spotLow.figures = below == 0 ? "наименьшее пятно " + spotWords(low) + ", " + lowShare + " = " + words(spots.spotMinimum)
                                 : std::to_string(below) + " " + ofSpots(count) + " ниже " + lowShare + " (" +
                                       words(spots.spotMinimum) + "), наименьшее " + spotWords(low);
    v.criteria.push_back(std::move(spotLow));

    Criterion spotHigh{"пятна макс.", "Каждое пятно не больше ", Outcome::NotChecked, kNoMaximum};
    if (!spots.level.spotMaximumPercent) {
      spotHigh.requirement = "Пятна сверху не ограничены";
      spotHigh.figures = "уровень " + std::to_string(spots.level.level) + ": пятна сверху не ограничены";
    } else {
      const int highPercent = *spots.level.spotMaximumPercent;
      const std::string highShare = percentOf(highPercent, "максимума");
      spotHigh.requirement += highShare;
      if (v.maximum) {
        const auto above = static_cast<std::size_t>(std::count_if(
            spots.spotSums.begin(), spots.spotSums.end(),
            [&](Nanometres sum) { return sum * 100 > highPercent * n * *v.maximum; }));
        spotHigh.outcome = above == 0 ? Outcome::Pass : Outcome::Fail;
        spotHigh.figures = above == 0 ? "наибольшее пятно " + spotWords(high) + ", " + highShare + " = " +
                                            words(*spots.spotMaximum)
                                      : std::to_string(above) + " " + ofSpots(count) + " выше " + highShare + " (" +
                                            words(*spots.spotMaximum) + "), наибольшее " + spotWords(high);
      }
    }
    v.criteria.push_back(std::move(spotHigh));

    // The mean of the spot means is the mean of all readings in whole spots.
    const Nanometres total = std::accumulate(spots.spotSums.begin(), spots.spotSums.end(), Nanometres{0});
    const Nanometres divisor = n * static_cast<Nanometres>(count);
    spots.areaMean = static_cast<double>(total) / static_cast<double>(divisor);
    std::vector<double> areaLimits{static_cast<double>(minimum)};
    if (v.maximum) areaLimits.push_back(static_cast<double>(*v.maximum));
    const std::string areaMean =
        "среднее зоны " + textBesideLimits(spots.areaMean, v.unit, areaLimits) + " " + unitName(v.unit);
    v.criteria.push_back({"зона мин.", "Среднее зоны не меньше минимума",
                          total >= minimum * divisor ? Outcome::Pass : Outcome::Fail,
                          areaMean + " при минимуме " + words(static_cast<double>(minimum))});
    Criterion areaHigh{"зона макс.", "Среднее зоны не больше максимума", Outcome::NotChecked, kNoMaximum};
    if (v.maximum) {
      areaHigh.outcome = total <= *v.maximum * divisor ? Outcome::Pass : Outcome::Fail;
      areaHigh.figures = areaMean + " при максимуме " + words(static_cast<double>(*v.maximum));
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
  if (entries.surfaceM2) {
    const std::size_t areas = sspcAreasRequired(*entries.surfaceM2);
    const std::string need = "для " + surfaceText(*entries.surfaceM2) + (areas == 1 ? " нужна " : " нужно ") +
                             plural(areas, "зона", "зоны", "зон");
    v.sampling += "; " + need + ", дана 1";
    if (areas > 1) shortage += (shortage.empty() ? "" : "; ") + need + ", дана 1";
  } else {
    v.sampling += "; площадь не задана, число зон не проверялось";
  }
  v.sspc = std::move(spots);
  settleVerdict(v, std::string(ruleName(v.rule)) + ", уровень " + std::to_string(v.sspc->level.level), shortage);
}

}  // namespace korsi::inspection
