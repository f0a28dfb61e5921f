#include "tools/transfer/check_command.h"

#include <algorithm>
#include <charconv>
#include <cmath>

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

// Shortest text that reads back to the same value; null for nothing.
std::string jsonNumber(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) return "null";
  char text[64];
  const auto [end, error] = std::to_chars(text, text + sizeof text, *value);
  return error == std::errc{} ? std::string(text, end) : "null";
}

double um(double nanometres) { return nanometres / 1000.0; }

const char* ruleWord(in::Rule rule) { return rule == in::Rule::Pspc9010 ? "pspc" : "iso19840"; }

const char* roughnessWord(in::Roughness roughness) {
  switch (roughness) {
    case in::Roughness::Fine:
      return "fine";
    case in::Roughness::Medium:
      return "medium";
    case in::Roughness::Coarse:
      return "coarse";
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

void printText(std::FILE* out, const CheckOptions& o, const std::vector<ThicknessRow>& rows,
               const std::vector<std::size_t>& inspected, int withoutThickness, const in::Verdict& v) {
  const in::Statistics& s = v.statistics;
  std::fprintf(out, "Файл: %s\n", o.file.c_str());
  std::fprintf(out, "Правило: %s; NDFT %s; максимум %s; шероховатость: %s\n", in::ruleName(v.rule),
               thickness(static_cast<double>(v.ndft)).c_str(),
               v.maximum ? thickness(static_cast<double>(*v.maximum)).c_str() : "не задан",
               in::roughnessName(o.roughness));
  if (!v.correctionText.empty()) std::fprintf(out, "Поправка: %s\n", v.correctionText.c_str());
  std::fprintf(out, "Замеров: %zu", s.count);
  if (withoutThickness > 0) std::fprintf(out, " (строк без толщины пропущено: %d)", withoutThickness);
  std::fprintf(out, "\n");
  std::fprintf(out, "Среднее %s мкм, наименьший %s, наибольший %s, стандартное отклонение %s, "
               "коэффициент вариации %s\n",
               in::roundedText(s.mean, in::Unit::Micrometre).c_str(), thickness(static_cast<double>(s.minimum)).c_str(),
               thickness(static_cast<double>(s.maximum)).c_str(),
               s.standardDeviation ? (in::roundedText(*s.standardDeviation, in::Unit::Micrometre) + " мкм").c_str()
                                   : "—",
               s.coefficientOfVariation ? (in::fixedText(*s.coefficientOfVariation, 1) + " %").c_str() : "—");
  for (const in::Criterion& c : v.criteria) {
    std::fprintf(out, "%s %s: %s — %s\n", c.label.c_str(), in::outcomeText(c.outcome), c.requirement.c_str(),
                 c.figures.c_str());
  }
  if (!v.failing.empty()) {
    std::string names;
    for (std::size_t i : v.failing) {
      names += (names.empty() ? "" : ", ") + readingName(rows, inspected[i]) + " (" +
               thickness(static_cast<double>(v.readings[i])) + ")";
    }
    std::fprintf(out, "Не прошли по отдельности: %s\n", names.c_str());
  }
  std::fprintf(out, "%s\n", v.summary.c_str());
}

void printJson(std::FILE* out, const CheckOptions& o, const std::vector<ThicknessRow>& rows,
               const std::vector<std::size_t>& inspected, int withoutThickness, const in::Verdict& v) {
  const in::Statistics& s = v.statistics;
  std::string j = "{";
  j += "\"file\":" + jsonString(o.file);
  j += ",\"rule\":" + jsonString(ruleWord(v.rule));
  j += ",\"ndft_um\":" + jsonNumber(um(static_cast<double>(v.ndft)));
  j += ",\"max_um\":" + jsonNumber(v.maximum ? std::optional(um(static_cast<double>(*v.maximum))) : std::nullopt);
  j += ",\"roughness\":" + jsonString(roughnessWord(o.roughness));
  j += ",\"correction_um\":" + jsonNumber(um(static_cast<double>(v.correction)));
  j += ",\"readings\":" + std::to_string(s.count);
  j += ",\"rows_without_thickness\":" + std::to_string(withoutThickness);
  j += ",\"statistics\":{\"mean_um\":" + jsonNumber(um(s.mean)) +
       ",\"min_um\":" + jsonNumber(um(static_cast<double>(s.minimum))) +
       ",\"max_um\":" + jsonNumber(um(static_cast<double>(s.maximum))) + ",\"standard_deviation_um\":" +
       jsonNumber(s.standardDeviation ? std::optional(um(*s.standardDeviation)) : std::nullopt) +
       ",\"coefficient_of_variation_percent\":" + jsonNumber(s.coefficientOfVariation) + "}";
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
    const std::size_t row = inspected[i];
    j += std::string(k ? "," : "") + "{\"row\":" + std::to_string(row + 1) +
         ",\"num\":" + (rows[row].num ? std::to_string(*rows[row].num) : "null") +
         ",\"thickness_um\":" + jsonNumber(um(static_cast<double>(v.readings[i]))) +
         ",\"why\":" + jsonString(markWord(v.marks[i])) + "}";
  }
  j += "],\"pass\":" + std::string(v.pass ? "true" : "false");
  j += ",\"verdict\":" + jsonString(v.summary) + "}\n";
  std::fputs(j.c_str(), out);
}

}  // namespace

