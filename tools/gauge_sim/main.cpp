// korsi7-gauge-sim: the КОРСИ-7 gauge on a pseudo-terminal, for trying the
// program and its tests without the instrument.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "simulator/gauge_archive.h"
#include "tools/gauge_sim/gauge_sim_options.h"
#include "simulator/gauge_simulator.h"

int main(int argc, char** argv) {
  using namespace korsi::sim;
  std::string error;
  const auto options = parseProgramOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options) {
    std::cerr << "korsi7-gauge-sim: " << error << "\n" << usageText();
    return 2;
  }
  if (options->help) {
    std::cout << usageText();
    return 0;
  }

  SimulatorConfig config;
  config.faults = options->faults;
  config.seed = options->seed;
  if (options->csvPath) {
    auto archive = loadArchiveCsv(*options->csvPath, &error);
    if (!archive) {
      std::cerr << "korsi7-gauge-sim: " << error << "\n";
      return 1;
    }
    config.archive = std::move(*archive);
  } else {
    config.archive = generateArchive(options->count, options->seed);
  }

  // The signals are taken by sigwait below; blocked before the simulator's
  // thread starts, so that thread inherits the mask and never gets them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  GaugeSimulator gauge(std::move(config));
  if (options->verbose) {
    gauge.setTrace([](std::string_view line) { std::cerr << line << std::endl; });
  }
  try {
    gauge.start();
  } catch (const std::system_error& e) {
    std::cerr << "korsi7-gauge-sim: cannot open a pseudo-terminal: " << e.what() << "\n";
    return 1;
  }
  std::cout << gauge.devicePath() << std::endl;

  int signal = 0;
  sigwait(&stopSignals, &signal);
  gauge.stop();
  return 0;
}
