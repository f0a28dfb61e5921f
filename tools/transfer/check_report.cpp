#include "tools/transfer/check_report.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "inspection/job_verdict.h"
#include "inspection/sampling.h"

namespace korsi::transfer {

namespace in = korsi::inspection;

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string jsonNumber(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) return "null";
  char text[64];
  const auto [end, error] = std::to_chars(text, text + sizeof text, *value);
  return error == std::errc{} ? std::string(text, end) : "null";
}

namespace {

double um(double nanometres) { return nanometres / 1000.0; }

const char* roughnessWord(in::Roughness roughness) {
  switch (roughness) {
    case in::Roughness::Fine:
      return "fine";
    case in::Roughness::Medium:
      return "medium";
    case in::Roughness::Coarse:
      return "coarse";
    case in::Roughness::UnknownProfile:
      return "unknown";
    case in::Roughness::None:
      break;
  }
  return "none";
}

const char* outcomeWord(in::Outcome outcome) {
  switch (outcome) {
    case in::Outcome::Pass:
      return "pass";
    case in::Outcome::Fail:
      return "fail";
    case in::Outcome::NotChecked:
      break;
  }
  return "not_checked";
}

const char* markWord(in::ReadingMark mark) {
  return mark == in::ReadingMark::AboveMaximum ? "above_maximum" : "below_minimum";
}

// How a failing reading is named: its measurement number, else its row.
std::string readingName(const std::vector<ThicknessRow>& rows, std::size_t row) {
  return rows[row].num ? "№ " + std::to_string(*rows[row].num) : "строка " + std::to_string(row + 1);
}

std::string thickness(double nanometres) { return in::exactText(nanometres, in::Unit::Micrometre) + " мкм"; }

bool sspc(const CheckOptions& o) { return o.rule == in::Rule::SspcPa2; }

}  // namespace

void printAreaText(std::FILE* out, const CheckReport& report, const CheckedArea& area) {
  const in::Verdict& v = area.verdict;
  const in::Statistics& s = v.statistics;
  const std::vector<double> limits = in::limitPositions(v);
  std::fprintf(out, "Замеров: %zu", s.count);
  if (report.rowsWithoutThickness > 0) std::fprintf(out, " (строк без толщины пропущено: %d)", report.rowsWithoutThickness);
  std::fprintf(out, "\n");
  // One precision for the line's figures, none shown on a limit it is not on.
  const in::StatisticsTexts figures = in::statisticsTexts(s, in::Unit::Micrometre, limits);
  std::fprintf(out, "Среднее %s мкм, наименьший %s мкм, наибольший %s мкм, стандартное отклонение %s, "
               "коэффициент вариации %s\n",
               figures.mean.c_str(), figures.minimum.c_str(), figures.maximum.c_str(),
               s.standardDeviation ? (figures.standardDeviation + " мкм").c_str() : "—",
               s.coefficientOfVariation ? (in::fixedText(*s.coefficientOfVariation, 1) + " %").c_str() : "—");
  if (v.sspc && !v.sspc->spotSums.empty()) {
    std::string spots;
    for (std::size_t i = 0; i < v.sspc->spotSums.size(); ++i) {
      spots += (i ? "; " : "") + in::textBesideLimits(v.sspc->spotMean(i), in::Unit::Micrometre, limits);
    }
    std::fprintf(out, "Пятна (среднее каждого), мкм: %s\n", spots.c_str());
  }
  if (!v.sampling.empty()) std::fprintf(out, "Выборка: %s\n", v.sampling.c_str());
  for (const in::Criterion& c : v.criteria) {
    std::fprintf(out, "%s %s: %s — %s\n", c.label.c_str(), in::outcomeText(c.outcome), c.requirement.c_str(),
                 c.figures.c_str());
  }
  if (!v.advice.empty()) std::fprintf(out, "Указание: %s\n", v.advice.c_str());
  if (!v.failing.empty()) {
    std::string names;
    for (std::size_t i : v.failing) {
      names += (names.empty() ? "" : ", ") + readingName(report.fileRows, area.rows[i]) + " (" +
               thickness(static_cast<double>(v.readings[i])) + ")";
    }
    std::fprintf(out, "Не прошли по отдельности: %s\n", names.c_str());
  }
}