ParsedCheck parseCheckCommandLine(const std::vector<std::string>& args) {
  ParsedCheck parsed;
  CheckOptions& o = parsed.options;
  bool rule = false;
  bool ndft = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> value;
    if (const auto equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "--help" || name == "-h") {
      parsed.action = ParsedCheck::Action::Help;
      return parsed;
    }
    if (!name.starts_with("-")) {
      if (!o.file.empty()) return failure("check takes one FILE; unexpected argument " + name);
      o.file = name;
      continue;
    }
    const bool takesValue = name == "--rule" || name == "--ndft" || name == "--max" || name == "--roughness";
    if (takesValue && !value) {
      if (i + 1 >= args.size()) return failure(name + " needs a value");
      value = args[++i];
    } else if (!takesValue && value) {
      return failure(name + " takes no value");
    }
    if (name == "--rule") {
      if (*value == "iso19840") {
        o.rule = in::Rule::Iso19840;
      } else if (*value == "pspc") {
        o.rule = in::Rule::Pspc9010;
      } else {
        return failure("--rule " + *value + ": iso19840 or pspc is expected");
      }
      rule = true;
    } else if (name == "--ndft") {
      const auto v = micrometres(*value);
      if (!v) return failure("--ndft " + *value + ": a thickness in micrometres above zero is expected");
      o.ndftMicrometres = *v;
      ndft = true;
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
      } else {
        return failure("--roughness " + *value + ": fine, medium or coarse is expected");
      }
    } else if (name == "--json") {
      o.json = true;
    } else {
      return failure("unknown option " + name + " of check");
    }
  }
  if (o.file.empty()) return failure("check needs a FILE (.ks, .xml or .csv)");
  if (!rule) return failure("check needs --rule iso19840 or --rule pspc");
  if (!ndft) return failure("check needs --ndft UM, the nominal dry film thickness in micrometres");
  if (o.maximumMicrometres && *o.maximumMicrometres < o.ndftMicrometres) {
    return failure("--max is below --ndft");
  }
  parsed.action = ParsedCheck::Action::Run;
  return parsed;
}

int runCheck(const CheckOptions& o, std::FILE* out, std::FILE* err) {
  const ThicknessRows file = readThicknessFile(o.file);
  if (!file.ok()) {
    std::fprintf(err, "%s: %s\n", kProgramName, file.error.c_str());
    return kCheckUsage;
  }
  std::vector<double> readings;
  std::vector<std::size_t> inspected;  // the file's row of each reading
  int withoutThickness = 0;
  for (std::size_t r = 0; r < file.rows.size(); ++r) {
    if (!file.rows[r].h) {
      ++withoutThickness;
      continue;
    }
    readings.push_back(*file.rows[r].h);
    inspected.push_back(r);
  }
  const in::Entries entries{o.rule, o.ndftMicrometres, o.maximumMicrometres, o.roughness, in::Unit::Micrometre};
  const in::Assessment a = in::assess(readings, entries);
  if (!a.ok()) {
    std::string reason = a.refusal;
    if (a.refusedReading) reason += " (" + readingName(file.rows, inspected[*a.refusedReading]) + ")";
    std::fprintf(err, "%s: %s: нет вердикта: %s\n", kProgramName, o.file.c_str(), reason.c_str());
    return kCheckUsage;
  }
  if (o.json) {
    printJson(out, o, file.rows, inspected, withoutThickness, a.verdict);
  } else {
    printText(out, o, file.rows, inspected, withoutThickness, a.verdict);
  }
  return a.verdict.pass ? kCheckPass : kCheckFail;
}

int checkCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
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
  return runCheck(parsed.options, out, err);
}

std::string checkHelpText() {
  return R"(Usage:
  korsi7-transfer check FILE --rule iso19840|pspc --ndft UM [--max UM]
                  [--roughness fine|medium|coarse] [--json]

Judges the coat from the thicknesses of a saved archive (.ks, .xml or .csv
as korsi7-transfer read writes it), as the desktop program's window
"Статистика и приёмка" does, and prints the statistics, every criterion with
the figures behind it and the verdict (in Russian, as the window shows them).

  --rule iso19840   ISO 19840: (a) mean >= NDFT; (b) every reading >= 80 % of
                    NDFT; (c) readings from 80 % up to 100 % of NDFT fewer than
                    20 %; (d) every reading <= the maximum
  --rule pspc       IMO PSPC 90/10: at least 90 % of the readings >= NDFT, none
                    of the others below 90 % of NDFT; every reading <= the
                    maximum
  --ndft UM         nominal dry film thickness in micrometres
  --max UM          maximum thickness in micrometres (without it, the maximum
                    is not checked)
  --roughness R     fine (10 um), medium (25 um) or coarse (40 um), taken from
                    every reading first; none by default
  --json            one JSON object: entries, statistics, criteria, the
                    failing readings and the verdict

Rows without a thickness are left out. Every limit is compared exactly, to
the nanometre.

Exit status:
  0    the coat passes
  1    the coat fails
  2    usage, or no verdict: a file that cannot be read, no readings, a
       reading that is not a number
)";
}

}  // namespace korsi::transfer
