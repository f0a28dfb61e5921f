// korsi7-soak: reads the simulated gauge's whole archive through the real
// serial path while the gauge shows its faults together, and prints the
// figures: measurements read, faults injected, losses. Exit status 0 when
// nothing was lost.
//   korsi7-soak [--count N] [--seed S] [--fast] [--slow]
// (default 10000 measurements, seed 1; --fast: the master's fast exchange;
// --slow: the gauge also answers 25 ms late and its split replies pause 20 ms)
#include <charconv>
#include <cstring>
#include <iostream>
#include <string_view>

#include "tools/soak/soak.h"

namespace {

bool numberOf(std::string_view text, std::uint64_t* value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return !text.empty() && ec == std::errc{} && end == text.data() + text.size();
}

}  // namespace

int main(int argc, char** argv) {
  korsi::soak::SoakSettings settings;
  settings.faults = korsi::soak::combinedFaults();
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "--fast") {
      settings.fastExchange = true;
      continue;
    }
    if (name == "--slow") {
      settings.faults = korsi::soak::slowGaugeFaults();
      continue;
    }
    std::uint64_t value = 0;
    if ((name == "--count" || name == "--seed") && i + 1 < argc && numberOf(argv[i + 1], &value)) {
      if (name == "--count") {
        if (value > 65535) {
          std::cerr << "korsi7-soak: the gauge numbers at most 65535 measurements\n";
          return 2;
        }
        settings.count = static_cast<std::size_t>(value);
      } else {
        settings.seed = value;
      }
      ++i;
      continue;
    }
    std::cerr << "usage: korsi7-soak [--count N] [--seed S] [--fast] [--slow]\n";
    return 2;
  }

  std::cout << "Reading " << settings.count << " measurements with 10 % checksum faults, 5 % wrong numbers,\n"
            << "2 % stray bytes, 2 % split and 1 % late replies"
            << (settings.faults.delay.count() != 0 ? ", every reply 25 ms late, split ones pausing 20 ms" : "")
            << " (seed " << settings.seed << ")"
            << (settings.fastExchange ? ", fast exchange" : "") << std::endl;
  std::size_t shown = 0;
  const auto figures = korsi::soak::runSoak(settings, [&shown](const korsi::soak::SoakFigures& f) {
    if (f.rowsRead >= shown + 1000) {
      shown = f.rowsRead - f.rowsRead % 1000;
      std::cout << "  " << f.rowsRead << " read" << std::endl;
    }
  });
  std::cout << korsi::soak::describe(figures);
  return figures.losses() == 0 && !figures.stuck && figures.rowsRead == figures.count ? 0 : 1;
}
