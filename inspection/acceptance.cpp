#include "inspection/acceptance.h"

#include <algorithm>
#include <cmath>

#include "inspection/sampling.h"
#include "inspection/wording.h"

namespace korsi::inspection {

namespace {

// k of n in per cent, cut (not rounded) to tenths, so a share just under a
// limit never shows as the limit itself.
std::string shareText(std::size_t k, std::size_t n) {
  const std::size_t tenths = k * 1000 / n;
  return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " %";
}

// ISO 19840 judges no coat thinner than this.
constexpr Nanometres kIsoSmallestNdft = 40 * kNanometresPerMicrometre;

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

const char* ruleName(Rule rule) {
  switch (rule) {
    case Rule::Pspc9010:
      return "IMO PSPC 90/10";
    case Rule::SspcPa2:
      return "SSPC-PA 2";
    case Rule::Iso19840:
      break;
  }
  return "ISO 19840";
}

const char* ruleEdition(Rule rule) {
  switch (rule) {
    case Rule::Pspc9010:
      return "IMO PSPC (MSC.215(82), 2006)";
    case Rule::SspcPa2:
      return "SSPC-PA 2 (2018)";
    case Rule::Iso19840:
      break;
  }
  return "ISO 19840:2012";
}

std::string ruleTitle(const Verdict& v) {
  if (!v.sspc) return ruleName(v.rule);
  const SspcLevel& level = v.sspc->level;
  std::string title = std::string(ruleName(v.rule)) + ", уровень " + std::to_string(level.level) + " (пятна от " +
                      std::to_string(level.spotMinimumPercent) + " % минимума";
  return title + (level.spotMaximumPercent ? " до " + std::to_string(*level.spotMaximumPercent) + " % максимума)"
                                           : ", сверху без предела)");
}

Nanometres roughnessCorrection(Roughness roughness) {
  switch (roughness) {
    case Roughness::Fine:
      return 10 * kNanometresPerMicrometre;
    case Roughness::Medium:
    case Roughness::UnknownProfile:
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
    case Roughness::UnknownProfile:
      return "профиль неизвестен";
    case Roughness::None:
      break;
  }
  return "нет";
}

std::string readingsCount(std::size_t n) { return plural(n, "замер", "замера", "замеров"); }

void settleVerdict(Verdict& v, const std::string& title, const std::string& shortage) {
  std::string failed;
  for (const Criterion& c : v.criteria) {
    if (c.outcome != Outcome::Fail) continue;
    failed += (failed.empty() ? "" : ", ") + c.label;
  }
  if (!shortage.empty()) {
    v.judgement = Judgement::TooFewMeasurements;
    v.summary = title + ": недостаточно измерений — " + shortage;
    if (!failed.empty()) v.summary += "; не выполнено " + failed;
  } else if (failed.empty()) {
    v.judgement = Judgement::Pass;
    v.summary = "Соответствует " + title;
  } else {
    v.judgement = Judgement::Fail;
    v.summary = "Не соответствует " + title + ": не выполнено " + failed;
  }
  v.pass = v.judgement == Judgement::Pass;
}

Assessment assess(std::span<const double> readingsMm, const Entries& entries) {
  Assessment out;
  Verdict& v = out.verdict;
  v.rule = entries.rule;
  v.unit = entries.unit;
  const Words words(entries.unit);

  const std::optional<Nanometres> ndft = nanometresFrom(entries.ndft, entries.unit);
  if (!ndft || *ndft <= 0) {
    out.refusal = entries.rule == Rule::SspcPa2 ? "Минимум должен быть числом больше нуля"
                                                : "NDFT должна быть числом больше нуля";
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
      out.refusal = "Максимум " + words(static_cast<double>(*maximum)) +
                    (entries.rule == Rule::SspcPa2 ? " меньше минимума " : " меньше NDFT ") +
                    words(static_cast<double>(v.ndft));
      return out;
    }
    v.maximum = maximum;
  }
  if (entries.surfaceM2 && !(std::isfinite(*entries.surfaceM2) && *entries.surfaceM2 > 0.0)) {
    out.refusal = "Площадь должна быть числом больше нуля";
    return out;
  }
  if (entries.rule == Rule::SspcPa2) {
    if (!sspcLevel(entries.level)) {
      out.refusal = "Уровень SSPC-PA 2 должен быть от 1 до 5";
      return out;
    }
    if (entries.spotSize < kSmallestSpotSize || entries.spotSize > kLargestSpotSize) {
      out.refusal = "В пятне должно быть от " + std::to_string(kSmallestSpotSize) + " до " +
                    std::to_string(kLargestSpotSize) + " замеров";
      return out;
    }
  }
  if (readingsMm.empty()) {
    out.refusal = "Нет замеров: выберите строки с толщиной";
    return out;
  }

