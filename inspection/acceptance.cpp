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
                           std::optional<Nanometres> maximum, Nanometres largest, Unit unit) {
  Criterion c{std::move(label), "Каждый замер не больше максимума", Outcome::NotChecked,
              "максимум не задан, не проверялось", true};
  if (!maximum) return c;
  const auto above = static_cast<std::size_t>(
      std::count_if(readings.begin(), readings.end(), [&](Nanometres r) { return r > *maximum; }));
  const auto m = static_cast<double>(*maximum);
  const auto big = static_cast<double>(largest);
  const double limits[] = {m};
  const double figures[] = {big};
  const SharedPrecision t(unit, limits, figures);
  if (above == 0) {
    c.outcome = Outcome::Pass;
    c.figures = "наибольший замер " + t.withUnit(big) + " при максимуме " + t.withUnit(m);
  } else {
    c.outcome = Outcome::Fail;
    c.figures = std::to_string(above) + " " + ofReadings(readings.size()) + " выше максимума " + t.withUnit(m) +
                ", наибольший " + t.withUnit(big);
  }
  return c;
}

// Every reading at least tenths/10 of NDFT.
Criterion minimumCriterion(std::string label, int tenths, const std::vector<Nanometres>& readings, Nanometres ndft,
                           Nanometres smallest, Unit unit) {
  const std::string percent = std::to_string(tenths * 10) + " % NDFT";
  const auto limit = static_cast<double>(ndft) * tenths / 10.0;
  const auto below = static_cast<std::size_t>(std::count_if(
      readings.begin(), readings.end(), [&](Nanometres r) { return r * 10 < ndft * tenths; }));
  const double limits[] = {limit};
  const double figures[] = {static_cast<double>(smallest)};
  const SharedPrecision t(unit, limits, figures);
  Criterion c{std::move(label), "", below == 0 ? Outcome::Pass : Outcome::Fail, "", true};
  if (below == 0) {
    c.figures = "наименьший замер " + t.withUnit(figures[0]) + ", " + percent + " = " + t.withUnit(limit);
  } else {
    c.figures = std::to_string(below) + " " + ofReadings(readings.size()) + " ниже " + percent + " (" +
                t.withUnit(limit) + "), наименьший " + t.withUnit(figures[0]);
  }
  return c;
}

// What the surface asks of one area judged by ISO 19840 or IMO PSPC, in
// readings: the sampling text and the shortage (empty: enough).
void readingsForSurface(Verdict& v, const Entries& e, std::string& shortage) {
  const std::size_t n = v.readings.size();
  if (!e.surface) {
    v.sampling = "площадь не задана, число замеров не проверялось";
    return;
  }
  const Surface& surface = *e.surface;
  std::string where = surfaceText(surface);
  // Square feet are converted for the rules that count in square metres.
  if (surface.unit != SurfaceUnit::SquareMetre) where += " (" + surfaceText(squareMetresSurface(squareMetres(surface))) + ")";
  std::size_t required = 0;
  std::string basis;
  if (e.rule == Rule::Iso19840) {
    required = isoReadingsRequired(squareMetres(surface));
  } else if (!e.surfaceKind) {
    v.sampling = "вид поверхности (ровная или сложная) не задан, число замеров не проверялось";
    return;
  } else {
    required = pspcReadingsRequired(squareMetres(surface), *e.surfaceKind);
    where = std::string(*e.surfaceKind == SurfaceKind::Complex ? "сложной" : "ровной") + " поверхности " + where;
    basis = *e.surfaceKind == SurfaceKind::Complex ? " (5 замеров на 1 м², с округлением вверх, и не меньше 3)"
                                                   : " (1 замер на каждые 5 м², с округлением вверх)";
    v.advice = "По IMO PSPC вдоль рёбер жёсткости и балок набора нужен комплект замеров через каждые 2–3 м; "
               "их число программа не проверяет.";
  }
  v.sampling = "для " + where + " нужно не меньше " + readingsCount(required) + basis + ", дано " + std::to_string(n);
  if (n < required) shortage = v.sampling;
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
  bool definite = false;
  for (const Criterion& c : v.criteria) {
    if (c.outcome != Outcome::Fail) continue;
    failed += (failed.empty() ? "" : ", ") + c.label;
    definite = definite || c.definite;
  }
  if (!shortage.empty() && !definite) {
    v.judgement = Judgement::TooFewMeasurements;
    v.summary = title + ": недостаточно измерений — " + shortage;
    if (!failed.empty()) v.summary += "; не выполнено " + failed;
  } else if (failed.empty()) {
    v.judgement = Judgement::Pass;
    v.summary = "Соответствует " + title;
  } else {
    // More readings could not undo a definite failure; the shortage is said too.
    v.judgement = Judgement::Fail;
    v.summary = "Не соответствует " + title + ": не выполнено " + failed;
    if (!shortage.empty()) v.summary += "; кроме того, недостаточно измерений — " + shortage;
  }
  v.pass = v.judgement == Judgement::Pass;
}

