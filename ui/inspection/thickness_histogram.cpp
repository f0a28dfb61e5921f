#include "ui/inspection/thickness_histogram.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
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

const QColor kBarBorder(0x1f, 0x4e, 0x79);
const QColor kGrid(0xe0, 0xe0, 0xe0);
const QColor kAxis(0x8c, 0x8c, 0x8c);
const QColor kText(0x40, 0x40, 0x40);

// Room around the white card, inside it, and between the parts.
constexpr double kOuter = 4.0;
constexpr double kInner = 10.0;
constexpr double kGap = 6.0;
constexpr double kMarker = 10.0;

QString tickText(double value) { return QString::asprintf("%.4g", std::abs(value) < 1e-9 ? 0.0 : value); }

}  // namespace

struct ThicknessHistogram::Layout {
  QRectF card;
  QRectF plot;
  QRectF legend;
  double xLabelsTop = 0.0;
  double xTitleTop = 0.0;
  double yTitleCentre = 0.0;
};

ThicknessHistogram::ThicknessHistogram(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("HistogramChart"));
  setMinimumSize(420, 260);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  clearBins();
}

QSize ThicknessHistogram::minimumSizeHint() const { return {420, 260}; }
QSize ThicknessHistogram::sizeHint() const { return {480, 320}; }

QColor ThicknessHistogram::barColour() { return {0x90, 0xb4, 0xdc}; }

void ThicknessHistogram::clearBins() {
  bars_.clear();
  limits_.clear();
  unitTitle_.clear();
  update();
}

void ThicknessHistogram::showBins(const std::vector<inspection::HistogramBin>& bins, inspection::Unit unit,
                                  const std::vector<inspection::LimitLine>& limits) {
  clearBins();
  if (bins.empty()) return;
  const auto x = [unit](double nanometres) { return inspection::inUnit(nanometres, unit); };

  std::size_t highest = 0;
  for (const inspection::HistogramBin& bin : bins) {
    bars_.push_back({x(static_cast<double>(bin.lower)), x(static_cast<double>(bin.upper)), static_cast<int>(bin.count)});
    highest = std::max(highest, bin.count);
  }
  double left = bars_.front().lower;
  double right = bars_.back().upper;
  for (const inspection::LimitLine& limit : limits) {
    const double at = x(limit.nanometres);
    limits_.push_back({{QString::fromStdString(limit.name), at}, limit.kind});
    left = std::min(left, at);
    right = std::max(right, at);
  }
  const double margin = (right - left) * 0.05;
  left_ = left - margin;
  right_ = right + margin;
  if (right_ <= left_) right_ = left_ + 1.0;
  // Ticks on round values, about six of them; counts in about five whole steps.
  xStep_ = inspection::roundStep((right_ - left_) / 6.0);
  if (!(xStep_ > 0.0)) xStep_ = right_ - left_;
  top_ = std::max<double>(1.0, std::ceil(static_cast<double>(highest) * 1.1));
  yStep_ = std::max(1.0, std::ceil(top_ / 5.0));
  unitTitle_ = QStringLiteral("Толщина, ") + QString::fromUtf8(inspection::unitName(unit));
  update();
}

std::vector<ThicknessHistogram::Line> ThicknessHistogram::lines() const {
  std::vector<Line> out;
  for (const Limit& limit : limits_) out.push_back(limit.line);
  return out;
}

std::vector<int> ThicknessHistogram::counts() const {
  std::vector<int> out;
  for (const Bar& bar : bars_) out.push_back(bar.count);
  return out;
}

ThicknessHistogram::Layout ThicknessHistogram::layout() const {
  Layout l;
  const QFontMetricsF text(font());
  QFont bold = font();
  bold.setBold(true);
  const QFontMetricsF title(bold);
  l.card = QRectF(rect()).adjusted(kOuter, kOuter, -kOuter, -kOuter);
  const QRectF inside = l.card.adjusted(kInner, kInner, -kInner, -kInner);

  // The widest count label decides how far the plot stands from the left.
  double labelWidth = text.horizontalAdvance(QStringLiteral("0"));
  for (double v = 0.0; v <= top_ + 1e-9; v += yStep_) {
    labelWidth = std::max(labelWidth, text.horizontalAdvance(QString::number(static_cast<long long>(v))));
  }
  const double legendHeight = limits_.empty() ? 0.0 : text.height() + kGap;
  const double plotLeft = inside.left() + title.height() + kGap + labelWidth + kGap;
  const double plotTop = inside.top() + text.height() / 2.0;
  const double plotBottom =
      inside.bottom() - legendHeight - title.height() - kGap - text.height() - kGap / 2.0;
  const double plotRight = inside.right() - text.horizontalAdvance(QStringLiteral("000")) / 2.0;
  l.plot = QRectF(QPointF(plotLeft, plotTop), QPointF(plotRight, std::max(plotTop + 1.0, plotBottom)));
  l.xLabelsTop = l.plot.bottom() + kGap / 2.0;
  l.xTitleTop = l.xLabelsTop + text.height() + kGap / 2.0;
  l.legend = QRectF(inside.left(), inside.bottom() - legendHeight + kGap, inside.width(), text.height());
  l.yTitleCentre = inside.left() + title.height() / 2.0;
  return l;
}

