#include "ui/inspection/thickness_histogram.h"

#include <QAreaSeries>
#include <QChart>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace korsi {

namespace {

// A lower limit red, the nominal thickness green and solid, an upper limit purple.
QPen limitPen(inspection::LimitLine::Kind kind) {
  using Kind = inspection::LimitLine::Kind;
  QPen pen(kind == Kind::Lower ? QColor(0xc6, 0x28, 0x28) : kind == Kind::Nominal ? QColor(0x2e, 0x7d, 0x32)
                                                                                  : QColor(0x6a, 0x1b, 0x9a));
  pen.setWidth(2);
  pen.setStyle(kind == Kind::Nominal ? Qt::SolidLine : Qt::DashLine);
  return pen;
}

}  // namespace

// The view's own chart is used: one set in its place would leave the view's
// first chart to nobody.
ThicknessHistogram::ThicknessHistogram(QWidget* parent) : QChartView(parent), chart_(chart()) {
  setObjectName(QStringLiteral("HistogramChart"));
  setRenderHint(QPainter::Antialiasing);
  setMinimumSize(420, 260);
  chart_->legend()->setAlignment(Qt::AlignBottom);
  chart_->setMargins(QMargins(4, 4, 4, 4));
  clearBins();
}

void ThicknessHistogram::clearBins() {
  chart_->removeAllSeries();
  for (QAbstractAxis* axis : chart_->axes()) {
    chart_->removeAxis(axis);
    delete axis;
  }
  counts_.clear();
}

void ThicknessHistogram::showBins(const std::vector<inspection::HistogramBin>& bins, inspection::Unit unit,
                                  const std::vector<inspection::LimitLine>& limits) {
  clearBins();
  if (bins.empty()) return;
  const auto x = [unit](double nanometres) { return inspection::inUnit(nanometres, unit); };

  // One outline over all bins, down to zero between them, filled below.
  auto* outline = new QLineSeries;
  std::size_t highest = 0;
  for (const inspection::HistogramBin& bin : bins) {
    const auto lower = x(static_cast<double>(bin.lower));
    const auto upper = x(static_cast<double>(bin.upper));
    const auto count = static_cast<double>(bin.count);
    outline->append(lower, 0.0);
    outline->append(lower, count);
    outline->append(upper, count);
    outline->append(upper, 0.0);
    highest = std::max(highest, bin.count);
    counts_.push_back(static_cast<int>(bin.count));
  }
  auto* bars = new QAreaSeries(outline);
  outline->setParent(bars);  // the area series does not own its outline
  bars->setName(QStringLiteral("Замеры"));
  bars->setColor(QColor(0x90, 0xb4, 0xdc));
  bars->setBorderColor(QColor(0x1f, 0x4e, 0x79));
  chart_->addSeries(bars);
  // The legend names the lines; the bars explain themselves.
  for (QLegendMarker* marker : chart_->legend()->markers(bars)) marker->setVisible(false);

  const double top = std::max<double>(1.0, std::ceil(static_cast<double>(highest) * 1.1));
  double left = x(static_cast<double>(bins.front().lower));
  double right = x(static_cast<double>(bins.back().upper));
  std::vector<QLineSeries*> lines;
  for (const inspection::LimitLine& limit : limits) {
    const double at = x(limit.nanometres);
    auto* line = new QLineSeries;
    line->setName(QString::fromStdString(limit.name));
    line->append(at, 0.0);
    line->append(at, top);
    line->setPen(limitPen(limit.kind));
    chart_->addSeries(line);
    lines.push_back(line);
    left = std::min(left, at);
    right = std::max(right, at);
  }

  auto* axisX = new QValueAxis;
  axisX->setTitleText(QStringLiteral("Толщина, ") + QString::fromUtf8(inspection::unitName(unit)));
  const double margin = (right - left) * 0.05;
  axisX->setRange(left - margin, right + margin);
  // Ticks on round values, about six of them.
  axisX->setTickType(QValueAxis::TicksDynamic);
  axisX->setTickAnchor(0.0);
  axisX->setTickInterval(inspection::roundStep((right - left + 2 * margin) / 6.0));
  axisX->setLabelFormat(QStringLiteral("%.4g"));
  auto* axisY = new QValueAxis;
  axisY->setTitleText(QStringLiteral("Замеров"));
  axisY->setRange(0.0, top);
  axisY->setLabelFormat(QStringLiteral("%d"));
  axisY->setTickType(QValueAxis::TicksDynamic);
  axisY->setTickInterval(std::max(1.0, std::ceil(top / 5.0)));
  chart_->addAxis(axisX, Qt::AlignBottom);
  chart_->addAxis(axisY, Qt::AlignLeft);
  for (QAbstractSeries* series : chart_->series()) {
    series->attachAxis(axisX);
    series->attachAxis(axisY);
  }
}

std::vector<ThicknessHistogram::Line> ThicknessHistogram::lines() const {
  std::vector<Line> out;
  for (QAbstractSeries* series : chart_->series()) {
    auto* line = qobject_cast<QLineSeries*>(series);
    if (line == nullptr || line->count() != 2) continue;
    out.push_back({line->name(), line->at(0).x()});
  }
  return out;
}

}  // namespace korsi
