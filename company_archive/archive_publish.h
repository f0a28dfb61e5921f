#pragma once
// Publishing one job to the company archive: one transaction that adds the
// job (when new) and a revision with its areas, readings and report
// summaries (COPY). The same content of the same job is stored once: sent
// again, it adds nothing and says which revision holds it. Changed content
// is the next revision; nothing is overwritten. Who may publish what is the
// server's decision.

#include <string>

#include "company_archive/pg_connection.h"
#include "inspection/inspection_job.h"

namespace korsi::company {

struct PublishOutcome {
  ServerFailure failure;
  int revision = 0;    // the revision that holds the content
  bool added = false;  // false: the server had this content already
};

// The job must have an identity and pass publishProblem (job_rows.h).
PublishOutcome publishJob(PgConnection& db, const job::InspectionJob& job);

}  // namespace korsi::company
