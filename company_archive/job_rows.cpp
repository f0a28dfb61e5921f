#include "company_archive/job_rows.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "company_archive/pg_connection.h"
#include "company_archive/sha256.h"
#include "inspection/job_id.h"
#include "inspection/job_verdict.h"
#include "inspection/job_words.h"

namespace korsi::company {

namespace {

namespace in = korsi::inspection;

void field(std::string& out, std::string_view text) {
  out += std::to_string(text.size());
  out += ':';
  out += text;
  out += ';';
}

void field(std::string& out, std::optional<double> value) {
  if (!value) {
    out += "-;";
    return;
  }
  std::uint64_t bits = 0;
  std::memcpy(&bits, &*value, sizeof bits);
  out += std::to_string(bits);
  out += ';';
}

void field(std::string& out, std::optional<std::int64_t> value) {
  out += value ? std::to_string(*value) : std::string("-");
  out += ';';
}

std::string wordOf(const std::optional<in::Judgement>& judgement) {
  return judgement ? in::judgementWord(*judgement) : "none";
}

void copyField(std::string& out, const std::optional<std::string>& text) {
  if (text) {
    appendCopyText(out, *text);
  } else {
    out += kCopyNull;
  }
}

// The area's surface in the one unit given, none in the other.
std::optional<double> surfaceIn(const job::JobArea& a, inspection::SurfaceUnit unit) {
  return a.surface && a.surface->unit == unit ? std::optional(a.surface->value) : std::nullopt;
}

}  // namespace

std::string numberText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc() ? std::string(buffer, end) : std::string("NaN");
}

std::optional<std::string> numberText(std::optional<double> value) {
  if (!value) return std::nullopt;
  return numberText(*value);
}

std::string contentHash(const job::InspectionJob& j) {
  std::string text = "korsi7-job-1;";
  const job::JobHeader& h = j.header;
  for (const auto& f : job::kHeaderTextFields) field(text, h.*f.member);
  field(text, job::ruleWord(h.rule));
  field(text, h.nominal);
  field(text, h.maximum);
  field(text, job::unitWord(h.unit));
  field(text, std::optional<std::int64_t>(h.level));
  field(text, std::optional<std::int64_t>(static_cast<std::int64_t>(h.spotSize)));
  field(text, job::setUpWord(h.setUp));
  field(text, h.measuredCorrection);
  field(text, std::optional<std::int64_t>(static_cast<std::int64_t>(j.areas.size())));
  for (const job::JobArea& a : j.areas) {
    field(text, a.name);
    field(text, surfaceIn(a, inspection::SurfaceUnit::SquareMetre));
    field(text, surfaceIn(a, inspection::SurfaceUnit::SquareFoot));
    field(text, a.kind ? job::kindWord(*a.kind) : "-");
    field(text, job::rangesText(a.numbers));
    field(text, a.overrides.rule ? job::ruleWord(*a.overrides.rule) : "-");
    field(text, a.overrides.nominal);
    field(text, a.overrides.maximum);
    field(text, a.overrides.level ? std::optional<std::int64_t>(*a.overrides.level) : std::nullopt);
    field(text, a.overrides.spotSize ? std::optional<std::int64_t>(static_cast<std::int64_t>(*a.overrides.spotSize))
                                     : std::nullopt);
  }
  field(text, std::optional<std::int64_t>(static_cast<std::int64_t>(j.readings.size())));
  for (const job::JobReading& r : j.readings) {
    field(text, std::optional<std::int64_t>(r.num));
    field(text, r.date ? isoText(*r.date, ' ') : std::string("-"));
    field(text, std::optional<double>(r.h));
    if (r.note) {
      field(text, *r.note);
    } else {
      text += "-;";
    }
  }
  return sha256Hex(text);
}

