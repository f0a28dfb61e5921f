#include "ui/report/inspection_record.h"

#include <QPagedPaintDevice>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "inspection/wording.h"
#include "ui/report/band_pages.h"
#include "ui/report/page_canvas.h"

namespace korsi::report {

namespace {

namespace in = korsi::inspection;

constexpr double kWidth = 190.0;  // the bands' width, as the archive report's
constexpr double kLine = 5.0;     // one line of 10-point text
constexpr double kEntriesTop = 20.0;
constexpr double kHistogramTop = 54.0;
constexpr double kHistogramHeight = kRecordHistogramHeight;
constexpr double kVerdictTop = kHistogramTop + kHistogramHeight + 3.0;
constexpr double kVerdictHeight = 10.0;
constexpr double kCriteriaTop = kVerdictTop + kVerdictHeight + 3.0;
constexpr double kCriterionHeight = 11.0;
constexpr double kFailingHeaderHeight = 13.0;
constexpr double kSignatureHeight = 30.0;

// Criterion columns: label, requirement, outcome, figures.
constexpr std::array<Box, 4> kCriterionBoxes{{
    {0.0, 0.5, 18.0, 10.0}, {18.0, 0.5, 52.0, 10.0}, {70.0, 0.5, 25.0, 10.0}, {95.0, 0.5, 95.0, 10.0}}};
// Failing reading columns: number, date, thickness, why.
constexpr std::array<Box, 4> kFailingBoxes{{
    {0.0, 0.3, 30.0, 4.5}, {30.0, 0.3, 55.0, 4.5}, {85.0, 0.3, 35.0, 4.5}, {120.0, 0.3, 70.0, 4.5}}};

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

QString unitText(in::Unit unit) { return QString::fromUtf8(in::unitName(unit)); }

QString exact(double nanometres, in::Unit unit) {
  return text(in::exactText(nanometres, unit)) + QLatin1Char(' ') + unitText(unit);
}

// The text in lines no wider than `width` on the device, broken between words.
QStringList wrapped(const QString& text, const QFont& font, QPaintDevice* device, double width) {
  const QFontMetricsF metrics(font, device);
  QStringList lines;
  QString line;
  for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
    if (!line.isEmpty() && metrics.horizontalAdvance(longer) > width) {
      lines << line;
      line = word;
    } else {
      line = longer;
    }
  }
  if (!line.isEmpty()) lines << line;
  return lines;
}

// Millimetres on the painter's device.
class Millimetres {
 public:
  explicit Millimetres(const QPainter& painter)
      : x_(painter.device()->logicalDpiX() / 25.4), y_(painter.device()->logicalDpiY() / 25.4) {}
  QPointF at(double left, double top) const { return {left * x_, top * y_}; }
  QRectF box(double left, double top, double width, double height) const {
    return {left * x_, top * y_, width * x_, height * y_};
  }
  double dots(double mm) const { return mm * y_; }
  double across(double mm) const { return mm * x_; }

