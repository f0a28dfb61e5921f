// Opens arbitrary bytes as a job file (.kjob), as "Открыть проверку…" and
// korsi7-transfer check do with a file received from someone else; the
// seeds are small valid job files, so the mutations are of real files.
// Whatever the bytes: no crash, no leak, no input slower or hungrier than
// fuzz.sh's limits (a file that would make SQLite run for ever is ended by
// its budget); a job that opens is judged, saved and opened again equal.
//
// Input: the file's bytes.

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "inspection/job_file.h"
#include "inspection/job_verdict.h"

namespace {

void require(bool promise) {
  if (!promise) std::abort();
}

// One folder per fuzzing process, removed at its end; in memory where the
// system has such a folder.
struct Folder {
  Folder() {
    std::error_code ec;
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    path = base / ("korsi-fuzz-job-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::filesystem::path path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Folder folder;
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
