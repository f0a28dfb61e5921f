#pragma once
// Acceptance of a coat from its thickness readings by one of two rules:
//
// ISO 19840, with the nominal dry film thickness NDFT and an optional maximum:
//   (a) the mean is at least NDFT;
//   (b) every reading is at least 80 % of NDFT;
//   (c) readings from 80 % up to (not including) 100 % of NDFT are fewer than
//       20 % of all readings;
//   (d) every reading is at most the maximum (not checked without one).
// IMO PSPC "90/10", with NDFT and an optional maximum:
//   at least 90 % of the readings are at least NDFT; none of the others is
//   below 90 % of NDFT; every reading is at most the maximum.
//
// A roughness correction (fine 10 µm, medium 25 µm, coarse 40 µm) is taken
// from every reading first; the statistics and all criteria are of the
// corrected readings. The stored readings never change.
//
// Every limit is compared in whole nanometres with integer arithmetic
// (80 % of NDFT as 10 x reading >= 8 x NDFT), so a reading on a limit is on
// it, not a rounding error away. The words are Russian, as the program's.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "instrument/inspection/thickness_statistics.h"
#include "instrument/inspection/thickness_units.h"

namespace korsi::inspection {

enum class Rule { Iso19840, Pspc9010 };
enum class Roughness { None, Fine, Medium, Coarse };

// "ISO 19840", "IMO PSPC 90/10".
const char* ruleName(Rule rule);
// 0, 10, 25 or 40 µm.
Nanometres roughnessCorrection(Roughness roughness);
// "нет", "мелкая", "средняя", "грубая".
const char* roughnessName(Roughness roughness);

// What the user enters. NDFT and the maximum are in `unit`, which is also the
// unit of the words.
struct Entries {
  Rule rule = Rule::Iso19840;
  double ndft = 0.0;
  std::optional<double> maximum;
  Roughness roughness = Roughness::None;
  Unit unit = Unit::Micrometre;
};

enum class Outcome { Pass, Fail, NotChecked };

struct Criterion {
  std::string label;        // "(a)" ... "(d)"; "90 %", "10 %", "максимум"
  std::string requirement;  // what the rule asks
  Outcome outcome = Outcome::NotChecked;
  std::string figures;  // the figures behind the outcome
};

// How one reading stands against the rule.
enum class ReadingMark {
  Ok,
  BelowNominal,  // under NDFT but within what the rule tolerates in number
  BelowMinimum,  // under 80 % (ISO 19840) or 90 % (PSPC) of NDFT: fails by itself
  AboveMaximum,  // over the maximum: fails by itself
};

struct Verdict {
  Rule rule = Rule::Iso19840;
  Unit unit = Unit::Micrometre;
  bool pass = false;
  std::string summary;  // "Соответствует ISO 19840", "Не соответствует ...: не выполнено (b), (c)"
  std::vector<Criterion> criteria;
  Nanometres ndft = 0;
  std::optional<Nanometres> maximum;
  Nanometres correction = 0;
  std::string correctionText;  // empty without a correction
  std::vector<Nanometres> readings;  // corrected, in input order
  Statistics statistics;             // of the corrected readings
  std::vector<ReadingMark> marks;    // one per reading
  std::vector<std::size_t> failing;  // readings that fail by themselves, in input order
};

// A verdict, or why there can be none (a text for the user).
struct Assessment {
  Verdict verdict;
  std::string refusal;
  // The reading (0-based, input order) that caused the refusal, if one did.
  std::optional<std::size_t> refusedReading;
  bool ok() const { return refusal.empty(); }
};

// Judges readings in millimetres. Refuses an empty set, a reading that is not
// a finite number (or is beyond kLargestReadingMm), an NDFT that is not above
// zero, and a maximum that is not a number or lies below NDFT.
Assessment assess(std::span<const double> readingsMm, const Entries& entries);

// The outcome in the words the window, the record and the command line show.
const char* outcomeText(Outcome outcome);

// "1 замер", "2 замера", "5 замеров".
std::string readingsCount(std::size_t n);

}  // namespace korsi::inspection