CorrectedReadings correctReadings(std::span<const double> readingsMm, const Entries& entries) {
  CorrectedReadings out;
  const Unit unit = entries.unit;
  if (entries.measuredCorrection) {
    const std::optional<Nanometres> measured = nanometresFrom(*entries.measuredCorrection, unit);
    if (!measured || *measured < 0) {
      out.refusal = "Поправка должна быть числом не меньше нуля";
      return out;
    }
    out.correction = *measured;
    if (out.correction > 0) {
      out.correctionText = "из каждого замера вычтена измеренная поправка " + exactText(static_cast<double>(out.correction), unit) +
                           " " + unitName(unit);
    }
  } else if ((out.correction = roughnessCorrection(entries.roughness)) > 0) {
    out.correctionText = std::string("из каждого замера вычтена поправка на шероховатость (") +
                         roughnessName(entries.roughness) + ") " +
                         exactText(static_cast<double>(out.correction), unit) + " " + unitName(unit);
  }
  out.readings.reserve(readingsMm.size());
  for (std::size_t i = 0; i < readingsMm.size(); ++i) {
    const std::optional<Nanometres> nm = nanometresFromMm(readingsMm[i]);
    if (!nm) {
      out.refusal = refusedReadingText(i, readingsMm.size(),
                                       std::isfinite(readingsMm[i]) ? "толщина больше 1000 мм, это не замер"
                                                                    : "толщина не число");
      out.refusedReading = i;
      out.readings.clear();
      return out;
    }
    out.readings.push_back(*nm - out.correction);
  }
  out.statistics = describe(out.readings);
  return out;
}

