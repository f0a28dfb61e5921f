#include "ui/inspection/inspection_printing.h"

#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>

#include "storage/archive/archive_store.h"
#include "ui/archive/cell_text.h"
#include "ui/inspection/inspection_window.h"
#include "ui/report/page_canvas.h"

namespace korsi {

namespace {

void prepare(QPrinter& printer) {
  printer.setDocName(QString::fromUtf8(report::kInspectionRecordTitle));
  report::setUpReportPage(printer);
}

}  // namespace

report::InspectionRecord inspectionRecord(const Inspection& inspection, const archive::ArchiveStore& table,
                                          const QDateTime& madeAt) {
  report::InspectionRecord record;
  record.entries = inspection.entries;
  record.verdict = inspection.assessment.verdict;
  record.rows = (inspection.selectionOnly ? QStringLiteral("выбранные строки, %1")
                                          : QStringLiteral("все строки таблицы, %1"))
                    .arg(inspection.rows.size());
  record.rowsWithoutThickness = inspection.rowsWithoutThickness;
  record.madeAt = madeAt;
  const inspection::Verdict& v = record.verdict;
  const bool iso = v.rule == inspection::Rule::Iso19840;
  for (const std::size_t i : v.failing) {
    const ArchiveRow& row = table.row(static_cast<std::size_t>(inspection.rows[i]));
    report::FailingReading failing;
    if (row.num) failing.num = QString::number(*row.num);
    if (row.date) failing.date = ui::dateText(*row.date);
    failing.thickness = QString::fromStdString(inspection::exactText(static_cast<double>(v.readings[i]), v.unit));
    failing.why = v.marks[i] == inspection::ReadingMark::AboveMaximum
                      ? QStringLiteral("выше максимальной толщины")
                      : (iso ? QStringLiteral("ниже 80 % NDFT") : QStringLiteral("ниже 90 % NDFT"));
    record.failing.push_back(failing);
  }
  return record;
}

void previewInspectionRecord(const report::InspectionRecord& record, QWidget* owner) {
  QPrinter printer(QPrinter::HighResolution);
  prepare(printer);
  QPrintPreviewDialog dialog(&printer, owner);
  dialog.setObjectName(QStringLiteral("RecordPreviewDialog"));
  dialog.setWindowTitle(QString::fromUtf8(report::kInspectionRecordTitle));
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                   [&record](QPrinter* pages) { report::renderInspectionRecord(*pages, record); });
  dialog.exec();
}

bool printInspectionRecord(const report::InspectionRecord& record, QWidget* owner) {
  QPrinter printer(QPrinter::HighResolution);
  prepare(printer);
  QPrintDialog dialog(&printer, owner);
  dialog.setWindowTitle(QStringLiteral("Печать протокола"));
  if (dialog.exec() != QDialog::Accepted) return false;
  return report::renderInspectionRecord(printer, record);
}

QString saveInspectionRecordPdf(const report::InspectionRecord& record, const QString& path) {
  // Written beside the file and renamed to it once whole.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  {
    QPdfWriter pdf(&file);
    pdf.setTitle(QString::fromUtf8(report::kInspectionRecordTitle));
    pdf.setCreator(QStringLiteral("КОРСИ-7"));
    pdf.setResolution(1200);
    report::setUpReportPage(pdf);
    if (!report::renderInspectionRecord(pdf, record)) {
      file.cancelWriting();
      return QStringLiteral("Протокол не удалось построить");
    }
  }
  if (!file.commit()) return file.errorString();
  return {};
}

void previewJobReport(const report::JobReport& job, QWidget* owner) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QString::fromUtf8(report::kJobReportTitle));
  report::setUpReportPage(printer);
  QPrintPreviewDialog dialog(&printer, owner);
  dialog.setObjectName(QStringLiteral("JobReportPreviewDialog"));
  dialog.setWindowTitle(QString::fromUtf8(report::kJobReportTitle));
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                   [&job](QPrinter* pages) { report::renderJobReport(*pages, job); });
  dialog.exec();
}

bool printJobReport(const report::JobReport& job, QWidget* owner) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QString::fromUtf8(report::kJobReportTitle));
  report::setUpReportPage(printer);
  QPrintDialog dialog(&printer, owner);
  dialog.setWindowTitle(QStringLiteral("Печать протокола проверки"));
  if (dialog.exec() != QDialog::Accepted) return false;
  return report::renderJobReport(printer, job) > 0;
}

QString saveJobReportPdf(const report::JobReport& job, const QString& path) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  {
    QPdfWriter pdf(&file);
    pdf.setTitle(QString::fromUtf8(report::kJobReportTitle));
    pdf.setCreator(QStringLiteral("КОРСИ-7"));
    pdf.setResolution(1200);
    report::setUpReportPage(pdf);
    if (report::renderJobReport(pdf, job) == 0) {
      file.cancelWriting();
      return QStringLiteral("Протокол не удалось построить");
    }
  }
  if (!file.commit()) return file.errorString();
  return {};
}

}  // namespace korsi
