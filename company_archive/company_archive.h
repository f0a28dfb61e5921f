#pragma once
// The company archive as the desktop program and korsi7-transfer use it:
// where it is (the configuration's "company_archive" line, a libpq URI) and
// the outbox beside the user's files; publishing a job through the outbox;
// sending what waits. Every message is Russian and names the cause.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "company_archive/archive_outbox.h"
#include "company_archive/pg_connection.h"
#include "inspection/inspection_job.h"
#include "services/config.h"

namespace korsi::company {

inline constexpr const char* kCompanyArchiveKey = "company_archive";

// The URI of the "company_archive" line; nothing without the line (or with
// an empty value), and then the program has no company archive at all.
std::optional<std::string> companyArchiveUri(const Config& config);

// Whether this build has the company archive (the Windows build, for now,
// has not: no libpq for MinGW-w64 in Debian).
bool companyArchiveSupported();

struct ArchivePlace {
  std::string uri;
  std::string outboxPath;
};

// What became of the jobs in the outbox.
struct SyncReport {
  std::size_t sent = 0;          // stored now as a new revision
  std::size_t alreadyThere = 0;  // the server had them already (taken out)
  std::size_t waiting = 0;       // still in the outbox after this
  ServerFailure stop;            // why sending stopped (the server not reached)
  std::vector<std::string> refusals;  // jobs the server refused; they wait
  std::string outboxError;       // the outbox itself could not be read or written
  // Each job sent now, in order: the revision that holds its content.
  struct Sent {
    std::string jobId;
    std::string contentHash;
    int revision = 0;
    bool added = false;
  };
  std::vector<Sent> done;
};

// Sends the waiting jobs, oldest first, each exactly once; stops at the
// first failure to reach the server. A job the server refuses stays and so
// do the later ones of the same job.
SyncReport sendOutbox(const ArchivePlace& place);

struct PublishReport {
  enum class Result { Published, AlreadyThere, Queued, Refused, Invalid };
  Result result = Result::Invalid;
  int revision = 0;
  std::size_t waiting = 0;  // jobs left in the outbox
  std::string message;      // one or more lines for the user
};

// Puts the job in the outbox, then sends the outbox. The job must have its
// identity (job_id.h).
PublishReport publishThroughOutbox(const ArchivePlace& place, const job::InspectionJob& job);

// How many jobs wait; nothing with *error set when the outbox cannot be read.
std::optional<std::size_t> waitingJobs(const std::string& outboxPath, std::string* error);

}  // namespace korsi::company
