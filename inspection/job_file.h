#pragma once
// The job file (".kjob"): one SQLite database that holds a job's header, its
// areas and the copy of the readings they use. Its format version is the
// database's user_version and its kind the application_id, so that another
// SQLite file is not taken for a job. Saving goes through the durable
// replace: a crash leaves the old file or the whole new one.
//
// Opening refuses, with a text naming the file and the cause: a file that is
// no job file, a file of a newer format, a damaged file (SQLite's own check,
// missing tables, values of the wrong kind, areas that overlap) and a file
// whose areas miss a reading they held when saved.

#include <cstdint>
#include <string>

#include "inspection/inspection_job.h"

namespace korsi::job {

inline constexpr const char* kJobFileExtension = ".kjob";
inline constexpr int kJobFormatVersion = 1;
// The SQLite application_id that marks a job file ("KJOB").
inline constexpr std::int32_t kJobApplicationId = 0x4B4A4F42;

// Whether this build reads and writes job files: a build without SQLite
// (Windows, for now) refuses both with a text that says so.
bool jobFilesSupported();

// Whether the file begins as a job file does (an SQLite database marked as
// one); it says nothing of the rest.
bool looksLikeJobFile(const std::string& path);

// Empty on success, else why the file was not written ("Не удалось сохранить
// проверку в файл «...»: ...").
std::string saveJob(const std::string& path, const InspectionJob& job);

struct OpenedJob {
  InspectionJob job;
  std::string error;  // "Не удалось открыть файл проверки «...»: ..."
  bool ok() const { return error.empty(); }
};
OpenedJob openJob(const std::string& path);

}  // namespace korsi::job