 private:
  double x_;
  double y_;
};

struct Limit {
  QString name;
  double position;  // in the record's unit
  QColor colour;
  Qt::PenStyle style;
};

// The histogram of the judged readings with its limit lines, in the box.
void drawHistogram(QPainter& painter, const Millimetres& mm, double top, const in::Verdict& v, PageCanvas& canvas) {
  const in::Unit unit = v.unit;
  const auto bins = in::histogram(v.readings, unit, in::suggestedBinCount(v.readings.size()));
  if (bins.empty()) return;
  const auto x = [unit](double nanometres) { return in::inUnit(nanometres, unit); };
  // The limits of the rule in force only.
  std::vector<Limit> limits;
  for (const in::LimitLine& line : in::limitLines(v)) {
    using Kind = in::LimitLine::Kind;
    limits.push_back({text(line.name), x(line.nanometres),
                      line.kind == Kind::Lower     ? QColor(0xc6, 0x28, 0x28)
                      : line.kind == Kind::Nominal ? QColor(0x2e, 0x7d, 0x32)
                                                   : QColor(0x6a, 0x1b, 0x9a),
                      line.kind == Kind::Nominal ? Qt::SolidLine : Qt::DashLine});
  }
  double left = x(static_cast<double>(bins.front().lower));
  double right = x(static_cast<double>(bins.back().upper));
  for (const Limit& l : limits) {
    left = std::min(left, l.position);
    right = std::max(right, l.position);
  }
  const double margin = (right - left) * 0.05;
  left -= margin;
  right += margin;
  std::size_t highest = 1;
  for (const auto& bin : bins) highest = std::max(highest, bin.count);

  // The plot: 16 mm for the counts at its left, 18 mm for the labels below and
  // the lines' names above.
  const double plotLeft = 16.0;
  const double plotTop = top + 8.0;
  const double plotWidth = kWidth - plotLeft - 2.0;
  const double plotHeight = kHistogramHeight - 8.0 - 12.0;
  const double plotBottom = plotTop + plotHeight;
  const auto px = [&](double value) { return plotLeft + (value - left) / (right - left) * plotWidth; };
  const auto py = [&](double count) { return plotBottom - count / static_cast<double>(highest) * plotHeight; };

  const QFont small = reportFont(7);
  painter.save();
  painter.setPen(QPen(QColor(0x1f, 0x4e, 0x79), std::max(1.0, mm.dots(0.15))));
  painter.setBrush(QColor(0x90, 0xb4, 0xdc));
  for (const auto& bin : bins) {
    const double l = px(x(static_cast<double>(bin.lower)));
    const double r = px(x(static_cast<double>(bin.upper)));
    const double t = py(static_cast<double>(bin.count));
    if (bin.count > 0) painter.drawRect(mm.box(l, t, r - l, plotBottom - t));
  }
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::black, std::max(1.0, mm.dots(0.2))));
  painter.drawLine(mm.at(plotLeft, plotBottom), mm.at(plotLeft + plotWidth, plotBottom));
  painter.drawLine(mm.at(plotLeft, plotTop), mm.at(plotLeft, plotBottom));
  painter.restore();

  // Counts at the left, thicknesses below on round values.
  for (const std::size_t count : {std::size_t{0}, (highest + 1) / 2, highest}) {
    canvas.drawBoxText(0.0, Box{0.0, py(static_cast<double>(count)) - 1.6, plotLeft - 1.5, 3.5},
                       QString::number(count), small);
  }
  canvas.drawBoxText(0.0, Box{0.0, plotTop - 7.5, 30.0, 3.5}, QStringLiteral("Замеров"), small);
  const double step = in::roundStep((right - left) / 8.0);
  for (double tick = std::ceil(left / step) * step; tick <= right; tick += step) {
    canvas.drawBoxText(0.0, Box{px(tick) - 8.0, plotBottom + 0.8, 16.0, 3.5},
                       text(in::fixedText(tick, step < 1.0 ? (step < 0.1 ? 2 : 1) : 0)), small);
  }
  canvas.drawBoxText(0.0, Box{plotLeft, plotBottom + 5.0, plotWidth, 4.0},
                     QStringLiteral("Толщина, ") + unitText(unit), small);

  // The lines, each named above the plot on a row of its own so that names
  // of close lines do not overlap.
  for (std::size_t i = 0; i < limits.size(); ++i) {
    const Limit& l = limits[i];
    painter.save();
    painter.setPen(QPen(l.colour, std::max(1.0, mm.dots(0.35)), l.style));
    painter.drawLine(mm.at(px(l.position), plotTop - 0.5), mm.at(px(l.position), plotBottom));
    painter.restore();
    const double nameTop = top + (i % 2 == 0 ? 0.0 : 3.5);
    // Within the plot's width, clear of the counts' title at its left.
    const double nameLeft = std::clamp(px(l.position) - 20.0, plotLeft, kWidth - 40.0);
    canvas.drawBoxText(0.0, Box{nameLeft, nameTop, 40.0, 3.5}, l.name, small);
  }
}

}  // namespace

void drawVerdictHistogram(QPainter& painter, PageCanvas& canvas, double top, const in::Verdict& verdict) {
  drawHistogram(painter, Millimetres(painter), top, verdict, canvas);
}

