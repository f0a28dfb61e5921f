#include "instrument/inspection/acceptance.h"

#include <algorithm>
#include <cmath>

namespace korsi::inspection {

namespace {

// "из 1 замера", "из 21 замера", "из 11 замеров", "из 120 замеров".
std::string ofReadings(std::size_t n) {
  const bool one = n % 10 == 1 && n % 100 != 11;
  return "из " + std::to_string(n) + (one ? " замера" : " замеров");
}

// k of n in per cent, cut (not rounded) to tenths, so a share just under a
// limit never shows as the limit itself.
std::string shareText(std::size_t k, std::size_t n) {
  const std::size_t tenths = k * 1000 / n;
  return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " %";
}

Nanometres floorDiv(Nanometres a, Nanometres b) {
  const Nanometres q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

class Words {
 public:
  explicit Words(Unit unit) : unit_(unit) {}
  // An exact thickness with its unit: "96,0 мкм".
  std::string operator()(double nanometres) const {
    return exactText(nanometres, unit_) + " " + unitName(unit_);
  }

 private:
  Unit unit_;
};

Criterion maximumCriterion(std::string label, const std::vector<Nanometres>& readings,
                           std::optional<Nanometres> maximum, Nanometres largest, const Words& words) {
  Criterion c{std::move(label), "Каждый замер не больше максимума", Outcome::NotChecked,
              "максимум не задан, не проверялось"};
  if (!maximum) return c;
  const auto above = static_cast<std::size_t>(
      std::count_if(readings.begin(), readings.end(), [&](Nanometres r) { return r > *maximum; }));
  const auto m = static_cast<double>(*maximum);
  const auto big = static_cast<double>(largest);
  if (above == 0) {
    c.outcome = Outcome::Pass;
    c.figures = "наибольший замер " + words(big) + " при максимуме " + words(m);
  } else {
    c.outcome = Outcome::Fail;
    c.figures = std::to_string(above) + " " + ofReadings(readings.size()) + " выше максимума " + words(m) +
                ", наибольший " + words(big);
  }
  return c;
}

// Every reading at least tenths/10 of NDFT.
Criterion minimumCriterion(std::string label, int tenths, const std::vector<Nanometres>& readings, Nanometres ndft,
                           Nanometres smallest, const Words& words) {
  const std::string percent = std::to_string(tenths * 10) + " % NDFT";
  const auto limit = static_cast<double>(ndft) * tenths / 10.0;
  const auto below = static_cast<std::size_t>(std::count_if(
      readings.begin(), readings.end(), [&](Nanometres r) { return r * 10 < ndft * tenths; }));
  Criterion c{std::move(label), "", below == 0 ? Outcome::Pass : Outcome::Fail, ""};
  if (below == 0) {
    c.figures = "наименьший замер " + words(static_cast<double>(smallest)) + ", " + percent + " = " + words(limit);
  } else {
    c.figures = std::to_string(below) + " " + ofReadings(readings.size()) + " ниже " + percent + " (" +
                words(limit) + "), наименьший " + words(static_cast<double>(smallest));
  }
  return c;
}

std::string refusedReadingText(std::size_t index, std::size_t total, const char* what) {
  return "Замер " + std::to_string(index + 1) + " " + ofReadings(total) + ": " + what;
}

}  // namespace

const char* ruleName(Rule rule) { return rule == Rule::Pspc9010 ? "IMO PSPC 90/10" : "ISO 19840"; }

Nanometres roughnessCorrection(Roughness roughness) {
  switch (roughness) {
    case Roughness::Fine:
      return 10 * kNanometresPerMicrometre;
    case Roughness::Medium:
      return 25 * kNanometresPerMicrometre;
    case Roughness::Coarse:
      return 40 * kNanometresPerMicrometre;
    case Roughness::None:
      break;
  }
  return 0;
}

const char* roughnessName(Roughness roughness) {
  switch (roughness) {
    case Roughness::Fine:
      return "мелкая";
    case Roughness::Medium:
      return "средняя";
    case Roughness::Coarse:
      return "грубая";
    case Roughness::None:
      break;
  }
  return "нет";
}

std::string readingsCount(std::size_t n) {
  const std::size_t last = n % 10;
  const std::size_t lastTwo = n % 100;
  const char* word = " замеров";
  if (last == 1 && lastTwo != 11) {
    word = " замер";
  } else if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) {
    word = " замера";
  }
  return std::to_string(n) + word;
}

Assessment assess(std::span<const double> readingsMm, const Entries& entries) {
  Assessment out;
  Verdict& v = out.verdict;
  v.rule = entries.rule;
  v.unit = entries.unit;
  const Words words(entries.unit);

  const std::optional<Nanometres> ndft = nanometresFrom(entries.ndft, entries.unit);
  if (!ndft || *ndft <= 0) {
    out.refusal = "NDFT должна быть числом больше нуля";
    return out;
  }
  v.ndft = *ndft;
  if (entries.maximum) {
    const std::optional<Nanometres> maximum = nanometresFrom(*entries.maximum, entries.unit);
    if (!maximum) {
      out.refusal = "Максимум должен быть числом";
      return out;
    }
    if (*maximum < v.ndft) {
      out.refusal = "Максимум " + words(static_cast<double>(*maximum)) + " меньше NDFT " +
                    words(static_cast<double>(v.ndft));
      return out;
    }
    v.maximum = maximum;
  }
  if (readingsMm.empty()) {
    out.refusal = "Нет замеров: выберите строки с толщиной";
    return out;
  }

  v.correction = roughnessCorrection(entries.roughness);
  if (v.correction > 0) {
    v.correctionText = std::string("из каждого замера вычтена поправка на шероховатость (") +
                       roughnessName(entries.roughness) + ") " + words(static_cast<double>(v.correction));
  }
  v.readings.reserve(readingsMm.size());
  for (std::size_t i = 0; i < readingsMm.size(); ++i) {
    const std::optional<Nanometres> nm = nanometresFromMm(readingsMm[i]);
    if (!nm) {
      out.refusal = refusedReadingText(i, readingsMm.size(),
                                       std::isfinite(readingsMm[i]) ? "толщина больше 1000 мм, это не замер"
                                                                    : "толщина не число");
      out.refusedReading = i;
      return out;
    }
    v.readings.push_back(*nm - v.correction);
  }

  const std::size_t n = v.readings.size();
  v.statistics = describe(v.readings);
  const Statistics& s = v.statistics;
  const Nanometres nominal = v.ndft;
  // Readings under a share of NDFT, and between it and NDFT.
  const int minimumTenths = entries.rule == Rule::Iso19840 ? 8 : 9;
  std::size_t band = 0;
  std::size_t atLeastNominal = 0;
  v.marks.assign(n, ReadingMark::Ok);
  for (std::size_t i = 0; i < n; ++i) {
    const Nanometres r = v.readings[i];
    if (v.maximum && r > *v.maximum) {
      v.marks[i] = ReadingMark::AboveMaximum;
    } else if (r * 10 < nominal * minimumTenths) {
      v.marks[i] = ReadingMark::BelowMinimum;
    } else if (r < nominal) {
      v.marks[i] = ReadingMark::BelowNominal;
    }
    if (r >= nominal) ++atLeastNominal;
    if (r < nominal && r * 10 >= nominal * minimumTenths) ++band;
    if (v.marks[i] == ReadingMark::BelowMinimum || v.marks[i] == ReadingMark::AboveMaximum) v.failing.push_back(i);
  }

  if (entries.rule == Rule::Iso19840) {
    // The mean is at least NDFT exactly when the floor of the exact mean is.
    const Nanometres meanFloor = floorDiv(s.sum, static_cast<Nanometres>(n));
    v.criteria.push_back({"(a)", "Среднее не меньше NDFT", meanFloor >= nominal ? Outcome::Pass : Outcome::Fail,
                          "среднее " + words(static_cast<double>(meanFloor)) + " при NDFT " +
                              words(static_cast<double>(nominal))});
    Criterion b = minimumCriterion("(b)", 8, v.readings, nominal, s.minimum, words);
    b.requirement = "Каждый замер не меньше 80 % NDFT";
    v.criteria.push_back(std::move(b));
    v.criteria.push_back({"(c)", "Замеров от 80 % до 100 % NDFT меньше 20 %",
                          band * 5 < n ? Outcome::Pass : Outcome::Fail,
                          std::to_string(band) + " " + ofReadings(n) + " (" + shareText(band, n) +
                              ") от 80 % до 100 % NDFT (" + words(static_cast<double>(nominal) * 0.8) + " – " +
                              words(static_cast<double>(nominal)) + ")"});
    v.criteria.push_back(maximumCriterion("(d)", v.readings, v.maximum, s.maximum, words));
  } else {
    v.criteria.push_back({"90 %", "Не меньше 90 % замеров не ниже NDFT",
                          atLeastNominal * 10 >= n * 9 ? Outcome::Pass : Outcome::Fail,
                          std::to_string(atLeastNominal) + " " + ofReadings(n) + " (" + shareText(atLeastNominal, n) +
                              ") не ниже NDFT " + words(static_cast<double>(nominal))});
    Criterion rest = minimumCriterion("10 %", 9, v.readings, nominal, s.minimum, words);
    rest.requirement = "Остальные замеры не ниже 90 % NDFT";
    v.criteria.push_back(std::move(rest));
    v.criteria.push_back(maximumCriterion("максимум", v.readings, v.maximum, s.maximum, words));
  }

  std::string failed;
  for (const Criterion& c : v.criteria) {
    if (c.outcome != Outcome::Fail) continue;
    failed += (failed.empty() ? "" : ", ") + c.label;
  }
  v.pass = failed.empty();
  v.summary = v.pass ? std::string("Соответствует ") + ruleName(v.rule)
                     : std::string("Не соответствует ") + ruleName(v.rule) + ": не выполнено " + failed;
  return out;
}

const char* outcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::Pass:
      return "выполнено";
    case Outcome::Fail:
      return "не выполнено";
    case Outcome::NotChecked:
      break;
  }
  return "не проверялось";
}

}  // namespace korsi::inspection