std::string publishProblem(const job::InspectionJob& j) {
  if (!job::isJobId(j.id)) return "у проверки нет идентификатора";
  for (const auto& f : job::kHeaderTextFields) {
    if (const std::string p = textProblem(j.header.*f.member); !p.empty()) {
      return std::string(f.caption) + " " + p;
    }
  }
  for (const job::JobArea& a : j.areas) {
    if (const std::string p = textProblem(a.name); !p.empty()) return "название зоны: " + p;
  }
  for (const job::JobReading& r : j.readings) {
    if (r.note) {
      if (const std::string p = textProblem(*r.note); !p.empty()) {
        return "примечание к замеру № " + std::to_string(r.num) + ": " + p;
      }
    }
  }
  return job::areasProblem(j.areas);
}

StoredVerdict storedVerdict(const job::InspectionJob& j) {
  const in::JobVerdict verdict = in::judgeJob(j);
  return {wordOf(verdict.overall), verdict.summary};
}

RevisionRows revisionRows(const job::InspectionJob& j, const std::string& jobId, int revision) {
  RevisionRows rows;
  const std::string key = jobId + '\t' + std::to_string(revision) + '\t';
  const auto whole = [](auto v) { return std::optional<std::string>(std::to_string(v)); };
  const in::JobVerdict verdict = in::judgeJob(j);
  for (std::size_t i = 0; i < j.areas.size(); ++i) {
    const job::JobArea& a = j.areas[i];
    const in::AreaVerdict& av = verdict.areas[i];
    rows.areas += key;
    const std::optional<std::string> fields[] = {
        whole(i + 1),
        a.name,
        numberText(surfaceIn(a, inspection::SurfaceUnit::SquareMetre)),
        numberText(surfaceIn(a, inspection::SurfaceUnit::SquareFoot)),
        a.kind ? std::optional<std::string>(job::kindWord(*a.kind)) : std::nullopt,
        job::rangesText(a.numbers),
        whole(av.readings.size()),
        a.overrides.rule ? std::optional<std::string>(job::ruleWord(*a.overrides.rule)) : std::nullopt,
        numberText(a.overrides.nominal),
        numberText(a.overrides.maximum),
        a.overrides.level ? whole(*a.overrides.level) : std::nullopt,
        a.overrides.spotSize ? whole(*a.overrides.spotSize) : std::nullopt,
    };
    for (std::size_t f = 0; f < std::size(fields); ++f) {
      if (f > 0) rows.areas += '\t';
      copyField(rows.areas, fields[f]);
    }
    rows.areas += '\n';

    // The report's summary line of the area: its figures in µm as judged.
    const bool judged = av.assessment.ok();
    const in::Statistics& s = av.assessment.verdict.statistics;
    const auto um = [&](double nm) { return judged && s.count > 0 ? numberText(std::optional<double>(nm / 1000.0)) : std::nullopt; };
    rows.summaries += key;
    const std::optional<std::string> summary[] = {
        whole(i + 1),
        whole(judged ? s.count : av.readings.size()),
        um(s.mean),
        um(static_cast<double>(s.minimum)),
        um(static_cast<double>(s.maximum)),
        judged && s.standardDeviation ? numberText(std::optional<double>(*s.standardDeviation / 1000.0)) : std::nullopt,
        wordOf(av.judgement()),
        judged ? av.assessment.verdict.summary : av.assessment.refusal,
    };
    for (std::size_t f = 0; f < std::size(summary); ++f) {
      if (f > 0) rows.summaries += '\t';
      copyField(rows.summaries, summary[f]);
    }
    rows.summaries += '\n';
  }
  rows.readings.reserve(j.readings.size() * 64);
  for (const job::JobReading& r : j.readings) {
    rows.readings += key;
    rows.readings += std::to_string(r.num);
    rows.readings += '\t';
    rows.readings += r.date ? isoText(*r.date, ' ') : std::string(kCopyNull);
    rows.readings += '\t';
    rows.readings += numberText(r.h);
    rows.readings += '\t';
    copyField(rows.readings, r.note);
    rows.readings += '\n';
  }
  return rows;
}

}  // namespace korsi::company
