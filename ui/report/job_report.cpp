#include "ui/report/job_report.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

#include "inspection/sampling.h"
#include "inspection/wording.h"
#include "ui/report/inspection_record.h"
#include "ui/report/page_canvas.h"

namespace korsi::report {

namespace {

namespace in = korsi::inspection;

constexpr double kWidth = 190.0;
constexpr double kLine = 5.0;
constexpr double kSmallLine = 4.2;
constexpr double kFooter = 8.0;  // kept free at the foot of every page for its number
constexpr double kCriterionHeight = 11.0;

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }
QString unitText(in::Unit unit) { return QString::fromUtf8(in::unitName(unit)); }

// A block of the report: drawn whole on one page.
struct Block {
  double height;
  std::function<void(PageCanvas&, QPainter&, double top)> draw;
  bool newPage = false;  // starts a page of its own
};

QStringList wrapped(const QString& line, const QFont& font, QPaintDevice* device, double widthDots) {
  const QFontMetricsF metrics(font, device);
  QStringList lines;
  QString current;
  for (const QString& word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    const QString longer = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
    if (!current.isEmpty() && metrics.horizontalAdvance(longer) > widthDots) {
      lines << current;
      current = word;
    } else {
      current = longer;
    }
  }
  if (!current.isEmpty()) lines << current;
  return lines;
}

// The verdict's word for the summary table.
QString shortVerdict(const in::AreaVerdict& a) {
  if (!a.assessment.ok()) return QStringLiteral("нет вердикта");
  switch (a.assessment.verdict.judgement) {
    case in::Judgement::Pass:
      return QStringLiteral("соответствует");
    case in::Judgement::Fail:
      return QStringLiteral("не соответствует");
    case in::Judgement::TooFewMeasurements:
      return QStringLiteral("недостаточно измерений");
    case in::Judgement::NotApplicable:
      break;
  }
  return QStringLiteral("не применяется");
}

QString setUpText(const job::JobHeader& h, const in::Verdict* v) {
  QString setUp;
  switch (h.setUp) {
    case job::SetUp::None:
      setUp = QStringLiteral("без поправки на шероховатость");
      break;
    case job::SetUp::Fine:
      setUp = QStringLiteral("шероховатость мелкая (10 мкм)");
      break;
    case job::SetUp::Medium:
      setUp = QStringLiteral("шероховатость средняя (25 мкм)");
      break;
    case job::SetUp::Coarse:
      setUp = QStringLiteral("шероховатость грубая (40 мкм)");
      break;
    case job::SetUp::UnknownProfile:
      setUp = QStringLiteral("профиль неизвестен (25 мкм)");
      break;
    case job::SetUp::Measured:
      setUp = QStringLiteral("измеренная поправка");
      break;
  }
  if (v && v->correction > 0) {
    setUp += QStringLiteral("; из каждого замера вычтено %1 %2")
                 .arg(text(in::exactText(static_cast<double>(v->correction), v->unit)), unitText(v->unit));
  }
  return setUp;
}

}  // namespace