Assessment assess(std::span<const double> readingsMm, const Entries& entries) {
  Assessment out;
  Verdict& v = out.verdict;
  v.rule = entries.rule;
  v.unit = entries.unit;
  const Unit unit = entries.unit;

  const std::optional<Nanometres> ndft = nanometresFrom(entries.ndft, unit);
  if (!ndft || *ndft <= 0) {
    out.refusal = entries.rule == Rule::SspcPa2 ? "Минимум должен быть числом больше нуля"
                                                : "NDFT должна быть числом больше нуля";
    return out;
  }
  v.ndft = *ndft;
  if (entries.maximum) {
    const std::optional<Nanometres> maximum = nanometresFrom(*entries.maximum, unit);
    if (!maximum) {
      out.refusal = "Максимум должен быть числом";
      return out;
    }
    if (*maximum < v.ndft) {
      const double limits[] = {static_cast<double>(*maximum), static_cast<double>(v.ndft)};
      const SharedPrecision t(unit, limits);
      out.refusal = "Максимум " + t.withUnit(limits[0]) +
                    (entries.rule == Rule::SspcPa2 ? " меньше минимума " : " меньше NDFT ") + t.withUnit(limits[1]);
      return out;
    }
    v.maximum = maximum;
  }
  if (entries.surface && !(std::isfinite(entries.surface->value) && entries.surface->value > 0.0)) {
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

  CorrectedReadings corrected = correctReadings(readingsMm, entries);
  if (!corrected.ok()) {
    out.refusal = std::move(corrected.refusal);
    out.refusedReading = corrected.refusedReading;
    return out;
  }
  v.correction = corrected.correction;
  v.correctionText = std::move(corrected.correctionText);
  v.readings = std::move(corrected.readings);
  v.statistics = corrected.statistics;

  const std::size_t n = v.readings.size();
  const Statistics& s = v.statistics;
  v.marks.assign(n, ReadingMark::Ok);
  if (entries.rule == Rule::SspcPa2) {
    judgeSspcPa2(v, entries);
    return out;
  }
  if (entries.rule == Rule::Iso19840 && v.ndft < kIsoSmallestNdft) {
    v.judgement = Judgement::NotApplicable;
    const double limits[] = {static_cast<double>(kIsoSmallestNdft)};
    const double figures[] = {static_cast<double>(v.ndft)};
    const SharedPrecision t(unit, limits, figures);
    v.summary = "ISO 19840 не применяется: NDFT " + t.withUnit(figures[0]) + " меньше " + t.withUnit(limits[0]);
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

  const auto nominalNm = static_cast<double>(nominal);
  if (entries.rule == Rule::Iso19840) {
    // The mean is at least NDFT exactly when the floor of the exact mean is.
    const Nanometres meanFloor = floorDiv(s.sum, static_cast<Nanometres>(n));
    const double meanLimits[] = {nominalNm};
    const double mean[] = {s.mean};
    const SharedPrecision meanText(unit, meanLimits, mean);
    v.criteria.push_back({"(a)", "Среднее не меньше NDFT", meanFloor >= nominal ? Outcome::Pass : Outcome::Fail,
                          "среднее " + meanText.withUnit(s.mean) + " при NDFT " + meanText.withUnit(nominalNm)});
    Criterion b = minimumCriterion("(b)", 8, v.readings, nominal, s.minimum, unit);
    b.requirement = "Каждый замер не меньше 80 % NDFT";
    v.criteria.push_back(std::move(b));
    const double bandLimits[] = {nominalNm * 0.8, nominalNm};
    const SharedPrecision bandText(unit, bandLimits);
    v.criteria.push_back({"(c)", "Замеров от 80 % до 100 % NDFT меньше 20 %",
                          band * 5 < n ? Outcome::Pass : Outcome::Fail,
                          std::to_string(band) + " " + ofReadings(n) + " (" + shareText(band, n) +
                              ") от 80 % до 100 % NDFT (" + bandText.withUnit(bandLimits[0]) + " – " +
                              bandText.withUnit(nominalNm) + ")"});
    v.criteria.push_back(maximumCriterion("(d)", v.readings, v.maximum, s.maximum, unit));
  } else {
    const double limits[] = {nominalNm};
    const SharedPrecision t(unit, limits);
    v.criteria.push_back({"90 %", "Не меньше 90 % замеров не ниже NDFT",
                          atLeastNominal * 10 >= n * 9 ? Outcome::Pass : Outcome::Fail,
                          std::to_string(atLeastNominal) + " " + ofReadings(n) + " (" + shareText(atLeastNominal, n) +
                              ") не ниже NDFT " + t.withUnit(nominalNm)});
    Criterion rest = minimumCriterion("10 %", 9, v.readings, nominal, s.minimum, unit);
    rest.requirement = "Остальные замеры не ниже 90 % NDFT";
    v.criteria.push_back(std::move(rest));
    v.criteria.push_back(maximumCriterion("максимум", v.readings, v.maximum, s.maximum, unit));
  }

  std::string shortage;
  readingsForSurface(v, entries, shortage);
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
