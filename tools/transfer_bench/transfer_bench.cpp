// Measures korsi7-transfer as a user runs it: "read --all --port <gauge>" of
// the simulated gauge on a pseudo-terminal, the program started as a child
// process. Prints
//  1. the time from starting the program to the gauge seeing its first request;
//  2. the mean time per measurement (between consecutive measurement
//     requests) beside the 32 ms floor of the master's fixed waits, and their
//     ratio (target at most 1.02);
//  3. with --fast, the same time beside the wire time of request and reply
//     at 115200 bit/s plus the simulator's reply delay (target at most 1.25).
//
// With --find it measures "find --port <port>" instead, on a port whose
// device never answers (target at most 0.6 s, the search's fixed waits: 100
// ms after opening and ten 50 ms reply waits) and on one whose device sends
// all the time, as a GPS receiver or a modem may (target at most 4 s): the
// whole run of the program, from starting it to its end.
//
//   korsi7-transfer-bench [--count N] [--fast] [--delay MS] [--program PATH]
//   korsi7-transfer-bench --find [--program PATH]

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kFloorMs = 32.0;
// 8 request bytes and 18 reply bytes of 10 bits each (start, 8 data, stop).
constexpr double kWireMs = (8.0 + 18.0) * 10.0 / 115200.0 * 1000.0;

double msBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// Runs the program with args to its end, its output dropped; its exit
// status, or -1.
int runProgram(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& s : args) argv.push_back(s.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&quiet);
  if (spawned != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// "find --port" on a port whose device is silent, then on one that streams.
int measureFind(const std::string& program) {
  struct Line {
    const char* what;
    korsi::sim::GaugeFaults faults;
    double targetSeconds;
  };
  Line silent{"a silent device", {}, 0.6};
  silent.faults.silentAfter = 0;
  Line streaming{"a device that sends all the time", {}, 4.0};
  streaming.faults.streamAfter = 0;
  std::printf("korsi7-transfer find --port, one port with no gauge on it, the whole run:\n");
  for (const Line& line : {silent, streaming}) {
    korsi::sim::SimulatorConfig config;
    config.archive = korsi::sim::generateArchive(1, 1);
    config.faults = line.faults;
    korsi::sim::GaugeSimulator gauge(config);
    gauge.start();
    const auto started = Clock::now();
    const int status = runProgram({program, "find", "--quiet", "--port", gauge.devicePath()});
    const double seconds = msBetween(started, Clock::now()) / 1000.0;
    gauge.stop();
    if (status != 3) {
      std::fprintf(stderr, "korsi7-transfer find ended with status %d, not 3 (no gauge)\n", status);
      return 1;
    }
    std::printf("  %-34s %6.2f s   (target <= %.1f s)\n", line.what, seconds, line.targetSeconds);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t count = 500;
  bool fast = false;
  int delayMs = 0;
  std::string program = KORSI_TRANSFER_PROGRAM;
  bool find = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--find") {
      find = true;
    } else if (a == "--fast") {
      fast = true;
    } else if (a == "--count" && i + 1 < argc) {
      count = static_cast<std::size_t>(std::atoi(argv[++i]));
    } else if (a == "--delay" && i + 1 < argc) {
      delayMs = std::atoi(argv[++i]);
    } else if (a == "--program" && i + 1 < argc) {
      program = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: %s [--count N (1-500)] [--fast] [--delay MS] [--program PATH]\n"
                   "       %s --find [--program PATH]\n",
                   argv[0], argv[0]);
      return 2;
    }
  }
  if (find) return measureFind(program);
  if (count < 2 || count > 500 || delayMs < 0) {
    std::fprintf(stderr, "%s: --count from 2 to 500, --delay of 0 or more\n", argv[0]);
    return 2;
  }

  std::mutex mutex;
  std::vector<Clock::time_point> requests;      // every request, as the gauge saw it
  std::vector<Clock::time_point> measurements;  // the measurement requests among them
  korsi::sim::SimulatorConfig config;
  config.archive = korsi::sim::generateArchive(count, 1);
  config.faults.delay = std::chrono::milliseconds(delayMs);
  korsi::sim::GaugeSimulator gauge(config);
  gauge.setTrace([&](std::string_view line) {
    const auto now = Clock::now();
    if (!line.starts_with("<-")) return;
    std::lock_guard lock(mutex);
    requests.push_back(now);
    if (line.starts_with("<- 01 06")) measurements.push_back(now);
  });
  gauge.start();

  const std::filesystem::path output =
      std::filesystem::temp_directory_path() / ("korsi7-transfer-bench-" + std::to_string(::getpid()) + ".csv");
  std::vector<std::string> args{program, "read", "--all", "--quiet", "--port", gauge.devicePath(), "-o",
                                output.string()};
  if (fast) args.emplace_back("--fast");
  std::vector<char*> argvChild;
  for (auto& s : args) argvChild.push_back(s.data());
  argvChild.push_back(nullptr);

  const auto started = Clock::now();
  pid_t pid = -1;
  if (posix_spawn(&pid, argvChild[0], nullptr, nullptr, argvChild.data(), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", program.c_str());
    return 1;
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  const auto ended = Clock::now();
  gauge.stop();
  std::filesystem::remove(output);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "korsi7-transfer ended with status %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 1;
  }

  std::lock_guard lock(mutex);
  if (requests.empty() || measurements.size() < 2) {
    std::fprintf(stderr, "the gauge saw too few requests\n");
    return 1;
  }
  const double perMeasurement = msBetween(measurements.front(), measurements.back()) /
                                static_cast<double>(measurements.size() - 1);
  std::printf("korsi7-transfer read --all%s of %zu measurements (simulator reply delay %d ms)\n",
              fast ? " --fast" : "", count, delayMs);
  std::printf("  whole run:                 %8.1f ms\n", msBetween(started, ended));
  std::printf("  start to first request:    %8.1f ms   (target < 100 ms)\n", msBetween(started, requests.front()));
  // The device search gives a newly opened port this long before its first echo.
  std::printf("    of which the probe's wait after opening the port: %.0f ms\n", 100.0);
  std::printf("  per measurement:           %8.3f ms\n", perMeasurement);
  if (fast) {
    const double reference = kWireMs + delayMs;
    std::printf("  wire time + reply delay:   %8.3f ms\n", reference);
    std::printf("  ratio:                     %8.3f      (target <= 1.25)\n", perMeasurement / reference);
  } else {
    std::printf("  floor of the fixed waits:  %8.3f ms\n", kFloorMs);
    std::printf("  ratio:                     %8.3f      (target <= 1.02)\n", perMeasurement / kFloorMs);
  }
  return 0;
}
