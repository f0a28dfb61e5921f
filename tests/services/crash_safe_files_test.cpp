// A save killed at a random moment (power cut, crash, kill) never leaves a
// cut-down or mixed file under the final name: a child process saves, the
// test kills it with SIGKILL after a random delay, and looks at the file.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "services/config.h"
#include "storage/recordset/data_file.h"
#include "tests/support/error_box_recorder.h"
#include "tests/support/tempdir.h"

namespace {

using korsi::test::readFile;
using korsi::test::writeFile;
namespace rs = korsi::recordset;

constexpr int kKeys = 500;
constexpr int kRuns = 60;

// What one kind of file does: `save` turns the file at `path` from one of
// the two forms into the other.
struct SavedFile {
  const char* name;
  std::string fileName;
  std::function<void(const std::string& path, int value)> save;
};

// The settings file with many keys, each with a comment, every value changed by one save.
void saveConfig(const std::string& path, int value) {
  korsi::Config config(path);
  for (int k = 0; k < kKeys; ++k) config.setInt("key" + std::to_string(k), value);
}  // written back here

std::vector<korsi::ArchiveRow> rowsWith(int value) {
  std::vector<korsi::ArchiveRow> rows;
  for (int r = 0; r < 5000; ++r) {
    rows.push_back({r + value, korsi::DateTime{2009, 3, 9, 14, 30, value}, 0.25 * value, "примечание " + std::to_string(value)});
  }
  return rows;
}

void saveDataFile(const std::string& path, int value) {
  if (!rs::writeDataFile(path, rowsWith(value)).empty()) std::abort();
}

std::ostream& operator<<(std::ostream& out, const SavedFile& f) { return out << f.name; }

class CrashSafeFiles : public ::testing::TestWithParam<SavedFile> {};

TEST_P(CrashSafeFiles, AKilledSaveLeavesTheOldFileOrTheWholeNewOne) {
  const SavedFile& file = GetParam();
  korsi::test::TempDir dir;
  korsi::test::ErrorBoxRecorder quiet;
  const std::string path = dir.file(file.fileName);

  // The two forms, made the way the saves make them.
  std::string initial;
  for (int k = 0; k < kKeys; ++k) initial += "key" + std::to_string(k) + " 0 # " + std::string(200, 'c') + "\n";
  writeFile(path, initial);
  file.save(path, 1);
  const std::string one = readFile(path);
  const auto started = std::chrono::steady_clock::now();
  file.save(path, 2);
  const auto saveTime = std::chrono::steady_clock::now() - started;
  const std::string two = readFile(path);
  ASSERT_NE(one, two);

  std::mt19937 random(12345);
  const auto longest = std::chrono::duration_cast<std::chrono::microseconds>(saveTime * 2).count() + 1;
  std::uniform_int_distribution<long> delay(0, longest);
  int old = 0;
  int whole = 0;
  for (int run = 0; run < kRuns; ++run) {
    const std::string before = readFile(path);
    const int next = before == one ? 2 : 1;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      file.save(path, next);
      _exit(0);
    }
    usleep(static_cast<useconds_t>(delay(random)));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    const std::string after = readFile(path);
    ASSERT_TRUE(after == one || after == two) << "run " << run << ": " << after.size() << " bytes";
    (after == before ? old : whole) += 1;
  }
  std::printf("%s: %d kills left the old file, %d the whole new one, 0 anything else (a save takes %lld us)\n",
              file.name, old, whole,
              static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(saveTime).count()));
}

INSTANTIATE_TEST_SUITE_P(Files, CrashSafeFiles,
                         ::testing::Values(SavedFile{"Configuration", "kestro.conf", saveConfig},
                                           SavedFile{"KsDataFile", "table.ks", saveDataFile}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
