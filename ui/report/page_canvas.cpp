#include "ui/report/page_canvas.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPen>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>

namespace korsi::report {

namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr double kPageMarginMm = 10.0;
constexpr double kLineWidthMm = 0.15;
// Rounding of the device's dots must not drop a line that fits exactly.
constexpr double kFitSlackDots = 0.5;

// The text as one paragraph: breaks the user put in it stay line breaks.
QString oneParagraph(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
  out.replace(QLatin1Char('\n'), QChar::LineSeparator);
  out.replace(QLatin1Char('\r'), QChar::LineSeparator);
  return out;
}

}  // namespace

QPageLayout reportPageLayout() {
  return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                     QMarginsF(kPageMarginMm, kPageMarginMm, kPageMarginMm, kPageMarginMm), QPageLayout::Millimeter);
}

bool setUpReportPage(QPagedPaintDevice& device) { return device.setPageLayout(reportPageLayout()); }

QFont reportFont(double points) {
  QFont font;
  font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
  font.setPointSizeF(points);
  // Outlines as designed, not fitted to a screen's pixels: the same widths
  // on paper, in the preview and in a PDF.
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

PageCanvas::PageCanvas(QPainter& painter)
    : painter_(painter),
      dotsPerMmX_(painter.device()->logicalDpiX() / kMillimetresPerInch),
      dotsPerMmY_(painter.device()->logicalDpiY() / kMillimetresPerInch),
      printableHeight_(painter.device()->height() / dotsPerMmY_) {
  if (auto* paged = dynamic_cast<QPagedPaintDevice*>(painter.device())) {
    printableHeight_ = paged->pageLayout().paintRect(QPageLayout::Millimeter).height();
  }
}

void PageCanvas::drawBoxText(double bandTop, const Box& box, const QString& text, const QFont& font) {
  if (text.isEmpty()) return;
  QTextLayout layout(oneParagraph(text), font, painter_.device());
  QTextOption option(Qt::AlignHCenter);
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  const double height = y(box.height) + kFitSlackDots;
  int fitting = 0;
  double lineTop = 0;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(x(box.width));
    line.setPosition(QPointF(0, lineTop));
    lineTop += line.height();
    if (lineTop <= height) ++fitting;
  }
  layout.endLayout();
  painter_.setPen(Qt::black);
  const QPointF origin(x(box.left), y(bandTop + box.top));
  for (int i = 0; i < fitting; ++i) layout.lineAt(i).draw(&painter_, origin);
}

void PageCanvas::drawLabel(double bandTop, double left, double top, const QString& text, const QFont& font) {
  QTextLayout layout(text, font, painter_.device());
  layout.beginLayout();
  QTextLine line = layout.createLine();
  if (line.isValid()) line.setPosition(QPointF(0, 0));
  layout.endLayout();
  painter_.setPen(Qt::black);
  layout.draw(&painter_, QPointF(x(left), y(bandTop + top)));
}

void PageCanvas::drawUnderline(double bandTop, const Box& box) {
  painter_.setPen(QPen(Qt::black, std::max(1.0, y(kLineWidthMm)), Qt::SolidLine, Qt::FlatCap));
  const double bottom = y(bandTop + box.top + box.height);
  painter_.drawLine(QPointF(x(box.left), bottom), QPointF(x(box.left + box.width), bottom));
}

void PageCanvas::drawUnderlinedTexts(double bandTop, std::span<const Box> boxes, std::span<const QString> texts,
                                     const QFont& font) {
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    if (i < texts.size()) drawBoxText(bandTop, boxes[i], texts[i], font);
    drawUnderline(bandTop, boxes[i]);
  }
}

}  // namespace korsi::report
