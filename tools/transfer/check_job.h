#pragma once
// korsi7-transfer check JOB: every area of a job file (.kjob) judged by its
// rule, as the desktop program's inspection window judges it, with the
// verdict of the whole job. The file carries its rules, limits and readings,
// so nothing else is asked but --json.

#include <atomic>
#include <cstdio>
#include <string>

namespace korsi::transfer {

// 0 when every area passes, 1 when one fails or has too few measurements, 2
// when there is no verdict (a file that cannot be read, an area without one,
// a rule that does not apply); 130 when `stop` was set (Ctrl+C, SIGTERM)
// while the file was read.
int runJobCheck(const std::string& path, bool json, std::FILE* out, std::FILE* err,
                const std::atomic<bool>* stop = nullptr);

}  // namespace korsi::transfer
