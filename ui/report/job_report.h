#pragma once
// The printed report of an inspection job on A4 pages: the job's header, a
// summary table with one line per area (readings or spots, mean, smallest,
// largest, verdict) and the verdict of the whole job; then each area: its
// rule with the edition, the entries, the set-up and correction, every
// criterion with the figures behind it, its histogram and all its readings
// (those that fail by themselves marked); last the date and the signature
// lines. Every page is numbered "стр. N из M".

#include <QDateTime>

#include "inspection/job_verdict.h"
#include "inspection/inspection_job.h"

class QPagedPaintDevice;

namespace korsi::report {

inline constexpr const char* kJobReportTitle = "Протокол проверки толщины покрытия";

struct JobReport {
  job::InspectionJob job;
  inspection::JobVerdict verdict;  // judgeJob(job)
  QDateTime madeAt;
};

// Draws the report on `device` with the device's page as it is set
// (setUpReportPage gives the report's own). Returns the number of pages, or
// 0 when the device cannot be painted on.
int renderJobReport(QPagedPaintDevice& device, const JobReport& report);

}  // namespace korsi::report