int renderJobReport(QPagedPaintDevice& device, const JobReport& report) {
  QPainter painter;
  if (!painter.begin(&device)) return 0;
  PageCanvas canvas(painter);
  const double dotsPerMm = device.logicalDpiX() / 25.4;
  const QFont titleFont = reportFont(14);
  const QFont textFont = reportFont(10);
  QFont boldFont = textFont;
  boldFont.setBold(true);
  QFont headingFont = reportFont(12);
  headingFont.setBold(true);
  const QFont tableFont = reportFont(8.5);
  QFont tableBold = tableFont;
  tableBold.setBold(true);
  const QFont small = reportFont(7);
  const job::InspectionJob& jb = report.job;
  const job::JobHeader& h = jb.header;
  const in::JobVerdict& verdict = report.verdict;
  const in::Unit jobUnit = h.unit == job::JobUnit::Mil ? in::Unit::Mil : in::Unit::Micrometre;

  std::vector<Block> blocks;
  // Lines of text, wrapped to the width, as one block.
  // Printed in black, as the rest of the reports: verdicts stand in words.
  const auto paragraph = [&](const QString& line, const QFont& font, double lineHeight) {
    const QStringList lines = wrapped(line, font, &device, kWidth * dotsPerMm);
    blocks.push_back({lineHeight * static_cast<double>(lines.size()) + 1.0,
                      [lines, font, lineHeight](PageCanvas& c, QPainter&, double top) {
                        for (int i = 0; i < lines.size(); ++i) c.drawLabel(top, 0.0, lineHeight * i, lines[i], font);
                      }});
  };

  // The header.
  blocks.push_back({10.0, [&](PageCanvas& c, QPainter&, double top) {
                      c.drawBoxText(top, Box{0.0, 0.0, kWidth, 8.0}, QString::fromUtf8(kJobReportTitle), titleFont);
                    }});
  for (const job::HeaderTextField& field : job::kHeaderTextFields) {
    const std::string& value = h.*field.member;
    const QString shown = value.empty() ? QStringLiteral("—") : text(value);
    const QString name = QString::fromUtf8(field.caption);
    blocks.push_back({kLine, [name, shown, &textFont](PageCanvas& c, QPainter&, double top) {
                        c.drawLabel(top, 0.0, 0.0, name, textFont);
                        c.drawLabel(top, 45.0, 0.0, shown, textFont);
                      }});
  }
  paragraph(QStringLiteral("Настройка прибора: ") + setUpText(h, nullptr) + QStringLiteral("; единицы: ") +
                unitText(jobUnit),
            textFont, kLine);

  // The summary: one line per area.
  blocks.push_back({9.0, [&](PageCanvas& c, QPainter&, double top) {
                      c.drawLabel(top, 0.0, 3.0, QStringLiteral("Сводка по зонам"), headingFont);
                    }});
  const std::array<Box, 8> summaryBoxes{{{0.0, 0.3, 30.0, 4.5},
                                         {30.0, 0.3, 24.0, 4.5},
                                         {54.0, 0.3, 28.0, 4.5},
                                         {82.0, 0.3, 18.0, 4.5},
                                         {100.0, 0.3, 18.0, 4.5},
                                         {118.0, 0.3, 16.0, 4.5},
                                         {134.0, 0.3, 16.0, 4.5},
                                         {150.0, 0.3, 40.0, 4.5}}};
  const std::array<QString, 8> summaryCaptions{
      QStringLiteral("Зона"),      QStringLiteral("Номера"),   QStringLiteral("Правило"), QStringLiteral("Замеров"),
      QStringLiteral("Среднее"),   QStringLiteral("Наим."),    QStringLiteral("Наиб."),   QStringLiteral("Итог")};
  blocks.push_back({kLine, [&, summaryBoxes, summaryCaptions](PageCanvas& c, QPainter&, double top) {
                      c.drawUnderlinedTexts(top, summaryBoxes, summaryCaptions, tableBold);
                    }});
  for (std::size_t i = 0; i < jb.areas.size(); ++i) {
    const job::JobArea& area = jb.areas[i];
    const in::AreaVerdict& a = verdict.areas[i];
    std::array<QString, 8> cells;
    cells[0] = text(area.name);
    cells[1] = text(job::rangesText(area.numbers));
    cells[2] = QString::fromUtf8(in::ruleName(a.entries.rule));
    cells[3] = QString::number(a.readings.size());
    if (a.assessment.ok()) {
      const in::Verdict& v = a.assessment.verdict;
      const std::vector<double> limits = in::limitPositions(v);
      if (v.sspc) cells[3] += QStringLiteral(" / %1 п.").arg(v.sspc->spotSums.size());
      const in::StatisticsTexts figures = in::statisticsTexts(v.statistics, v.unit, limits);
      cells[4] = text(figures.mean);
      cells[5] = text(figures.minimum);
      cells[6] = text(figures.maximum);
    }
    cells[7] = shortVerdict(a);
    blocks.push_back({kLine, [&, summaryBoxes, cells](PageCanvas& c, QPainter&, double top) {
                        c.drawUnderlinedTexts(top, std::span(summaryBoxes).first(7), std::span(cells).first(7),
                                              tableFont);
                        c.drawUnderlinedTexts(top, std::span(summaryBoxes).last(1), std::span(cells).last(1),
                                              tableBold);
                      }});
  }
  blocks.push_back({2.0, [](PageCanvas&, QPainter&, double) {}});
  paragraph(QStringLiteral("Итог проверки: ") + text(verdict.summary) +
                QStringLiteral(" (толщины в %1)").arg(unitText(jobUnit)),
            boldFont, kLine);

  // Each area on pages of its own.
  const std::array<Box, 4> criterionBoxes{
      {{0.0, 0.5, 18.0, 10.0}, {18.0, 0.5, 52.0, 10.0}, {70.0, 0.5, 25.0, 10.0}, {95.0, 0.5, 95.0, 10.0}}};
  // Readings in four groups across: number, thickness, mark.
  constexpr int kGroups = 4;
  constexpr double kGroupWidth = kWidth / kGroups;
  for (std::size_t i = 0; i < jb.areas.size(); ++i) {
    const job::JobArea& area = jb.areas[i];
    const in::AreaVerdict& a = verdict.areas[i];
    const QString heading = QStringLiteral("Зона %1 «%2», замеры %3").arg(i + 1).arg(text(area.name),
                                                                              text(job::rangesText(area.numbers)));
    blocks.push_back({10.0,
                      [heading, &headingFont](PageCanvas& c, QPainter&, double top) {
                        c.drawLabel(top, 0.0, 2.0, heading, headingFont);
                      },
                      true});
    const in::Entries& e = a.entries;
    const auto limit = [&](double value) {
      const auto nm = in::nanometresFrom(value, e.unit);
      return nm ? text(in::exactText(static_cast<double>(*nm), e.unit)) + QLatin1Char(' ') + unitText(e.unit)
                : QStringLiteral("?");
    };
    if (!a.assessment.ok()) {
      paragraph(QStringLiteral("Правило: ") + QString::fromUtf8(in::ruleEdition(e.rule)), textFont, kLine);
      paragraph(QStringLiteral("Нет вердикта: ") + text(a.assessment.refusal), boldFont, kLine);
      continue;
    }
    const in::Verdict& v = a.assessment.verdict;
    paragraph(QStringLiteral("Правило: ") + QString::fromUtf8(in::ruleEdition(v.rule)) +
                  (v.sspc ? QStringLiteral(" — ") + text(in::ruleTitle(v)) : QString()),
              textFont, kLine);
    QString entries = (v.rule == in::Rule::SspcPa2 ? QStringLiteral("Минимальная толщина ")
                                                   : QStringLiteral("Номинальная толщина NDFT ")) +
                      limit(e.ndft) + QStringLiteral("; максимальная ") +
                      (e.maximum ? limit(*e.maximum) : QStringLiteral("не задана"));
    if (v.sspc) entries += QStringLiteral("; замеров в пятне %1").arg(v.sspc->spotSize);
    entries += QStringLiteral("; площадь ") +
               (area.surface ? text(in::surfaceText(*area.surface)) : QStringLiteral("не задана"));
    if (area.kind) entries += QStringLiteral(", поверхность ") + QString::fromUtf8(in::surfaceKindName(*area.kind));
    paragraph(entries, textFont, kLine);
    paragraph(QStringLiteral("Настройка прибора: ") + setUpText(h, &v), textFont, kLine);
    if (!v.maximum && v.judgement != in::Judgement::NotApplicable) {
      paragraph(QStringLiteral("Максимум не задан: толщина сверху не проверялась."), boldFont, kLine);
    }
    const in::Statistics& s = v.statistics;
    const in::StatisticsTexts figures = in::statisticsTexts(s, v.unit, in::limitPositions(v));
    QString statistics = QStringLiteral("Замеров %1; среднее %2; наименьший %3; наибольший %4")
                             .arg(s.count)
                             .arg(text(figures.mean) + QLatin1Char(' ') + unitText(v.unit),
                                  text(figures.minimum) + QLatin1Char(' ') + unitText(v.unit),
                                  text(figures.maximum) + QLatin1Char(' ') + unitText(v.unit));
    if (s.standardDeviation) {
      statistics += QStringLiteral("; ст. отклонение %1 %2").arg(text(figures.standardDeviation), unitText(v.unit));
    }
    paragraph(statistics, textFont, kLine);
    if (!v.sampling.empty()) paragraph(QStringLiteral("Выборка: ") + text(v.sampling), textFont, kLine);
    if (v.sspc && !v.sspc->spotSums.empty()) {
      QStringList spots;
      for (std::size_t k = 0; k < v.sspc->spotSums.size(); ++k) {
        spots << text(in::textBesideLimits(v.sspc->spotMean(k), v.unit, in::limitPositions(v)));
      }
      paragraph(QStringLiteral("Пятна (среднее каждого), %1: %2").arg(unitText(v.unit), spots.join(QStringLiteral("; "))),
                textFont, kLine);
    }
    const QString summary = text(v.summary);
    blocks.push_back({10.0, [summary, &boldFont](PageCanvas& c, QPainter&, double top) {
                        c.drawBoxText(top, Box{0.0, 2.0, kWidth, 6.0}, summary, boldFont);
                      }});
    if (!v.advice.empty()) paragraph(QStringLiteral("Указание: ") + text(v.advice), textFont, kLine);
    const std::array<QString, 4> captions{QStringLiteral("Критерий"), QStringLiteral("Требование"),
                                          QStringLiteral("Итог"), QStringLiteral("Данные")};
    blocks.push_back({kLine, [criterionBoxes, captions, &tableBold](PageCanvas& c, QPainter&, double top) {
                        std::array<Box, 4> boxes = criterionBoxes;
                        for (Box& b : boxes) b.height = 4.5;
                        c.drawUnderlinedTexts(top, boxes, captions, tableBold);
                      }});
    for (const in::Criterion& k : v.criteria) {
      const std::array<QString, 4> cells{text(k.label), text(k.requirement),
                                         QString::fromUtf8(in::outcomeText(k.outcome)), text(k.figures)};
      blocks.push_back({kCriterionHeight, [criterionBoxes, cells, &tableFont](PageCanvas& c, QPainter&, double top) {
                          c.drawUnderlinedTexts(top, criterionBoxes, cells, tableFont);
                        }});
    }
    const in::Verdict* shown = &v;
    blocks.push_back({kRecordHistogramHeight + 4.0, [shown](PageCanvas& c, QPainter& p, double top) {
                        drawVerdictHistogram(p, c, top + 2.0, *shown);
                      }});

    // All the readings, those that fail by themselves marked.
    blocks.push_back({kLine + 2.0, [&, v = &v](PageCanvas& c, QPainter&, double top) {
                        c.drawLabel(top, 0.0, 1.5,
                                    QStringLiteral("Замеры зоны (%1; ✗ — не прошёл по отдельности, ! — ниже NDFT)")
                                        .arg(unitText(v->unit)),
                                    boldFont);
                      }});
    const std::vector<std::size_t>* held = &a.readings;
    for (std::size_t first = 0; first < held->size(); first += kGroups) {
      blocks.push_back({kSmallLine, [&, first, held, v = &v](PageCanvas& c, QPainter&, double top) {
                          for (std::size_t g = 0; g < kGroups && first + g < held->size(); ++g) {
                            const std::size_t k = first + g;
                            const double left = kGroupWidth * static_cast<double>(g);
                            QString mark;
                            switch (v->marks[k]) {
                              case in::ReadingMark::BelowMinimum:
                              case in::ReadingMark::AboveMaximum:
                                mark = QStringLiteral("✗");
                                break;
                              case in::ReadingMark::BelowNominal:
                                mark = QStringLiteral("!");
                                break;
                              case in::ReadingMark::Ok:
                                break;
                            }
                            const std::array<Box, 3> boxes{{{left, 0.2, 14.0, 3.8},
                                                            {left + 14.0, 0.2, 22.0, 3.8},
                                                            {left + 36.0, 0.2, 8.0, 3.8}}};
                            const std::array<QString, 3> cells{
                                QStringLiteral("№ %1").arg(jb.readings[(*held)[k]].num),
                                text(in::exactText(static_cast<double>(v->readings[k]), v->unit)), mark};
                            c.drawUnderlinedTexts(top, boxes, cells, mark.isEmpty() ? small : tableBold);
                          }
                        }});
    }
  }

  // The date and the signatures.
  blocks.push_back({32.0, [&](PageCanvas& c, QPainter&, double top) {
                      c.drawLabel(top, 0.0, 6.0,
                                  QStringLiteral("Дата протокола: ") +
                                      report.madeAt.toString(QStringLiteral("dd.MM.yyyy H:mm")),
                                  textFont);
                      c.drawLabel(top, 0.0, 16.0, QStringLiteral("Контроль провёл:"), textFont);
                      c.drawUnderline(top, Box{35.0, 16.0, 60.0, 4.5});
                      c.drawUnderline(top, Box{105.0, 16.0, 85.0, 4.5});
                      c.drawBoxText(top, Box{35.0, 21.0, 60.0, 4.0}, QStringLiteral("подпись"), small);
                      c.drawBoxText(top, Box{105.0, 21.0, 85.0, 4.0}, QStringLiteral("фамилия, инициалы"), small);
                    }});

  // Pages first, so that each can say how many there are.
  const double usable = canvas.printableHeight() - kFooter;
  std::vector<std::pair<int, double>> placed;  // page from 0, top
  int page = 0;
  double y = 0.0;
  for (const Block& b : blocks) {
    if ((b.newPage && y > 0.0) || (y > 0.0 && y + b.height > usable)) {
      ++page;
      y = 0.0;
    }
    placed.emplace_back(page, y);
    y += b.height;
  }
  const int pages = page + 1;
  int drawn = 0;
  const auto footer = [&](int number) {
    canvas.drawBoxText(canvas.printableHeight() - 5.0, Box{0.0, 0.0, kWidth, 4.5},
                       QStringLiteral("стр. %1 из %2").arg(number).arg(pages), reportFont(8));
  };
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    while (drawn < placed[i].first) {
      footer(drawn + 1);
      if (!device.newPage()) return 0;
      ++drawn;
    }
    blocks[i].draw(canvas, painter, placed[i].second);
  }
  footer(drawn + 1);
  return painter.end() ? pages : 0;
}

}  // namespace korsi::report
