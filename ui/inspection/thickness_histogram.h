#pragma once
// The histogram of the inspected thicknesses in the user's unit, with
// vertical lines at the limits of the rule in force (inspection::limitLines),
// so the inspector sees at a glance where the readings lie against them.

#include <QChartView>
#include <QString>
#include <optional>
#include <vector>

#include "inspection/acceptance.h"
#include "inspection/thickness_statistics.h"

class QChart;

namespace korsi {

class ThicknessHistogram : public QChartView {
  Q_OBJECT

 public:
  explicit ThicknessHistogram(QWidget* parent = nullptr);

  // Draws the bins and the limit lines.
  void showBins(const std::vector<inspection::HistogramBin>& bins, inspection::Unit unit,
                const std::vector<inspection::LimitLine>& limits);
  // An empty chart, for when there is no verdict.
  void clearBins();

  struct Line {
    QString name;
    double position;  // in the unit shown
  };
  // The limit lines as drawn.
  std::vector<Line> lines() const;
  // The bins' counts as drawn, from the left.
  std::vector<int> counts() const { return counts_; }

 private:
  QChart* chart_;
  std::vector<int> counts_;
};

}  // namespace korsi
