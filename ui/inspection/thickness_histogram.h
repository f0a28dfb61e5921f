#pragma once
// The histogram of the inspected thicknesses in the user's unit, with
// vertical lines at the limits of the rule in force (inspection::limitLines),
// so the inspector sees at a glance where the readings lie against them.
// Drawn with QPainter: bars, grid and round ticks on both axes, the axes'
// titles, and a legend below that names the lines.

#include <QColor>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <vector>

#include "inspection/acceptance.h"
#include "inspection/thickness_statistics.h"

namespace korsi {

class ThicknessHistogram : public QWidget {
  Q_OBJECT

 public:
  explicit ThicknessHistogram(QWidget* parent = nullptr);

  // Draws the bins and the limit lines.
  void showBins(const std::vector<inspection::HistogramBin>& bins, inspection::Unit unit,
                const std::vector<inspection::LimitLine>& limits);
  // An empty plot, for when there is no verdict.
  void clearBins();

  struct Line {
    QString name;
    double position;  // in the unit shown
  };
  // The limit lines as drawn.
  std::vector<Line> lines() const;
  // The bins' counts as drawn, from the left.
  std::vector<int> counts() const;

  // The scales as laid out for the widget's present size: the plot's
  // rectangle in widget pixels, the thickness at its left and right edges
  // and the count at its top (the bottom is 0).
  struct Scales {
    QRectF plot;
    double left = 0.0;
    double right = 1.0;
    double top = 1.0;
  };
  Scales scales() const;

  // The bars' fill, for a reader of the picture.
  static QColor barColour();

  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Bar {
    double lower;  // in the unit shown
    double upper;
    int count;
  };
  struct Limit {
    Line line;
    inspection::LimitLine::Kind kind;
  };
  struct Layout;
  Layout layout() const;

  std::vector<Bar> bars_;
  std::vector<Limit> limits_;
  QString unitTitle_;
  double left_ = 0.0;
  double right_ = 1.0;
  double top_ = 1.0;
  double xStep_ = 1.0;
  double yStep_ = 1.0;
};

}  // namespace korsi
