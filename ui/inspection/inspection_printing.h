#pragma once
// The printed record of an inspection from the window "Статистика и
// приёмка": its preview (from which it can also be printed or saved), print
// through the print dialog, and a PDF file written whole or not at all.

#include <QDateTime>
#include <QString>

#include "ui/report/inspection_record.h"
#include "ui/report/job_report.h"

class QWidget;

namespace korsi {

namespace archive {
class ArchiveStore;
}

struct Inspection;

// The record of an inspection that gave a verdict, made at `madeAt`; the
// table gives the failing readings' numbers and dates.
report::InspectionRecord inspectionRecord(const Inspection& inspection, const archive::ArchiveStore& table,
                                          const QDateTime& madeAt);

void previewInspectionRecord(const report::InspectionRecord& record, QWidget* owner);
// Asks for the printer in the print dialog; false when cancelled or failed.
bool printInspectionRecord(const report::InspectionRecord& record, QWidget* owner);
// Returns why it failed, or an empty text.
QString saveInspectionRecordPdf(const report::InspectionRecord& record, const QString& path);

// The report of a whole job, the same three ways.
void previewJobReport(const report::JobReport& report, QWidget* owner);
bool printJobReport(const report::JobReport& report, QWidget* owner);
QString saveJobReportPdf(const report::JobReport& report, const QString& path);

}  // namespace korsi
