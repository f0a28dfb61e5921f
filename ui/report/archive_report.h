#pragma once
// The printed report of the archive table: the title "КОРСИ-7" once, the
// column header on every page and one detail line per table row, in table
// order, on A4 pages; all positions in millimetres from the band's top left
// corner, the bands 190 mm wide.

#include <QString>
#include <array>
#include <vector>

#include "storage/recordset/archive_row.h"
#include "ui/report/page_canvas.h"

class QPagedPaintDevice;

namespace korsi::report {

// The preview window's caption and the print job's name.
inline constexpr const char* kArchiveReportTitle = "Просмотр данных архива";

inline constexpr const char* kTitleText = "КОРСИ-7";
inline constexpr double kTitleBandHeight = 10.6;
inline constexpr double kTitleLeft = 78.3;
inline constexpr double kTitleTop = 2.1;
inline constexpr double kTitlePoints = 14;

inline constexpr double kHeaderBandHeight = 10.6;
inline constexpr double kDetailBandHeight = 5.0;
inline constexpr double kTextPoints = 10;

struct ArchiveReportColumn {
  const char* caption;
  Box header;  // the caption's box in the column header band
  Box field;   // the field's box in the detail band
};

// Number, date, thickness and note. "Тощина" is the caption as the system has it.
inline constexpr std::array<ArchiveReportColumn, 4> kArchiveReportColumns{{
    {"Номер", {2.1, 3.2, 14.0, 4.5}, {2.1, 0.3, 13.0, 4.5}},
    {"Дата/время", {15.9, 3.2, 49.2, 4.5}, {14.8, 0.3, 51.1, 4.5}},
    {"Тощина покрытия, мм", {64.8, 3.2, 43.7, 4.5}, {65.6, 0.3, 44.7, 4.5}},
    {"Примечание", {108.2, 3.2, 79.9, 4.5}, {109.5, 0.3, 79.1, 4.5}},
}};

// A row's four fields as the report prints them, as the grid shows them:
// the number in decimal, the date in the shown form (the date alone at
// midnight), the thickness with three decimals, the note as typed; an empty
// field prints nothing.
std::array<QString, 4> reportFields(const ArchiveRow& row);

// Draws the report of `rows` on `device` (a printer, the preview's printer,
// a PDF writer) from its first page on, with the device's page as it is set
// (setUpReportPage gives the report's own). Returns false when the device
// cannot be painted on.
bool renderArchiveReport(QPagedPaintDevice& device, const std::vector<ArchiveRow>& rows);

}  // namespace korsi::report
