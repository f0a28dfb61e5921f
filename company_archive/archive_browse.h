#pragma once
// Reading the company archive and approving in it: the list of jobs (the
// current revision of each) by object, client, inspector, publication dates
// and verdict; one job's revision as a job again; the approval of a job's
// current revision, which the server allows to reviewers only.

#include <optional>
#include <string>
#include <vector>

#include "company_archive/pg_connection.h"
#include "inspection/inspection_job.h"

namespace korsi::company {

struct JobFilter {
  std::optional<std::string> object;     // the header's object, exactly
  std::optional<std::string> client;     // exactly
  std::optional<std::string> inspector;  // the header's inspector or the publishing role, exactly
  std::optional<std::string> since;      // published on or after (a date or time PostgreSQL reads)
  std::optional<std::string> until;      // published before the end of this day (or before this time)
  std::optional<std::string> verdict;    // pass, fail, too_few_measurements, not_applicable, none
};

struct ListedJob {
  std::string id;
  job::JobHeader header;
  std::string role;  // who published it (the job's owner)
  std::string verdict;
  std::string verdictText;
  int revision = 0;
  std::string publishedAt;  // ISO 8601, UTC
  std::string approvedAt;   // empty when not approved
  std::string approvedBy;
};

struct JobList {
  ServerFailure failure;
  std::vector<ListedJob> jobs;  // newest publication first
};
JobList listJobs(PgConnection& db, const JobFilter& filter);

// The query listJobs runs and its parameters (for EXPLAIN).
std::pair<std::string, Params> listQuery(const JobFilter& filter);

struct FetchedJob {
  ServerFailure failure;
  std::string notFound;  // "В архиве компании нет проверки …" when there is none
  job::InspectionJob job;
  ListedJob listed;  // that revision's listing
};
// The current revision, or the one named.
FetchedJob fetchJob(PgConnection& db, const std::string& id, std::optional<int> revision = std::nullopt);

struct Approval {
  ServerFailure failure;
  std::string refusal;  // no such job, or its current revision already approved
  int revision = 0;
};
Approval approveJob(PgConnection& db, const std::string& id);

}  // namespace korsi::company
