#pragma once
// The printed inspection record on A4 pages, drawn with the report's own
// renderer: the rule and the entries, the statistics, the histogram with the
// limit lines, the verdict with every criterion and the figures behind it,
// the readings that fail by themselves (on as many pages as they need), and
// the date with a line for the inspector's signature.

#include <QDateTime>
#include <QString>
#include <vector>

#include "inspection/acceptance.h"

class QPagedPaintDevice;
class QPainter;

namespace korsi::report {

// The preview window's caption, the print job's and the PDF's title.
inline constexpr const char* kInspectionRecordTitle = "Протокол контроля толщины покрытия";

// A reading that fails by itself, as the record lists it.
struct FailingReading {
  QString num;        // the measurement's number, or empty
  QString date;       // as the grid shows it, or empty
  QString thickness;  // the judged (corrected) thickness in the record's unit
  QString why;        // "ниже 80 % NDFT", "выше максимальной толщины"
};

struct InspectionRecord {
  inspection::Entries entries;
  inspection::Verdict verdict;  // of an assessment that gave one
  QString rows;                 // which rows were judged: "все строки таблицы" ...
  int rowsWithoutThickness = 0;
  std::vector<FailingReading> failing;
  QDateTime madeAt;
};

// Draws the record on `device` from its first page on, with the device's
// page as it is set (setUpReportPage gives the report's own). Returns false
// when the device cannot be painted on.
bool renderInspectionRecord(QPagedPaintDevice& device, const InspectionRecord& record);

class PageCanvas;
// The histogram of a verdict's readings with the limit lines of its rule, in
// a band 190 mm wide and kRecordHistogramHeight tall from `top`.
inline constexpr double kRecordHistogramHeight = 62.0;
void drawVerdictHistogram(QPainter& painter, PageCanvas& canvas, double top, const inspection::Verdict& verdict);

}  // namespace korsi::report