bool renderInspectionRecord(QPagedPaintDevice& device, const InspectionRecord& record) {
  QPainter painter;
  if (!painter.begin(&device)) return false;
  PageCanvas canvas(painter);
  const Millimetres mm(painter);
  const QFont titleFont = reportFont(14);
  QFont verdictFont = reportFont(13);
  verdictFont.setBold(true);
  const QFont textFont = reportFont(10);
  QFont boldFont = textFont;
  boldFont.setBold(true);
  const QFont tableFont = reportFont(8.5);
  const in::Verdict& v = record.verdict;
  const in::Unit unit = record.entries.unit;

  // The verdict on one line: a long one in a smaller type.
  while (verdictFont.pointSizeF() > 8.0 &&
         QFontMetricsF(verdictFont, &device).horizontalAdvance(text(v.summary)) > mm.across(kWidth - 4.0)) {
    verdictFont.setPointSizeF(verdictFont.pointSizeF() - 0.5);
  }
  // Below the criteria: the sample, the spots, and a maximum not entered, in words.
  QStringList notes;
  if (!v.advice.empty()) notes << QStringLiteral("Указание: ") + text(v.advice);
  if (!v.sampling.empty()) notes << QStringLiteral("Выборка: ") + text(v.sampling);
  if (v.sspc && !v.sspc->spotSums.empty()) {
    // A few lines of them; the rest are in the counts and the criteria.
    constexpr std::size_t kSpotsShown = 60;
    QStringList spots;
    for (std::size_t i = 0; i < v.sspc->spotSums.size() && i < kSpotsShown; ++i) {
      spots << text(in::textBesideLimits(v.sspc->spotMean(i), unit, in::limitPositions(v)));
    }
    if (v.sspc->spotSums.size() > kSpotsShown) {
      spots << QStringLiteral("… (всего %1)").arg(v.sspc->spotSums.size());
    }
    notes << QStringLiteral("Пятна по %1 (среднее каждого), %2: %3")
                 .arg(text(in::plural(v.sspc->spotSize, "замеру", "замера", "замеров")), unitText(unit),
                      spots.join(QStringLiteral("; ")));
  }
  if (!v.maximum && v.judgement != in::Judgement::NotApplicable) {
    notes << QStringLiteral("Максимум не задан: толщина сверху не проверялась.");
  }
  QStringList noteLines;
  for (const QString& note : notes) noteLines << wrapped(note, textFont, &device, mm.across(kWidth));
  notes = noteLines;
  const double notesTop = kCriteriaTop + kLine + kCriterionHeight * static_cast<double>(v.criteria.size()) + 1.0;
  const double titleHeight = notesTop + kLine * static_cast<double>(notes.size()) + 3.0;
  const QColor frame = v.judgement == in::Judgement::Pass                 ? QColor(0x2e, 0x7d, 0x32)
                       : v.judgement == in::Judgement::Fail               ? QColor(0xc6, 0x28, 0x28)
                       : v.judgement == in::Judgement::TooFewMeasurements ? QColor(0xb2, 0x6a, 0x00)
                                                                          : QColor(0x61, 0x61, 0x61);
  const bool sspc = v.rule == in::Rule::SspcPa2;
  const auto title = [&](PageCanvas& c, double top) {
    c.drawBoxText(top, Box{0.0, 0.0, kWidth, 8.0}, QString::fromUtf8(kInspectionRecordTitle), titleFont);
    c.drawBoxText(top, Box{0.0, 8.0, kWidth, 5.0}, QStringLiteral("Правило приёмки: ") + text(in::ruleTitle(v)),
                  textFont);

    // The entries at the left, the statistics at the right.
    const QString none = QStringLiteral("не задана, сверху не проверялось");
    const QString roughness =
        v.correction > 0 ? QStringLiteral("%1, из каждого замера вычтено %2")
                               .arg(QString::fromUtf8(in::roughnessName(record.entries.roughness)),
                                    exact(static_cast<double>(v.correction), unit))
                         : QStringLiteral("нет");
    QString rows = record.rows;
    if (record.rowsWithoutThickness > 0) {
      rows += QStringLiteral(" (без толщины пропущено: %1)").arg(record.rowsWithoutThickness);
    }
    const std::array<std::pair<QString, QString>, 5> entries{{
        {sspc ? QStringLiteral("Минимальная толщина:") : QStringLiteral("Номинальная толщина NDFT:"),
         exact(static_cast<double>(v.ndft), unit)},
        {QStringLiteral("Максимальная толщина:"), v.maximum ? exact(static_cast<double>(*v.maximum), unit) : none},
        {QStringLiteral("Шероховатость:"), roughness},
        {QStringLiteral("Замеры:"), rows},
        {QStringLiteral("Единицы:"), unitText(unit)},
    }};
    c.drawLabel(top, 0.0, kEntriesTop - 5.5, QStringLiteral("Условия"), boldFont);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const double line = kEntriesTop + kLine * static_cast<double>(i);
      c.drawLabel(top, 0.0, line, entries[i].first, textFont);
      c.drawLabel(top, 54.0, line, entries[i].second, textFont);
    }
    const in::Statistics& s = v.statistics;
    // One precision for the figures, none of them shown on a limit it is not on.
    const in::StatisticsTexts figures = in::statisticsTexts(s, unit, in::limitPositions(v));
    const auto withUnit = [&](const std::string& figure) { return text(figure) + QLatin1Char(' ') + unitText(unit); };
    const std::array<std::pair<QString, QString>, 6> statistics{{
        {QStringLiteral("Замеров:"), QString::number(s.count)},
        {QStringLiteral("Среднее:"), withUnit(figures.mean)},
        {QStringLiteral("Наименьший:"), withUnit(figures.minimum)},
        {QStringLiteral("Наибольший:"), withUnit(figures.maximum)},
        {QStringLiteral("Ст. отклонение:"),
         s.standardDeviation ? withUnit(figures.standardDeviation) : QStringLiteral("—")},
        {QStringLiteral("Коэф. вариации:"),
         s.coefficientOfVariation ? text(in::fixedText(*s.coefficientOfVariation, 1)) + QStringLiteral(" %")
                                  : QStringLiteral("—")},
    }};
    c.drawLabel(top, 128.0, kEntriesTop - 5.5, QStringLiteral("Статистика"), boldFont);
    for (std::size_t i = 0; i < statistics.size(); ++i) {
      const double line = kEntriesTop + kLine * static_cast<double>(i);
      c.drawLabel(top, 128.0, line, statistics[i].first, textFont);
      c.drawLabel(top, 158.0, line, statistics[i].second, textFont);
    }

    drawHistogram(painter, mm, top + kHistogramTop, record.verdict, c);

    // The verdict in a frame, and every criterion below it.
    painter.save();
    painter.setPen(QPen(frame, mm.dots(0.6)));
    painter.drawRect(mm.box(0.0, top + kVerdictTop, kWidth, kVerdictHeight));
    painter.restore();
    c.drawBoxText(top, Box{0.0, kVerdictTop + 2.0, kWidth, 7.0}, text(v.summary), verdictFont);
    const std::array<QString, 4> captions{QStringLiteral("Критерий"), QStringLiteral("Требование"),
                                          QStringLiteral("Итог"), QStringLiteral("Данные")};
    std::array<Box, 4> captionBoxes = kCriterionBoxes;
    for (Box& b : captionBoxes) b.height = 4.5;
    c.drawUnderlinedTexts(top + kCriteriaTop, captionBoxes, captions, boldFont);
    for (std::size_t i = 0; i < v.criteria.size(); ++i) {
      const in::Criterion& k = v.criteria[i];
      const std::array<QString, 4> cells{text(k.label), text(k.requirement), QString::fromUtf8(in::outcomeText(k.outcome)),
                                         text(k.figures)};
      c.drawUnderlinedTexts(top + kCriteriaTop + kLine + kCriterionHeight * static_cast<double>(i), kCriterionBoxes,
                            cells, tableFont);
    }
    for (int i = 0; i < notes.size(); ++i) c.drawLabel(top, 0.0, notesTop + kLine * i, notes[i], textFont);
  };

  const QString failingTitle =
      record.failing.empty()
          ? QStringLiteral("Замеров, не прошедших по отдельности, нет.")
          : QStringLiteral("Замеры, не прошедшие по отдельности: %1").arg(record.failing.size());
  const std::array<QString, 4> failingCaptions{QStringLiteral("№ измерения"), QStringLiteral("Дата/время"),
                                               QStringLiteral("Толщина, ") + unitText(unit),
                                               QStringLiteral("Причина")};
  BandPages pages(device, canvas,
                  Band{record.failing.empty() ? 8.0 : kFailingHeaderHeight, [&](PageCanvas& c, double top) {
                         c.drawLabel(top, 0.0, 1.0, failingTitle, boldFont);
                         if (record.failing.empty()) return;
                         std::array<Box, 4> boxes = kFailingBoxes;
                         for (Box& b : boxes) b.top = 7.0;
                         c.drawUnderlinedTexts(top, boxes, failingCaptions, textFont);
                       }});
  pages.title(Band{titleHeight, title});
  std::array<QString, 4> fields;
  const Band line{kLine, [&](PageCanvas& c, double top) { c.drawUnderlinedTexts(top, kFailingBoxes, fields, textFont); }};
  for (const FailingReading& r : record.failing) {
    fields = {r.num, r.date, r.thickness, r.why};
    pages.detail(line);
  }
  pages.detail(Band{kSignatureHeight, [&](PageCanvas& c, double top) {
                      c.drawLabel(top, 0.0, 8.0,
                                  QStringLiteral("Дата: ") +
                                      record.madeAt.toString(QStringLiteral("dd.MM.yyyy H:mm")),
                                  textFont);
                      c.drawLabel(top, 0.0, 20.0, QStringLiteral("Контроль провёл:"), textFont);
                      c.drawUnderline(top, Box{35.0, 20.0, 60.0, 4.5});
                      c.drawUnderline(top, Box{105.0, 20.0, 85.0, 4.5});
                      c.drawBoxText(top, Box{35.0, 25.0, 60.0, 4.0}, QStringLiteral("подпись"), reportFont(7));
                      c.drawBoxText(top, Box{105.0, 25.0, 85.0, 4.0}, QStringLiteral("фамилия, инициалы"),
                                    reportFont(7));
                    }});
  pages.finish();
  return painter.end();
}

}  // namespace korsi::report
