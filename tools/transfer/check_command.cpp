#include "tools/transfer/check_command.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <filesystem>

#include "inspection/job_file.h"
#include "tools/transfer/check_job.h"
#include "tools/transfer/check_report.h"
#include "tools/transfer/thickness_file.h"
#include "tools/transfer/transfer_options.h"

namespace korsi::transfer {

namespace {

namespace in = korsi::inspection;

ParsedCheck failure(std::string error) {
  ParsedCheck parsed;
  parsed.error = std::move(error);
  return parsed;
}

// A thickness in micrometres above zero, with a decimal point or comma.
std::optional<double> micrometres(std::string text) {
  std::replace(text.begin(), text.end(), ',', '.');
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value) ||
      value <= 0.0) {
    return std::nullopt;
  }
  return value;
}

// A whole number from `lowest` to `highest`.
std::optional<std::size_t> wholeNumber(const std::string& text, std::size_t lowest, std::size_t highest) {
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value < lowest ||
      value > highest) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

ParsedCheck parseCheckCommandLine(const std::vector<std::string>& args) {
  ParsedCheck parsed;
  CheckOptions& o = parsed.options;
  bool rule = false;
  bool ndft = false;
  bool minimum = false;
  bool sspcOnly = false;  // --level or --spot-size given
  std::string entry;      // the first option other than --json, for a job file
  for (std::size_t i = 0; i < args.size(); ++i) {
    auto [name, value] = splitOptionWord(args[i]);
    if (name == "--help" || name == "-h") {
      parsed.action = ParsedCheck::Action::Help;
      return parsed;
    }
    if (!name.starts_with("-")) {
      if (!o.file.empty()) return failure("check takes one FILE; unexpected argument " + name);
      o.file = name;
      continue;
    }
    const bool takesValue = name == "--rule" || name == "--ndft" || name == "--min" || name == "--max" ||
                            name == "--roughness" || name == "--level" || name == "--spot-size" ||
                            name == "--surface" || name == "--kind";
    if (takesValue && !value) {
      if (i + 1 >= args.size()) return failure(name + " needs a value");
      value = args[++i];
    } else if (!takesValue && value) {
      return failure(name + " takes no value");
    }
    if (name != "--json" && entry.empty()) entry = name;
    if (name == "--rule") {
      if (*value == "iso19840") {
        o.rule = in::Rule::Iso19840;
      } else if (*value == "pspc") {
        o.rule = in::Rule::Pspc9010;
      } else if (*value == "sspc-pa2") {
        o.rule = in::Rule::SspcPa2;
      } else {
        return failure("--rule " + *value + ": iso19840, pspc or sspc-pa2 is expected");
      }
      rule = true;
    } else if (name == "--ndft") {
      const auto v = micrometres(*value);
      if (!v) return failure("--ndft " + *value + ": a thickness in micrometres above zero is expected");
      o.ndftMicrometres = *v;
      ndft = true;
    } else if (name == "--min") {
      const auto v = micrometres(*value);
      if (!v) return failure("--min " + *value + ": a thickness in micrometres above zero is expected");
      o.ndftMicrometres = *v;
      minimum = true;
    } else if (name == "--level") {
      const auto v = wholeNumber(*value, 1, in::kSspcLevels.size());
      if (!v) return failure("--level " + *value + ": a level from 1 to 5 is expected");
      o.level = static_cast<int>(*v);
      sspcOnly = true;
    } else if (name == "--spot-size") {
      const auto v = wholeNumber(*value, in::kSmallestSpotSize, in::kLargestSpotSize);
      if (!v) {
        return failure("--spot-size " + *value + ": a number of readings from " +
                       std::to_string(in::kSmallestSpotSize) + " to " + std::to_string(in::kLargestSpotSize) +
                       " is expected");
      }
      o.spotSize = *v;
      sspcOnly = true;
    } else if (name == "--surface") {
      const auto v = micrometres(*value);
      if (!v) return failure("--surface " + *value + ": an area in square metres above zero is expected");
      o.surfaceM2 = v;
    } else if (name == "--kind") {
      if (*value == "flat") {
        o.surfaceKind = in::SurfaceKind::Flat;
      } else if (*value == "complex") {
        o.surfaceKind = in::SurfaceKind::Complex;
      } else {
        return failure("--kind " + *value + ": flat or complex is expected");
      }
    } else if (name == "--max") {
      const auto v = micrometres(*value);
      if (!v) return failure("--max " + *value + ": a thickness in micrometres above zero is expected");
      o.maximumMicrometres = v;
    } else if (name == "--roughness") {
      if (*value == "none") {
        o.roughness = in::Roughness::None;
      } else if (*value == "fine") {
        o.roughness = in::Roughness::Fine;
      } else if (*value == "medium") {
        o.roughness = in::Roughness::Medium;
      } else if (*value == "coarse") {
        o.roughness = in::Roughness::Coarse;
      } else if (*value == "unknown") {
        o.roughness = in::Roughness::UnknownProfile;
      } else {
        return failure("--roughness " + *value + ": fine, medium, coarse or unknown is expected");
      }
    } else if (name == "--json") {
      o.json = true;
    } else {
      return failure("unknown option " + name + " of check");
    }
  }
  if (o.file.empty()) return failure("check needs a FILE (.ks, .xml or .csv) or a JOB (.kjob)");
  std::string extension = std::filesystem::path(o.file).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == job::kJobFileExtension || job::looksLikeJobFile(o.file)) {
    if (!entry.empty()) return failure(entry + ": a job file brings its own rules and limits; only --json goes with it");
    o.job = true;
    parsed.action = ParsedCheck::Action::Run;
    return parsed;
  }
  if (!rule) return failure("check needs --rule iso19840, pspc or sspc-pa2");
  if (o.rule == in::Rule::SspcPa2) {
    if (ndft) return failure("--ndft is not of sspc-pa2; give the required minimum as --min UM");
    if (!minimum) return failure("check --rule sspc-pa2 needs --min UM, the required minimum in micrometres");
  } else {
    if (minimum) return failure("--min is of sspc-pa2 only; give --ndft UM");
    if (sspcOnly) return failure("--level and --spot-size are of sspc-pa2 only");
    if (!ndft) return failure("check needs --ndft UM, the nominal dry film thickness in micrometres");
    if (o.rule == in::Rule::Pspc9010 && o.surfaceM2.has_value() != o.surfaceKind.has_value()) {
      return failure("--surface and --kind go together with --rule pspc");
    }
  }
  if (o.surfaceKind && o.rule != in::Rule::Pspc9010) return failure("--kind is of pspc only");
  if (o.maximumMicrometres && *o.maximumMicrometres < o.ndftMicrometres) {
    return failure(o.rule == in::Rule::SspcPa2 ? "--max is below --min" : "--max is below --ndft");
  }
  parsed.action = ParsedCheck::Action::Run;
  return parsed;
}

