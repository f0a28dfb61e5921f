// Opens arbitrary bytes as a job file (.kjob), as "Открыть проверку…" and
// korsi7-transfer check do with a file received from someone else; the
// seeds are small valid job files, so the mutations are of real files.
// Whatever the bytes: no crash, no leak, no input slower or hungrier than
// fuzz.sh's limits (a file that would make SQLite run for ever is ended by
// its budget); a job that opens is judged, saved and opened again equal.
//
// Input: the file's bytes.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "inspection/job_file.h"
#include "inspection/job_verdict.h"
#include "tests/fuzz/fuzz_folder.h"

namespace {

void require(bool promise) {
  if (!promise) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static korsi::fuzz::FuzzFolder folder("job");
  const std::string path = (folder.path / "received.kjob").string();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const korsi::job::OpenedJob opened = korsi::job::openJob(path);
  if (!opened.ok()) {
    require(opened.job.areas.empty() && opened.job.readings.empty());
    return 0;
  }
  const korsi::inspection::JobVerdict verdict = korsi::inspection::judgeJob(opened.job);
  require(verdict.areas.size() == opened.job.areas.size());

  const std::string again = (folder.path / "saved.kjob").string();
  require(korsi::job::saveJob(again, opened.job).empty());
  const korsi::job::OpenedJob reopened = korsi::job::openJob(again);
  require(reopened.ok() && korsi::job::sameJob(reopened.job, opened.job));
  return 0;
}