std::string areaJson(const CheckReport& report, std::size_t index) {
  const CheckedArea& area = report.areas[index];
  const in::Verdict& v = area.verdict;
  const in::Statistics& s = v.statistics;
  std::string j = "{\"area\":" + std::to_string(index + 1);
  j += ",\"readings\":" + std::to_string(s.count);
  j += ",\"statistics\":{\"mean_um\":" + jsonNumber(um(s.mean)) +
       ",\"min_um\":" + jsonNumber(um(static_cast<double>(s.minimum))) +
       ",\"max_um\":" + jsonNumber(um(static_cast<double>(s.maximum))) + ",\"standard_deviation_um\":" +
       jsonNumber(s.standardDeviation ? std::optional(um(*s.standardDeviation)) : std::nullopt) +
       ",\"coefficient_of_variation_percent\":" + jsonNumber(s.coefficientOfVariation) + "}";
  if (v.sspc) {
    j += ",\"spots_um\":[";
    for (std::size_t i = 0; i < v.sspc->spotSums.size(); ++i) {
      j += std::string(i ? "," : "") + jsonNumber(um(v.sspc->spotMean(i)));
    }
    j += "],\"area_mean_um\":" +
         jsonNumber(v.sspc->spotSums.empty() ? std::nullopt : std::optional(um(v.sspc->areaMean)));
    j += ",\"readings_left_over\":" + std::to_string(v.sspc->leftOver);
  }
  j += ",\"sampling\":" + jsonString(v.sampling);
  j += ",\"advice\":" + jsonString(v.advice);
  j += ",\"criteria\":[";
  for (std::size_t i = 0; i < v.criteria.size(); ++i) {
    const in::Criterion& c = v.criteria[i];
    j += std::string(i ? "," : "") + "{\"label\":" + jsonString(c.label) +
         ",\"requirement\":" + jsonString(c.requirement) + ",\"outcome\":" + jsonString(outcomeWord(c.outcome)) +
         ",\"figures\":" + jsonString(c.figures) + "}";
  }
  j += "],\"failing\":[";
  for (std::size_t k = 0; k < v.failing.size(); ++k) {
    const std::size_t i = v.failing[k];
    const std::size_t row = area.rows[i];
    j += std::string(k ? "," : "") + "{\"row\":" + std::to_string(row + 1) +
         ",\"num\":" + (report.fileRows[row].num ? std::to_string(*report.fileRows[row].num) : "null") +
         ",\"thickness_um\":" + jsonNumber(um(static_cast<double>(v.readings[i]))) +
         ",\"why\":" + jsonString(markWord(v.marks[i])) + "}";
  }
  j += "],\"judgement\":" + jsonString(in::judgementWord(v.judgement));
  j += ",\"pass\":" + std::string(v.pass ? "true" : "false");
  return j + ",\"verdict\":" + jsonString(v.summary) + "}";
}

namespace {

// The verdict of the whole in words; one area's own when there is one.
std::string overallSummary(const CheckReport& report) {
  if (report.areas.size() == 1) return report.areas.front().verdict.summary;
  switch (overallJudgement(report)) {
    case in::Judgement::Pass:
      return "Все зоны соответствуют";
    case in::Judgement::Fail:
      return "Не все зоны соответствуют";
    case in::Judgement::TooFewMeasurements:
      return "недостаточно измерений";
    case in::Judgement::NotApplicable:
      break;
  }
  return "Правило не применяется";
}

}  // namespace

in::Judgement overallJudgement(const CheckReport& report) {
  std::vector<std::optional<in::Judgement>> areas;
  for (const CheckedArea& area : report.areas) areas.emplace_back(area.verdict.judgement);
  return in::overallJudgement(areas).value_or(in::Judgement::NotApplicable);
}

