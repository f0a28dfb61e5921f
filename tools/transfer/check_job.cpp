#include "tools/transfer/check_job.h"

#include "inspection/job_verdict.h"
#include "inspection/sampling.h"
#include "inspection/job_file.h"
#include "tools/transfer/check_command.h"
#include "tools/transfer/check_report.h"
#include "tools/transfer/transfer_options.h"

namespace korsi::transfer {

namespace {

namespace in = korsi::inspection;

std::string limitsText(const in::Entries& e) {
  const auto thickness = [&](double value) {
    const auto nm = in::nanometresFrom(value, e.unit);
    return nm ? in::exactText(static_cast<double>(*nm), e.unit) + " " + in::unitName(e.unit) : std::string("?");
  };
  std::string text = std::string(e.rule == in::Rule::SspcPa2 ? "минимум " : "NDFT ") + thickness(e.ndft);
  text += "; максимум " + (e.maximum ? thickness(*e.maximum) : std::string("не задан"));
  if (e.rule == in::Rule::SspcPa2) {
    text += "; уровень " + std::to_string(e.level) + "; замеров в пятне " + std::to_string(e.spotSize);
  }
  if (e.surface) text += "; площадь " + in::surfaceText(*e.surface);
  if (e.surfaceKind) text += std::string(", поверхность ") + in::surfaceKindName(*e.surfaceKind);
  return text;
}

// The area's surface when it was given in `unit`.
std::optional<double> surfaceIn(const job::JobArea& area, in::SurfaceUnit unit) {
  return area.surface && area.surface->unit == unit ? std::optional(area.surface->value) : std::nullopt;
}

std::string jobHeaderJson(const job::JobHeader& h) {
  const std::pair<const char*, const std::string*> texts[] = {
      {"object", &h.object},         {"client", &h.client},       {"coating_system", &h.coatingSystem},
      {"coat", &h.coat},             {"inspector", &h.inspector}, {"gauge", &h.gauge},
      {"gauge_serial", &h.gaugeSerial}, {"date", &h.date},
  };
  std::string j = "{";
  for (const auto& [key, value] : texts) j += std::string(j.size() > 1 ? "," : "") + jsonString(key) + ":" + jsonString(*value);
  return j + ",\"unit\":" + jsonString(h.unit == job::JobUnit::Mil ? "mil" : "um") + "}";
}

}  // namespace

int runJobCheck(const std::string& path, bool json, std::FILE* out, std::FILE* err, const std::atomic<bool>* stop) {
  const job::OpenedJob opened = job::openJob(path, stop);
  if (opened.stopped) {
    std::fprintf(err, "%s: %s: interrupted while reading the job file\n", kProgramName, path.c_str());
    return kExitInterrupted;
  }
  if (!opened.ok()) {
    std::fprintf(err, "%s: %s\n", kProgramName, opened.error.c_str());
    return kCheckUsage;
  }
  const job::InspectionJob& jb = opened.job;
  const in::JobVerdict verdict = in::judgeJob(jb);

  // The readings as rows of a file, so that an area's failing readings are
  // named by their measurement numbers as for a single file.
  std::vector<ThicknessRow> rows;
  rows.reserve(jb.readings.size());
  for (const job::JobReading& r : jb.readings) rows.push_back({r.num, r.h});
  CheckOptions options;
  options.file = path;
  CheckReport report{options, rows, 0, {}};

  std::string areasJson;
  if (!json) {
    std::fprintf(out, "Файл проверки: %s\n", path.c_str());
    if (!jb.header.object.empty()) std::fprintf(out, "Объект: %s\n", jb.header.object.c_str());
  }
  for (std::size_t i = 0; i < jb.areas.size(); ++i) {
    const job::JobArea& area = jb.areas[i];
    const in::AreaVerdict& a = verdict.areas[i];
    const std::string numbers = job::rangesText(area.numbers);
    if (!a.assessment.ok()) {
      std::string reason = a.assessment.refusal;
      if (a.assessment.refusedReading) {
        reason += " (№ " + std::to_string(jb.readings[a.readings[*a.assessment.refusedReading]].num) + ")";
      }
      if (json) {
        areasJson += std::string(areasJson.empty() ? "" : ",") + "{\"area\":" + std::to_string(i + 1) +
                     ",\"name\":" + jsonString(area.name) + ",\"numbers\":" + jsonString(numbers) +
                     ",\"rule\":" + jsonString(checkRuleWord(a.entries.rule)) +
                     ",\"readings\":" + std::to_string(a.readings.size()) +
                     ",\"judgement\":null,\"pass\":false,\"verdict\":" + jsonString("нет вердикта: " + reason) + "}";
      } else {
        std::fprintf(out, "\nЗона %zu «%s», замеры %s\nНет вердикта: %s\n", i + 1, area.name.c_str(),
                     numbers.c_str(), reason.c_str());
      }
      continue;
    }
    CheckedArea checked;
    checked.rows = a.readings;
    checked.verdict = a.assessment.verdict;
    report.areas = {std::move(checked)};
    const in::Verdict& v = report.areas.front().verdict;
    if (json) {
      std::string object = areaJson(report, 0);
      object.erase(0, object.find(',') + 1);  // its own "area" goes first, below
      areasJson += std::string(areasJson.empty() ? "" : ",") + "{\"area\":" + std::to_string(i + 1) +
                   ",\"name\":" + jsonString(area.name) + ",\"numbers\":" + jsonString(numbers) +
                   ",\"rule\":" + jsonString(checkRuleWord(v.rule)) +
                   ",\"surface_m2\":" + jsonNumber(surfaceIn(area, in::SurfaceUnit::SquareMetre)) +
                   ",\"surface_ft2\":" + jsonNumber(surfaceIn(area, in::SurfaceUnit::SquareFoot)) +
                   ",\"surface_kind\":" +
                   (area.kind ? jsonString(*area.kind == in::SurfaceKind::Complex ? "complex" : "flat") : "null") +
                   ",\"max_checked\":" + (v.maximum ? "true" : "false") +
                   ",\"correction_um\":" + jsonNumber(static_cast<double>(v.correction) / 1000.0) + "," + object;
    } else {
      std::fprintf(out, "\nЗона %zu «%s», замеры %s\nПравило: %s; %s\n", i + 1, area.name.c_str(), numbers.c_str(),
                   in::ruleTitle(v).c_str(), limitsText(a.entries).c_str());
      if (!v.maximum) std::fprintf(out, "Максимум не задан: толщина сверху не проверялась.\n");
      if (!v.correctionText.empty()) std::fprintf(out, "Поправка: %s\n", v.correctionText.c_str());
      printAreaText(out, report, report.areas.front());
      std::fprintf(out, "%s\n", v.summary.c_str());
    }
  }
  if (json) {
    std::string j = "{\"file\":" + jsonString(path) + ",\"job\":" + jobHeaderJson(jb.header) + ",\"areas\":[" +
                    areasJson + "],\"judgement\":" +
                    (verdict.overall ? jsonString(in::judgementWord(*verdict.overall)) : std::string("null")) +
                    ",\"pass\":" + (verdict.overall == in::Judgement::Pass ? "true" : "false") +
                    ",\"verdict\":" + jsonString(verdict.summary) + "}\n";
    std::fputs(j.c_str(), out);
  } else {
    std::fprintf(out, "\n%s\n", verdict.summary.c_str());
  }
  if (!verdict.overall) return kCheckUsage;
  return *verdict.overall == in::Judgement::Pass ? kCheckPass : kCheckFail;
}

}  // namespace korsi::transfer
