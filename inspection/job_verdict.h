#pragma once
// Judging an inspection job: each area by its rule (the job's, or the
// area's own where it overrides it) on the job's copy of its readings, and
// the verdict of the whole job. An area with too few readings, spots or
// areas for its surface is "недостаточно измерений", never a pass; a job
// with a failing area fails, however few the readings elsewhere.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "inspection/acceptance.h"
#include "inspection/inspection_job.h"

namespace korsi::inspection {

// The entries an area is judged by: the job's header with the area's
// overrides and surface.
Entries areaEntries(const job::JobHeader& header, const job::JobArea& area);

struct AreaVerdict {
  Entries entries;
  std::vector<std::size_t> readings;  // indices into the job's readings, in number order
  // A verdict, or why there is none ("Введите номинальную толщину NDFT", a
  // reading that is not a number, no readings).
  Assessment assessment;
  // The judgement when there is a verdict; nothing when there is none.
  std::optional<Judgement> judgement() const {
    return assessment.ok() ? std::optional(assessment.verdict.judgement) : std::nullopt;
  }
};

struct JobVerdict {
  std::vector<AreaVerdict> areas;
  // A failure when an area fails; else nothing when an area has no verdict
  // or its rule does not apply, or the job has no area; else too few when an
  // area has too few measurements, else a pass.
  std::optional<Judgement> overall;
  std::string summary;  // the job's verdict in words
};

JobVerdict judgeJob(const job::InspectionJob& job);

// The judgement of the whole from the areas' (nothing for an area without a verdict).
std::optional<Judgement> overallJudgement(const std::vector<std::optional<Judgement>>& areas);

}  // namespace korsi::inspection
