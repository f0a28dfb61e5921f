#include "ui/report/archive_report.h"

#include <QPagedPaintDevice>
#include <QPainter>

#include "ui/archive/cell_text.h"
#include "ui/report/band_pages.h"

namespace korsi::report {

namespace {

template <class Pick>
std::array<Box, 4> columnBoxes(Pick pick) {
  std::array<Box, 4> boxes{};
  for (std::size_t i = 0; i < boxes.size(); ++i) boxes[i] = pick(kArchiveReportColumns[i]);
  return boxes;
}

}  // namespace

std::array<QString, 4> reportFields(const ArchiveRow& row) {
  return {
      row.num ? QString::number(*row.num) : QString(),
      row.date ? ui::dateText(*row.date) : QString(),
      row.h ? ui::thicknessText(*row.h) : QString(),
      row.prim ? QString::fromStdString(*row.prim) : QString(),
  };
}

bool renderArchiveReport(QPagedPaintDevice& device, const std::vector<ArchiveRow>& rows) {
  QPainter painter;
  if (!painter.begin(&device)) return false;
  PageCanvas canvas(painter);
  const QFont titleFont = reportFont(kTitlePoints);
  const QFont textFont = reportFont(kTextPoints);

  static const std::array<Box, 4> headerBoxes = columnBoxes([](const ArchiveReportColumn& c) { return c.header; });
  static const std::array<Box, 4> fieldBoxes = columnBoxes([](const ArchiveReportColumn& c) { return c.field; });
  std::array<QString, 4> captions;
  for (std::size_t i = 0; i < captions.size(); ++i) captions[i] = QString::fromUtf8(kArchiveReportColumns[i].caption);

  BandPages pages(device, canvas, Band{kHeaderBandHeight, [&](PageCanvas& c, double top) {
                                         c.drawUnderlinedTexts(top, headerBoxes, captions, textFont);
                                       }});
  pages.title(Band{kTitleBandHeight, [&](PageCanvas& c, double top) {
                     c.drawLabel(top, kTitleLeft, kTitleTop, QString::fromUtf8(kTitleText), titleFont);
                   }});
  std::array<QString, 4> fields;
  const Band detail{kDetailBandHeight, [&](PageCanvas& c, double top) {
                      c.drawUnderlinedTexts(top, fieldBoxes, fields, textFont);
                    }};
  for (const ArchiveRow& row : rows) {
    fields = reportFields(row);
    pages.detail(detail);
  }
  pages.finish();
  return painter.end();
}

}  // namespace korsi::report