ThicknessHistogram::Scales ThicknessHistogram::scales() const {
  return {layout().plot, left_, right_, top_};
}

void ThicknessHistogram::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const Layout l = layout();
  const QFontMetricsF text(font());
  QFont bold = font();
  bold.setBold(true);

  painter.fillRect(rect(), palette().window());
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawRoundedRect(l.card, 6.0, 6.0);
  if (bars_.empty()) return;

  const QRectF& plot = l.plot;
  const auto px = [&](double value) { return plot.left() + (value - left_) / (right_ - left_) * plot.width(); };
  const auto py = [&](double count) { return plot.bottom() - count / top_ * plot.height(); };

  // The grid on the ticks, their labels outside the plot.
  painter.setFont(font());
  const double firstTick = std::ceil((left_ - 1e-9 * xStep_) / xStep_) * xStep_;
  for (double tick = firstTick; tick <= right_ + 1e-9 * xStep_; tick += xStep_) {
    const double at = px(tick);
    painter.setPen(QPen(kGrid, 1.0));
    painter.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
    painter.setPen(kText);
    const QString label = tickText(tick);
    const double w = text.horizontalAdvance(label);
    painter.drawText(QRectF(at - w / 2.0 - 2.0, l.xLabelsTop, w + 4.0, text.height()), Qt::AlignCenter, label);
  }
  for (double v = 0.0; v <= top_ + 1e-9; v += yStep_) {
    const double at = py(v);
    painter.setPen(QPen(kGrid, 1.0));
    painter.drawLine(QPointF(plot.left(), at), QPointF(plot.right(), at));
    painter.setPen(kText);
    painter.drawText(QRectF(plot.left() - kGap - 200.0, at - text.height() / 2.0, 200.0, text.height()),
                     Qt::AlignRight | Qt::AlignVCenter, QString::number(static_cast<long long>(v)));
  }

  // The bars from the zero line up, each its count high.
  painter.setPen(QPen(kBarBorder, 1.0));
  painter.setBrush(barColour());
  for (const Bar& bar : bars_) {
    if (bar.count <= 0) continue;
    painter.drawRect(QRectF(QPointF(px(bar.lower), py(bar.count)), QPointF(px(bar.upper), plot.bottom())));
  }
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(kAxis, 1.0));
  painter.drawLine(plot.bottomLeft(), plot.bottomRight());
  painter.drawLine(plot.bottomLeft(), plot.topLeft());

  // The rule's lines over the whole height.
  for (const Limit& limit : limits_) {
    painter.setPen(limitPen(limit.kind));
    const double at = px(limit.line.position);
    painter.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
  }

  // The axes' titles.
  painter.setFont(bold);
  painter.setPen(kText);
  painter.drawText(QRectF(plot.left(), l.xTitleTop, plot.width(), QFontMetricsF(bold).height()), Qt::AlignCenter,
                   unitTitle_);
  painter.save();
  painter.translate(l.yTitleCentre, plot.center().y());
  painter.rotate(-90.0);
  painter.drawText(QRectF(-plot.height() / 2.0, -QFontMetricsF(bold).height() / 2.0, plot.height(),
                          QFontMetricsF(bold).height()),
                   Qt::AlignCenter, QStringLiteral("Замеров"));
  painter.restore();

  // The legend names the lines, each by a square of its colour; the bars
  // explain themselves.
  painter.setFont(font());
  double width = 0.0;
  for (const Limit& limit : limits_) width += kMarker + 4.0 + text.horizontalAdvance(limit.line.name) + 2.0 * kGap;
  double at = l.legend.center().x() - width / 2.0;
  for (const Limit& limit : limits_) {
    const QColor colour = limitPen(limit.kind).color();
    const QRectF marker(at, l.legend.center().y() - kMarker / 2.0, kMarker, kMarker);
    painter.setPen(QPen(colour.darker(140), 1.0));
    painter.setBrush(colour);
    painter.drawRect(marker);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(kText);
    const double nameWidth = text.horizontalAdvance(limit.line.name);
    painter.drawText(QRectF(marker.right() + 4.0, l.legend.top(), nameWidth + 2.0, l.legend.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, limit.line.name);
    at = marker.right() + 4.0 + nameWidth + 2.0 * kGap;
  }
}

}  // namespace korsi
