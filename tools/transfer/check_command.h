#pragma once
// korsi7-transfer check: the inspection verdict on a saved archive, the same
// as the desktop program's window "Статистика и приёмка" gives:
//
//   korsi7-transfer check FILE --rule iso19840|pspc --ndft UM [--max UM]
//                   [--surface M2 [--kind flat|complex]] [--roughness fine|medium|coarse] [--json]
//   korsi7-transfer check FILE --rule sspc-pa2 --min UM [--max UM]
//                   [--level 1..5] [--spot-size N] [--surface M2] ...
//   korsi7-transfer check JOB [--json]
//
// JOB is a job file (.kjob, or any name holding one), judged area by area
// by what it holds (check_job.h).
// FILE is .ks, .xml or .csv; its readings are one area. The verdict and its
// words are Russian, as in the window; --json gives them with the figures as
// one JSON object with one object per area and the verdict of the whole.
// Exit status 0 when the coat passes, 1 when it fails or has too few
// measurements, 2 for a wrong command line or when there is no verdict (a
// file that cannot be read, no readings, a reading that is not a number, a
// rule that does not apply), 130 when stopped by SIGINT or SIGTERM.

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "inspection/acceptance.h"

namespace korsi::transfer {

inline constexpr int kCheckPass = 0;
inline constexpr int kCheckFail = 1;
inline constexpr int kCheckUsage = 2;

struct CheckOptions {
  std::string file;
  inspection::Rule rule = inspection::Rule::Iso19840;
  double ndftMicrometres = 0.0;  // for SSPC-PA 2 the required minimum
  std::optional<double> maximumMicrometres;
  inspection::Roughness roughness = inspection::Roughness::None;
  int level = inspection::kDefaultSspcLevel;
  std::size_t spotSize = inspection::kDefaultSpotSize;
  std::optional<double> surfaceM2;
  std::optional<inspection::SurfaceKind> surfaceKind;  // pspc, with the surface
  bool json = false;
  bool job = false;  // FILE is a job file: it brings its own rules and limits
};

// "iso19840", "pspc", "sspc-pa2": as --rule takes them.
const char* checkRuleWord(inspection::Rule rule);

struct ParsedCheck {
  enum class Action { Run, Help, Error };
  Action action = Action::Error;
  CheckOptions options;
  std::string error;  // for Error: one line without the program's name
};

// Reads the arguments after "check".
ParsedCheck parseCheckCommandLine(const std::vector<std::string>& args);

// Judges the file; the report goes to `out`, a failure to `err` in one
// line. `stop`, set from another thread (the stop signals), ends the
// reading of a job file at once and the check with status 130, as read does.
int runCheck(const CheckOptions& options, std::FILE* out, std::FILE* err, const std::atomic<bool>* stop = nullptr);

// The whole subcommand from the arguments after "check": its exit status.
int checkCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                 const std::atomic<bool>* stop = nullptr);

std::string checkHelpText();

}  // namespace korsi::transfer
