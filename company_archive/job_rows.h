#pragma once
// A job as the company archive stores it: its content's fingerprint, the
// text forms of its numbers, and the rows of a revision (header, areas,
// readings, report summaries) in COPY's text format.

#include <optional>
#include <string>

#include "inspection/inspection_job.h"

namespace korsi::company {

// SHA-256 of everything the job holds but its identity: the same content
// gives the same text on any machine, any change another one.
std::string contentHash(const job::InspectionJob& job);

// Why the job cannot be published as it is (no identity, a text the server
// cannot store, areas that do not stand together); empty when it can.
std::string publishProblem(const job::InspectionJob& job);

// A number exactly as it is, in PostgreSQL's text form ("NaN", "Infinity").
std::string numberText(double value);
std::optional<std::string> numberText(std::optional<double> value);

// The rows of one revision for COPY, without the job's id and revision,
// which the publisher puts first in every row.
struct RevisionRows {
  std::string areas;
  std::string readings;
  std::string summaries;
};
RevisionRows revisionRows(const job::InspectionJob& job, const std::string& jobId, int revision);

// The verdict of the whole as the archive keeps it: "pass", "fail",
// "too_few_measurements", "not_applicable", or "none" when there is none;
// and in words.
struct StoredVerdict {
  std::string word;
  std::string text;
};
StoredVerdict storedVerdict(const job::InspectionJob& job);

}  // namespace korsi::company
