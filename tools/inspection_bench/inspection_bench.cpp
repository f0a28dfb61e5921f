// Prints how long the inspection takes over a full archive of 65,535
// readings: the statistics, the histogram bins and the verdict of each rule,
// SSPC-PA 2 in spots of 3 too (target: under 10 ms each); then a job of 100
// areas over the same 65,535 readings, each area by its rule: judging it
// (target under 20 ms), saving it to a job file and opening it (target
// under 300 ms each). The readings are a
// gauge's floats widened to double, spread around 120 µm, and the same set is
// judged several times;
// the median and the slowest run are printed (the slowest shows the
// machine's load more than the code).
//
//   korsi7-inspection-bench [runs]      (default 50)

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <unistd.h>

#include "inspection/acceptance.h"
#include "inspection/job_verdict.h"
#include "inspection/job_file.h"
#include "inspection/thickness_statistics.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadings = 65535;

struct Timing {
  double median = 0.0;
  double slowest = 0.0;
};

template <class Work>
Timing timeRuns(int runs, Work work) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    work();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.back()};
}

void print(const char* what, const Timing& t, double target = 10.0) {
  std::printf("%-46s median %7.3f ms, slowest %7.3f ms  (median %s %g ms)\n", what, t.median, t.slowest,
              t.median < target ? "under" : "OVER", target);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 50;
  if (runs <= 0) {
    std::fprintf(stderr, "usage: %s [runs]\n", argv[0]);
    return 2;
  }
  std::mt19937 random(19840);
  std::normal_distribution<float> thickness(0.130f, 0.015f);
  std::vector<double> readings(kReadings);
  for (double& r : readings) r = static_cast<double>(thickness(random));

  namespace in = korsi::inspection;
  const in::Entries iso{in::Rule::Iso19840, 120.0, 360.0, in::Roughness::Medium, in::Unit::Micrometre};
  const in::Entries pspc{in::Rule::Pspc9010, 120.0, std::nullopt, in::Roughness::None, in::Unit::Mil};
  in::Entries sspc{in::Rule::SspcPa2, 100.0, 200.0, in::Roughness::None, in::Unit::Micrometre};
  sspc.surface = in::squareMetresSurface(10.0);

  std::printf("%zu readings, %d runs each\n", readings.size(), runs);
  bool pass = false;
  print("ISO 19840 verdict with statistics", timeRuns(runs, [&] { pass ^= in::assess(readings, iso).verdict.pass; }));
  print("IMO PSPC 90/10 verdict with statistics",
        timeRuns(runs, [&] { pass ^= in::assess(readings, pspc).verdict.pass; }));
  print("SSPC-PA 2 level 3 verdict with statistics",
        timeRuns(runs, [&] { pass ^= in::assess(readings, sspc).verdict.pass; }));
  print("ISO 19840 verdict, statistics and histogram", timeRuns(runs, [&] {
          const in::Assessment a = in::assess(readings, iso);
          const auto bins = in::histogram(a.verdict.readings, in::Unit::Micrometre,
                                          in::suggestedBinCount(a.verdict.readings.size()));
          pass ^= bins.size() > 1;
        }));

  // A job: 100 areas of 655 or 656 readings, a third each by ISO 19840, IMO
  // PSPC 90/10 and SSPC-PA 2, the ISO areas with a surface.
  namespace job = korsi::job;
  job::InspectionJob j;
  j.header.rule = job::JobRule::Iso19840;
  j.header.nominal = 120.0;
  j.header.maximum = 360.0;
  j.header.setUp = job::SetUp::UnknownProfile;
  for (std::size_t i = 0; i < readings.size(); ++i) {
    j.readings.push_back({static_cast<std::int32_t>(i + 1), korsi::DateTime{2026, 12, 11, 9, 0, 0}, readings[i],
                          i % 100 == 0 ? std::optional<std::string>("у сварного шва") : std::nullopt});
  }
  constexpr std::size_t kAreas = 100;
  for (std::size_t a = 0; a < kAreas; ++a) {
    const auto first = static_cast<std::int32_t>(a * readings.size() / kAreas + 1);
    const auto last = static_cast<std::int32_t>((a + 1) * readings.size() / kAreas);
    job::JobArea area{"Зона " + std::to_string(a + 1), std::nullopt, {{first, last}}, {}};
    if (a % 3 == 1) area.overrides.rule = job::JobRule::Pspc9010;
    if (a % 3 == 2) area.overrides = {job::JobRule::SspcPa2, 100.0, 200.0, 3, std::size_t{3}};
    if (a % 3 == 0) area.surface = in::squareMetresSurface(50.0);
    // The PSPC areas on flat surfaces, so that their count of readings is judged.
    if (a % 3 == 1) {
      area.surface = in::squareMetresSurface(500.0);
      area.kind = in::SurfaceKind::Flat;
    }
    j.areas.push_back(std::move(area));
  }
  std::printf("a job of %zu areas over the %zu readings\n", j.areas.size(), j.readings.size());
  print("job: every area's verdict and the job's",
        timeRuns(runs, [&] { pass ^= korsi::inspection::judgeJob(j).overall == in::Judgement::Pass; }), 20.0);
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("korsi7-inspection-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string file = (folder / "job.kjob").string();
  // Fewer runs: each writes and makes durable a file of a few megabytes.
  const int fileRuns = std::max(1, std::min(runs, 10));
  std::string error;
  print("job file: save (durable replace)", timeRuns(fileRuns, [&] { error += job::saveJob(file, j); }), 300.0);
  std::size_t opened = 0;
  print("job file: open and check", timeRuns(fileRuns, [&] {
          const job::OpenedJob o = job::openJob(file);
          error += o.error;
          opened += o.job.readings.size();
        }),
        300.0);
  std::printf("job file of %.1f MB%s%s\n", static_cast<double>(std::filesystem::file_size(file)) / 1e6,
              error.empty() ? "" : ", error: ", error.c_str());
  std::filesystem::remove_all(folder);
  pass ^= opened % 2 == 1;
  // Printing the results keeps the work from being optimised away.
  std::printf("(verdicts xor: %d)\n", pass ? 1 : 0);
  return 0;
}
