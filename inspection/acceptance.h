#pragma once
// Acceptance of a coat from its thickness readings by one of three rules:
//
// ISO 19840, with the nominal dry film thickness NDFT and an optional maximum:
//   (a) the mean is at least NDFT;
//   (b) every reading is at least 80 % of NDFT;
//   (c) readings from 80 % up to (not including) 100 % of NDFT are fewer than
//       20 % of all readings;
//   (d) every reading is at most the maximum (not checked without one).
//   The rule does not apply under an NDFT of 40 µm. With the area's surface,
//   the readings must be as many as the surface needs (sampling.h).
// IMO PSPC "90/10", with NDFT and an optional maximum:
//   at least 90 % of the readings are at least NDFT; none of the others is
//   below 90 % of NDFT; every reading is at most the maximum. With the
//   area's surface and its kind (flat or complex), the readings must be as
//   many as the surface needs.
// SSPC-PA 2, with a required minimum and maximum, a restriction level and a
//   spot size: see sspc_pa2.h.
//
// A roughness correction (fine 10 µm, medium 25 µm, coarse 40 µm, an unknown
// profile 25 µm) or a correction measured on the blasted surface is taken
// from every reading first; the statistics and all criteria are of the
// corrected readings. The stored readings never change.
//
// Every limit is compared in whole nanometres with integer arithmetic
// (80 % of NDFT as 10 x reading >= 8 x NDFT), so a reading on a limit is on
// it, not a rounding error away. The words are Russian, as the program's.
//
// A criterion that more readings cannot cure (a single reading below the
// floor or above the maximum, a spot out of its range) fails the area
// whatever the count; too few measurements is the verdict only when nothing
// failed that way.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "inspection/sspc_pa2.h"
#include "inspection/surface.h"
#include "inspection/thickness_statistics.h"
#include "inspection/thickness_units.h"

namespace korsi::inspection {

enum class Rule { Iso19840, Pspc9010, SspcPa2 };
// An unknown profile is corrected as a medium one, by 25 µm.
enum class Roughness { None, Fine, Medium, Coarse, UnknownProfile };

// "ISO 19840", "IMO PSPC 90/10", "SSPC-PA 2".
const char* ruleName(Rule rule);
// The rule with the edition this program judges by: "ISO 19840:2012",
// "IMO PSPC (MSC.215(82), 2006)", "SSPC-PA 2 (2018)".
const char* ruleEdition(Rule rule);
// The rule with what it applied: "ISO 19840", or for SSPC-PA 2 the level and
// its percentages, "SSPC-PA 2, уровень 3 (пятна от 80 % минимума до 120 %
// максимума)", so a reader sees at once what was used.
struct Verdict;
std::string ruleTitle(const Verdict& verdict);
// 0, 10, 25, 40 or 25 µm.
Nanometres roughnessCorrection(Roughness roughness);
// "нет", "мелкая", "средняя", "грубая", "профиль неизвестен".
const char* roughnessName(Roughness roughness);

// What the user enters. NDFT (for SSPC-PA 2 the required minimum) and the
// maximum are in `unit`, which is also the unit of the words.
struct Entries {
  Entries() = default;
  // The entries every rule takes; the rest keep their defaults.
  Entries(Rule r, double nominal, std::optional<double> max, Roughness rough, Unit u)
      : rule(r), ndft(nominal), maximum(max), roughness(rough), unit(u) {}

