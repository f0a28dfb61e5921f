// The job file in a build without SQLite: every save and open is refused with
// a text that names the file and says why, so that nothing looks saved.

#include "inspection/job_file.h"

namespace korsi::job {

namespace {

constexpr const char* kNoJobFiles = "эта сборка программы не работает с файлами проверки (в ней нет SQLite)";

}  // namespace

bool jobFilesSupported() { return false; }

std::string saveJob(const std::string& path, const InspectionJob&) {
  return "Не удалось сохранить проверку в файл «" + path + "»: " + kNoJobFiles;
}

OpenedJob openJob(const std::string& path, const std::atomic<bool>*) {
  OpenedJob out;
  out.error = "Не удалось открыть файл проверки «" + path + "»: " + kNoJobFiles;
  return out;
}

}  // namespace korsi::job