const char* checkRuleWord(in::Rule rule) {
  switch (rule) {
    case in::Rule::Pspc9010:
      return "pspc";
    case in::Rule::SspcPa2:
      return "sspc-pa2";
    case in::Rule::Iso19840:
      break;
  }
  return "iso19840";
}

int runCheck(const CheckOptions& o, std::FILE* out, std::FILE* err, const std::atomic<bool>* stop) {
  if (o.job) return runJobCheck(o.file, o.json, out, err, stop);
  const ThicknessRows file = readThicknessFile(o.file);
  if (stop && stop->load()) {
    std::fprintf(err, "%s: %s: interrupted\n", kProgramName, o.file.c_str());
    return kExitInterrupted;
  }
  if (!file.ok()) {
    std::fprintf(err, "%s: %s\n", kProgramName, file.error.c_str());
    return kCheckUsage;
  }
  CheckReport report{o, file.rows, 0, {}};
  CheckedArea& area = report.areas.emplace_back();
  std::vector<double> readings;
  for (std::size_t r = 0; r < file.rows.size(); ++r) {
    if (!file.rows[r].h) {
      ++report.rowsWithoutThickness;
      continue;
    }
    readings.push_back(*file.rows[r].h);
    area.rows.push_back(r);
  }
  in::Entries entries{o.rule, o.ndftMicrometres, o.maximumMicrometres, o.roughness, in::Unit::Micrometre};
  entries.level = o.level;
  entries.spotSize = o.spotSize;
  if (o.surfaceM2) entries.surface = in::squareMetresSurface(*o.surfaceM2);
  entries.surfaceKind = o.surfaceKind;
  in::Assessment a = in::assess(readings, entries);
  if (!a.ok()) {
    std::string reason = a.refusal;
    if (a.refusedReading) {
      const std::size_t row = area.rows[*a.refusedReading];
      reason += file.rows[row].num ? " (№ " + std::to_string(*file.rows[row].num) + ")"
                                   : " (строка " + std::to_string(row + 1) + ")";
    }
    std::fprintf(err, "%s: %s: нет вердикта: %s\n", kProgramName, o.file.c_str(), reason.c_str());
    return kCheckUsage;
  }
  area.verdict = std::move(a.verdict);
  if (o.json) {
    printCheckJson(out, report);
  } else {
    printCheckText(out, report);
  }
  switch (overallJudgement(report)) {
    case in::Judgement::Pass:
      return kCheckPass;
    case in::Judgement::Fail:
    case in::Judgement::TooFewMeasurements:
      return kCheckFail;
    case in::Judgement::NotApplicable:
      break;
  }
  return kCheckUsage;
}

int checkCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, const std::atomic<bool>* stop) {
  const ParsedCheck parsed = parseCheckCommandLine(args);
  switch (parsed.action) {
    case ParsedCheck::Action::Help:
      std::fputs(checkHelpText().c_str(), out);
      return kCheckPass;
    case ParsedCheck::Action::Error:
      std::fprintf(err, "%s: %s (see %s check --help)\n", kProgramName, parsed.error.c_str(), kProgramName);
      return kCheckUsage;
    case ParsedCheck::Action::Run:
      break;
  }
  return runCheck(parsed.options, out, err, stop);
}

std::string checkHelpText() {
  return R"(Usage:
  korsi7-transfer check FILE --rule iso19840|pspc --ndft UM [--max UM]
                  [--surface M2] [--kind flat|complex] [--roughness fine|medium|coarse|unknown] [--json]
  korsi7-transfer check FILE --rule sspc-pa2 --min UM [--max UM] [--level 1..5]
                  [--spot-size N] [--surface M2] [--roughness ...] [--json]
  korsi7-transfer check JOB [--json]

Judges the coat from the thicknesses of a saved archive (.ks, .xml or .csv
as korsi7-transfer read writes it), as the desktop program's window
"Статистика и приёмка" does, and prints the statistics, every criterion with
the figures behind it and the verdict (in Russian, as the window shows them).
The readings of the file are one area.

A JOB is a job file (.kjob) saved by the desktop program's inspection window:
it holds its header, its areas with their measurement numbers, rules and
limits, and a copy of the readings. Every area is judged by its own rule and
the job as a whole; with --json the object holds the job's header, one
object per area (its name, numbers, rule and the figures as above; an area
without a verdict has "judgement": null and says why) and the verdict of the
whole job.

  --rule iso19840   ISO 19840: (a) mean >= NDFT; (b) every reading >= 80 % of
                    NDFT; (c) readings from 80 % up to 100 % of NDFT fewer than
                    20 %; (d) every reading <= the maximum. Does not apply
                    under an NDFT of 40 um
  --rule pspc       IMO PSPC 90/10: at least 90 % of the readings >= NDFT, none
                    of the others below 90 % of NDFT; every reading <= the
                    maximum
  --rule sspc-pa2   SSPC-PA 2: spots of N consecutive readings, each spot the
                    mean of its readings, at least 5 spots to the area; every
                    spot within the level's share of the minimum and maximum;
                    the area's mean (of its spots) from the minimum to the
                    maximum; single readings are not limited
  --ndft UM         nominal dry film thickness in micrometres (iso19840, pspc)
  --min UM          required minimum thickness in micrometres (sspc-pa2)
  --max UM          maximum thickness in micrometres (without it, nothing is
                    checked from above, and the report says so)
  --level L         sspc-pa2 restriction level, spot minimum / maximum as a
                    share of the required minimum / maximum: 1 = 100/100 %,
                    2 = 100/120 %, 3 = 80/120 % (default), 4 = 80/150 %,
                    5 = 80 % / no limit
  --spot-size N     sspc-pa2 readings to a spot, 3 to 1000 (default 3);
                    readings after the last whole spot are not judged
  --surface M2      the area's surface in square metres: iso19840 asks for
                    5 readings up to 1 m2, 10 up to 3, 15 up to 10, 20 up to
                    30, 30 up to 100 and 10 more for each further 100 m2 or
                    part; sspc-pa2 asks for one area for each 10 m2 or part
                    under 30 m2, three from 30 to 100 m2, and one more for each
                    further 100 m2 or part (so one set of readings covers at
                    most 10 m2); pspc, with --kind, asks on a flat surface for
                    one reading for each 5 m2 or part, on a complex one for 5
                    readings per m2, rounded up, and at least 3 (the sets
                    along stiffeners, every 2 to 3 m, are not counted).
                    Without it no sample size is asked
  --kind K          pspc: the surface is flat or complex
  --roughness R     fine (10 um), medium (25 um), coarse (40 um) or unknown (an
                    unknown profile, 25 um), taken from every reading first;
                    none by default
  --json            one JSON object: the entries, one object per area (its
                    statistics, spots, criteria, failing readings and
                    verdict) and the verdict of the whole ("judgement": pass,
                    fail, too_few_measurements or not_applicable)

Rows without a thickness are left out. Every limit is compared exactly, to
the nanometre, and no figure is rounded onto a limit it is not on.

Ctrl+C (SIGINT) or SIGTERM stops the reading of a job file at once.

Exit status:
  0    the coat passes (for a JOB: every area passes)
  1    the coat (an area) fails, or there are too few measurements
       ("недостаточно измерений"); a reading below the floor or above the
       maximum, or an sspc-pa2 spot out of its range, fails however few the
       readings, and a job with a failing area fails
  2    usage, or no verdict: a file that cannot be read (a job file that is
       damaged, of a newer version or misses a reading), no readings, a
       reading that is not a number, an area without entries, a rule that
       does not apply
  130  interrupted by SIGINT or SIGTERM
)";
}

}  // namespace korsi::transfer