  Rule rule = Rule::Iso19840;
  double ndft = 0.0;
  std::optional<double> maximum;
  Roughness roughness = Roughness::None;
  Unit unit = Unit::Micrometre;
  // A correction measured on the blasted surface, in `unit`; it replaces the
  // roughness grade's.
  std::optional<double> measuredCorrection;
  // SSPC-PA 2 only.
  int level = kDefaultSspcLevel;
  std::size_t spotSize = kDefaultSpotSize;
  // The area's surface; without it no sample size is required. IMO PSPC
  // also needs its kind.
  std::optional<Surface> surface;
  std::optional<SurfaceKind> surfaceKind;
};

enum class Outcome { Pass, Fail, NotChecked };

struct Criterion {
  std::string label;        // "(a)" ... "(d)"; "90 %", "10 %", "максимум"
  std::string requirement;  // what the rule asks
  Outcome outcome = Outcome::NotChecked;
  std::string figures;  // the figures behind the outcome
  // A failure that more readings cannot undo: a single reading below the
  // floor or above the maximum, a spot out of its range.
  bool definite = false;
};

// How one reading stands against the rule.
enum class ReadingMark {
  Ok,
  BelowNominal,  // under NDFT but within what the rule tolerates in number
  BelowMinimum,  // under 80 % (ISO 19840) or 90 % (PSPC) of NDFT: fails by itself
  AboveMaximum,  // over the maximum: fails by itself
};

// The verdict as a whole. Too few measurements is never a pass, and a
// definite failure is a failure however few the measurements; a rule that
// does not apply judges nothing.
enum class Judgement { Pass, Fail, TooFewMeasurements, NotApplicable };

struct Verdict {
  Rule rule = Rule::Iso19840;
  Unit unit = Unit::Micrometre;
  Judgement judgement = Judgement::Fail;
  bool pass = false;    // judgement == Pass
  std::string summary;  // "Соответствует ISO 19840", "Не соответствует ...: не выполнено (b), (c)"
  // How many measurements the surface needs against how many there are, or
  // why none are required.
  std::string sampling;
  // What the inspector should do next, in a sentence or two; empty when
  // nothing: more spots around a spot out of range (SSPC-PA 2), the sets
  // along stiffeners (IMO PSPC with a surface).
  std::string advice;
  std::vector<Criterion> criteria;
  Nanometres ndft = 0;
  std::optional<Nanometres> maximum;
  Nanometres correction = 0;
  std::string correctionText;  // empty without a correction
  std::vector<Nanometres> readings;  // corrected, in input order
  Statistics statistics;             // of the corrected readings
  std::vector<ReadingMark> marks;    // one per reading
  std::vector<std::size_t> failing;  // readings that fail by themselves, in input order
  std::optional<SspcSpots> sspc;     // SSPC-PA 2 only
};

// A verdict, or why there can be none (a text for the user).
struct Assessment {
  Verdict verdict;
  std::string refusal;
  // The reading (0-based, input order) that caused the refusal, if one did.
  std::optional<std::size_t> refusedReading;
  bool ok() const { return refusal.empty(); }
};

// The readings in millimetres taken from every reading the correction,
// with their statistics: what a rule judges, and what the window shows
// before NDFT is entered. Refuses as assess does a reading that is not a
// finite number (or is beyond kLargestReadingMm) and a measured correction
// that is not a number at least zero; an empty set has count 0.
struct CorrectedReadings {
  std::vector<Nanometres> readings;
  Statistics statistics;
  Nanometres correction = 0;
  std::string correctionText;  // empty without a correction
  std::string refusal;
  std::optional<std::size_t> refusedReading;
  bool ok() const { return refusal.empty(); }
};
CorrectedReadings correctReadings(std::span<const double> readingsMm, const Entries& entries);

// Judges readings in millimetres, as one area. Refuses an empty set, a
// reading that is not a finite number (or is beyond kLargestReadingMm), an
// NDFT that is not above zero, a maximum that is not a number or lies below
// NDFT, a surface that is not above zero, and for SSPC-PA 2 a level or spot
// size it does not know.
Assessment assess(std::span<const double> readingsMm, const Entries& entries);

// A limit the histogram draws, of the rule in force.
struct LimitLine {
  enum class Kind { Lower, Nominal, Upper };
  std::string name;  // "80 % NDFT", "NDFT", "Максимум", "пятно 80 % минимума"
  double nanometres = 0.0;
  Kind kind = Kind::Lower;
};
// ISO 19840: 80 % and 100 % of NDFT and the maximum; IMO PSPC 90/10: 90 % and
// 100 % of NDFT and the maximum; SSPC-PA 2: the spot limits of the level.
std::vector<LimitLine> limitLines(const Verdict& verdict);

// The positions of limitLines, for textBesideLimits.
std::vector<double> limitPositions(const Verdict& verdict);

// "pass", "fail", "too_few_measurements", "not_applicable".
const char* judgementWord(Judgement judgement);

// Sets the judgement and the summary from the criteria; a shortage of
// measurements (empty: enough) makes it too few unless a definite
// criterion failed.
// `title` names the rule: "ISO 19840", "SSPC-PA 2, уровень 3".
void settleVerdict(Verdict& verdict, const std::string& title, const std::string& shortage);

// The outcome in the words the window, the record and the command line show.
const char* outcomeText(Outcome outcome);

// "1 замер", "2 замера", "5 замеров".
std::string readingsCount(std::size_t n);

}  // namespace korsi::inspection
