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
// whose areas miss a reading they held when saved. A job file comes from
// other people: it is opened guarded (storage/archive/guarded_database.h),
// so a file whose tables are not exactly the program's (a view, a trigger)
// is refused before anything in it runs, and a read that takes too long
// ends with a refusal.
//
// Saving refuses a number that would not read back (not a number,
// infinite), naming the field, and leaves the old file as it was.

#include <atomic>
#include <cstdint>
#include <string>

#include "inspection/inspection_job.h"

namespace korsi::job {

inline constexpr const char* kJobFileExtension = ".kjob";
// 1: the first; 2: a surface in square feet and the kind of surface. Files
// of format 1 open as they were.
inline constexpr int kJobFormatVersion = 2;
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
  bool stopped = false;  // the stop flag ended the read
  bool ok() const { return error.empty(); }
};
// `stop`, when given, ends the read as soon as it is set (from any thread).
OpenedJob openJob(const std::string& path, const std::atomic<bool>* stop = nullptr);

}  // namespace korsi::job