void printCheckText(std::FILE* out, const CheckReport& report) {
  const CheckOptions& o = report.options;
  const in::Verdict& first = report.areas.front().verdict;
  std::fprintf(out, "Файл: %s\n", o.file.c_str());
  std::fprintf(out, "Правило: %s; %s %s; максимум %s; шероховатость: %s", in::ruleTitle(first).c_str(),
               sspc(o) ? "минимум" : "NDFT", thickness(static_cast<double>(first.ndft)).c_str(),
               first.maximum ? thickness(static_cast<double>(*first.maximum)).c_str() : "не задан",
               in::roughnessName(o.roughness));
  if (o.surfaceM2) std::fprintf(out, "; площадь %s", in::surfaceText(in::squareMetresSurface(*o.surfaceM2)).c_str());
  if (o.surfaceKind) std::fprintf(out, ", поверхность %s", in::surfaceKindName(*o.surfaceKind));
  std::fprintf(out, "\n");
  if (!first.maximum) std::fprintf(out, "Максимум не задан: толщина сверху не проверялась.\n");
  if (!first.correctionText.empty()) std::fprintf(out, "Поправка: %s\n", first.correctionText.c_str());
  for (std::size_t i = 0; i < report.areas.size(); ++i) {
    if (report.areas.size() > 1) std::fprintf(out, "Зона %zu\n", i + 1);
    printAreaText(out, report, report.areas[i]);
  }
  std::fprintf(out, "%s\n", overallSummary(report).c_str());
}

void printCheckJson(std::FILE* out, const CheckReport& report) {
  const CheckOptions& o = report.options;
  const in::Verdict& first = report.areas.front().verdict;
  std::string j = "{";
  j += "\"file\":" + jsonString(o.file);
  j += ",\"rule\":" + jsonString(checkRuleWord(o.rule));
  j += std::string(sspc(o) ? ",\"min_um\":" : ",\"ndft_um\":") + jsonNumber(um(static_cast<double>(first.ndft)));
  j += ",\"max_um\":" +
       jsonNumber(first.maximum ? std::optional(um(static_cast<double>(*first.maximum))) : std::nullopt);
  j += ",\"max_checked\":" + std::string(first.maximum ? "true" : "false");
  if (sspc(o)) {
    const in::SspcLevel level = *in::sspcLevel(o.level);
    j += ",\"level\":" + std::to_string(level.level) +
         ",\"spot_min_percent\":" + std::to_string(level.spotMinimumPercent) + ",\"spot_max_percent\":" +
         (level.spotMaximumPercent ? std::to_string(*level.spotMaximumPercent) : "null") +
         ",\"spot_size\":" + std::to_string(o.spotSize);
  }
  j += ",\"surface_m2\":" + jsonNumber(o.surfaceM2);
  if (o.surfaceKind) j += std::string(",\"surface_kind\":") + (*o.surfaceKind == in::SurfaceKind::Complex ? "\"complex\"" : "\"flat\"");
  j += ",\"roughness\":" + jsonString(roughnessWord(o.roughness));
  j += ",\"correction_um\":" + jsonNumber(um(static_cast<double>(first.correction)));
  j += ",\"rows_without_thickness\":" + std::to_string(report.rowsWithoutThickness);
  j += ",\"areas\":[";
  for (std::size_t i = 0; i < report.areas.size(); ++i) j += (i ? "," : "") + areaJson(report, i);
  const in::Judgement overall = overallJudgement(report);
  j += "],\"judgement\":" + jsonString(in::judgementWord(overall));
  j += ",\"pass\":" + std::string(overall == in::Judgement::Pass ? "true" : "false");
  j += ",\"verdict\":" + jsonString(overallSummary(report)) + "}\n";
  std::fputs(j.c_str(), out);
}

}  // namespace korsi::transfer