  if (entries.measuredCorrection) {
    const std::optional<Nanometres> measured = nanometresFrom(*entries.measuredCorrection, entries.unit);
    if (!measured || *measured < 0) {
      out.refusal = "Поправка должна быть числом не меньше нуля";
      return out;
    }
    v.correction = *measured;
    if (v.correction > 0) {
      v.correctionText = "из каждого замера вычтена измеренная поправка " + words(static_cast<double>(v.correction));
    }
  } else if ((v.correction = roughnessCorrection(entries.roughness)) > 0) {
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
  v.marks.assign(n, ReadingMark::Ok);
  if (entries.rule == Rule::SspcPa2) {
    judgeSspcPa2(v, entries);
    return out;
  }
  if (entries.rule == Rule::Iso19840 && v.ndft < kIsoSmallestNdft) {
    v.judgement = Judgement::NotApplicable;
    v.summary = "ISO 19840 не применяется: NDFT " + words(static_cast<double>(v.ndft)) + " меньше " +
                words(static_cast<double>(kIsoSmallestNdft));
    return out;
  }
  const Nanometres nominal = v.ndft;
  // Readings under a share of NDFT, and between it and NDFT.
  const int minimumTenths = entries.rule == Rule::Iso19840 ? 8 : 9;
  std::size_t band = 0;
  std::size_t atLeastNominal = 0;
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

  std::string shortage;
  if (entries.rule == Rule::Iso19840) {
    if (entries.surfaceM2) {
      const std::size_t required = isoReadingsRequired(*entries.surfaceM2);
      v.sampling = "для " + surfaceText(*entries.surfaceM2) + " нужно не меньше " + readingsCount(required) +
                   ", дано " + std::to_string(n);
      if (n < required) shortage = v.sampling;
    } else {
      v.sampling = "площадь не задана, число замеров не проверялось";
    }
  }
  settleVerdict(v, ruleName(v.rule), shortage);
  return out;
}

std::vector<LimitLine> limitLines(const Verdict& v) {
  std::vector<LimitLine> lines;
  const auto ndft = static_cast<double>(v.ndft);
  if (v.rule == Rule::SspcPa2) {
    if (!v.sspc) return lines;
    lines.push_back({"пятно " + std::to_string(v.sspc->level.spotMinimumPercent) + " % минимума",
                     v.sspc->spotMinimum, LimitLine::Kind::Lower});
    if (v.sspc->spotMaximum) {
      lines.push_back({"пятно " + std::to_string(*v.sspc->level.spotMaximumPercent) + " % максимума",
                       *v.sspc->spotMaximum, LimitLine::Kind::Upper});
    }
    return lines;
  }
  if (v.rule == Rule::Iso19840) {
    lines.push_back({"80 % NDFT", ndft * 0.8, LimitLine::Kind::Lower});
  } else {
    lines.push_back({"90 % NDFT", ndft * 0.9, LimitLine::Kind::Lower});
  }
  lines.push_back({"NDFT", ndft, LimitLine::Kind::Nominal});
  if (v.maximum) lines.push_back({"Максимум", static_cast<double>(*v.maximum), LimitLine::Kind::Upper});
  return lines;
}

std::vector<double> limitPositions(const Verdict& verdict) {
  std::vector<double> positions;
  for (const LimitLine& line : limitLines(verdict)) positions.push_back(line.nanometres);
  if (verdict.rule == Rule::SspcPa2) {
    // The area's mean is shown beside the minimum and maximum themselves.
    positions.push_back(static_cast<double>(verdict.ndft));
    if (verdict.maximum) positions.push_back(static_cast<double>(*verdict.maximum));
  }
  return positions;
}

const char* judgementWord(Judgement judgement) {
  switch (judgement) {
    case Judgement::Pass:
      return "pass";
    case Judgement::Fail:
      return "fail";
    case Judgement::TooFewMeasurements:
      return "too_few_measurements";
    case Judgement::NotApplicable:
      break;
  }
  return "not_applicable";
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
