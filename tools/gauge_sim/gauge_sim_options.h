#pragma once
// Command line of korsi7-gauge-sim (docs/gauge-simulator.md lists the
// options).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "simulator/gauge_protocol.h"

namespace korsi::sim {

struct ProgramOptions {
  std::size_t count = 20;
  std::uint64_t seed = 1;
  std::optional<std::string> csvPath;
  GaugeFaults faults;
  bool verbose = false;
  bool help = false;
};

// Reads the arguments after the program name ("--name value" or
// "--name=value"). Nothing, with *error set, on an unknown option or a value
// out of range.
std::optional<ProgramOptions> parseProgramOptions(const std::vector<std::string>& args, std::string* error);

std::string usageText();

}  // namespace korsi::sim
