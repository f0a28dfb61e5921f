#pragma once
// The pieces a banded report is drawn with: its page (A4 portrait, 10 mm
// margins), its type, and a canvas that places texts and lines in
// millimetres, as the report's layout gives them.

#include <QFont>
#include <QPageLayout>
#include <QString>
#include <span>

class QPagedPaintDevice;
class QPainter;

namespace korsi::report {

// A box in millimetres from the top left corner of its band.
struct Box {
  double left;
  double top;
  double width;
  double height;
};

// A4 portrait, margins of 10 mm on all four sides, in millimetres.
QPageLayout reportPageLayout();
// Gives the device the report's page; false when it does not take it.
bool setUpReportPage(QPagedPaintDevice& device);

// The report's type: Arial, or Liberation Sans (the same metrics) where
// Arial is missing.
QFont reportFont(double points);

// Draws on a page of an active painter in millimetres from the top left
// corner of the page's printable area. A band's boxes are placed by giving
// the band's top.
class PageCanvas {
 public:
  explicit PageCanvas(QPainter& painter);

  // The printable area's height on this page, in millimetres.
  double printableHeight() const { return printableHeight_; }

  // The text wrapped at word boundaries within the box's width (anywhere
  // within a word longer than the box), each line centred, lines from the
  // box's top down. A line that would not fit wholly within the box's height
  // is left out, so the text is cut at the box's height.
  void drawBoxText(double bandTop, const Box& box, const QString& text, const QFont& font);
  // A text on one line, its box sized to it: its left edge at `left`, its
  // top at `top` below the band's top.
  void drawLabel(double bandTop, double left, double top, const QString& text, const QFont& font);
  // A thin line along the bottom edge of the box.
  void drawUnderline(double bandTop, const Box& box);

  // The texts each in its box with a line under it: a column header band's
  // captions, or a detail line's fields.
  void drawUnderlinedTexts(double bandTop, std::span<const Box> boxes, std::span<const QString> texts,
                           const QFont& font);

 private:
  double x(double mm) const { return mm * dotsPerMmX_; }
  double y(double mm) const { return mm * dotsPerMmY_; }

  QPainter& painter_;
  double dotsPerMmX_;
  double dotsPerMmY_;
  double printableHeight_;
};

}  // namespace korsi::report
