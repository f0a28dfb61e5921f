#include "ui/inspection/inspection_window.h"

// What the window shows of one inspection: the statistics and histogram,
// the verdict with every criterion and its notes, and the marks in the grid.

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <map>

#include "storage/archive/archive_store.h"
#include "ui/main_window/archive_grid.h"
#include "ui/inspection/inspection_look.h"
#include "ui/main_window/main_window.h"
#include "ui/inspection/thickness_histogram.h"

namespace korsi {

namespace {

using inspection::ReadingMark;
using inspection::Unit;

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

void InspectionWindow::showStatistics() {
  const inspection::Assessment& a = current_.assessment;
  const Unit unit = current_.entries.unit;
  const QString name = QString::fromUtf8(inspection::unitName(unit));
  // With a verdict, the figures beside the rule's limits and the histogram
  // with its lines; before NDFT is entered, the same without any limit.
  const bool judged = a.ok() && a.verdict.statistics.count > 0;
  const inspection::Statistics& s = judged ? a.verdict.statistics : current_.corrected.statistics;
  if (s.count == 0) {
    StatisticsLabel->setText(QStringLiteral("Замеров: %1").arg(current_.rows.size()));
    Histogram->clearBins();
    return;
  }
  const std::vector<double> limits = judged ? inspection::limitPositions(a.verdict) : std::vector<double>{};
  const inspection::StatisticsTexts figures = inspection::statisticsTexts(s, unit, limits);
  const auto length = [&](const std::string& shown) { return text(shown) + QLatin1Char(' ') + name; };
  QString lines;
  const auto line = [&lines](const QString& label, const QString& value) {
    lines += QStringLiteral("<tr><td>%1</td><td align=\"right\"><b>%2</b></td></tr>").arg(label, value);
  };
  line(QStringLiteral("Замеров"), QString::number(s.count));
  // The mean beside the rule's limits is never shown on one it is not on.
  line(QStringLiteral("Среднее"), length(figures.mean));
  line(QStringLiteral("Наименьший"), length(figures.minimum));
  line(QStringLiteral("Наибольший"), length(figures.maximum));
  line(QStringLiteral("Стандартное отклонение"),
       s.standardDeviation ? length(figures.standardDeviation) : QStringLiteral("—"));
  line(QStringLiteral("Коэффициент вариации"),
       s.coefficientOfVariation ? text(inspection::fixedText(*s.coefficientOfVariation, 1)) + QStringLiteral(" %")
                                : QStringLiteral("—"));
  StatisticsLabel->setText(QStringLiteral("<table cellspacing=\"4\">") + lines + QStringLiteral("</table>"));
  const std::vector<inspection::Nanometres>& readings = judged ? a.verdict.readings : current_.corrected.readings;
  Histogram->showBins(inspection::histogram(readings, unit, inspection::suggestedBinCount(s.count)), unit,
                      judged ? inspection::limitLines(a.verdict) : std::vector<inspection::LimitLine>{});
}

void InspectionWindow::showVerdict() {
  const inspection::Assessment& a = current_.assessment;
  CriteriaTable->setRowCount(0);
  fitCriteriaTable();
  QStringList notes;
  if (current_.rowsWithoutThickness > 0) {
    notes << QStringLiteral("Строк без толщины пропущено: %1.").arg(current_.rowsWithoutThickness);
  }
  if (!a.ok()) {
    QString reason = text(a.refusal);
    if (a.refusedReading && *a.refusedReading < current_.rows.size()) {
      const ArchiveRow& row = table_.row(static_cast<std::size_t>(current_.rows[*a.refusedReading]));
      if (row.num) reason += QStringLiteral(" (№ измерения %1)").arg(*row.num);
    }
    VerdictLabel->setText(reason);
    VerdictLabel->setStyleSheet(verdictStyle(QColor(0xee, 0xee, 0xee), QColor(0x33, 0x33, 0x33)));
    NotesLabel->setText(notes.join(QLatin1Char(' ')));
    return;
  }
  const inspection::Verdict& v = a.verdict;
  VerdictLabel->setText(text(v.summary));
  VerdictLabel->setStyleSheet(verdictStyle(verdictColour(v.judgement), Qt::white));
  CriteriaTable->setRowCount(static_cast<int>(v.criteria.size()));
  for (std::size_t i = 0; i < v.criteria.size(); ++i) {
    const inspection::Criterion& c = v.criteria[i];
    const QString cells[] = {text(c.label), text(c.requirement), QString::fromUtf8(inspection::outcomeText(c.outcome)),
                             text(c.figures)};
    for (int column = 0; column < 4; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      item->setBackground(outcomeBackground(c.outcome));
      item->setToolTip(cells[column]);
      CriteriaTable->setItem(static_cast<int>(i), column, item);
    }
  }
  CriteriaTable->resizeRowsToContents();
  fitCriteriaTable();
  if (!v.advice.empty()) notes << text(v.advice);
  if (v.sspc && !v.sspc->spotSums.empty()) {
    QStringList spots;
    const std::vector<double> limits = inspection::limitPositions(v);
    for (std::size_t i = 0; i < v.sspc->spotSums.size(); ++i) {
      spots << text(inspection::textBesideLimits(v.sspc->spotMean(i), v.unit, limits));
    }
    notes << QStringLiteral("Пятна (среднее каждого), %1: %2.")
                 .arg(QString::fromUtf8(inspection::unitName(v.unit)), spots.join(QStringLiteral("; ")));
  }
  if (!v.sampling.empty()) notes << QStringLiteral("Выборка: %1.").arg(text(v.sampling));
  if (!v.maximum && v.judgement != inspection::Judgement::NotApplicable) {
    notes << QStringLiteral("Максимум не задан: толщина сверху не проверялась.");
  }
  if (!v.correctionText.empty()) {
    QString correction = text(v.correctionText) + QLatin1Char('.');
    correction[0] = correction[0].toUpper();
    notes << correction;
  }
  if (!v.failing.empty()) {
    notes << QStringLiteral("Не прошли по отдельности: %1 (отмечены в таблице красным).")
                 .arg(text(inspection::readingsCount(v.failing.size())));
  }
  NotesLabel->setText(notes.join(QLatin1Char(' ')));
}

// As tall as its rows, with room for four when there are none.
void InspectionWindow::fitCriteriaTable() {
  int height = CriteriaTable->horizontalHeader()->sizeHint().height() + 2 * CriteriaTable->frameWidth();
  const int rows = CriteriaTable->rowCount();
  for (int r = 0; r < rows; ++r) height += CriteriaTable->rowHeight(r);
  if (rows == 0) height += 4 * CriteriaTable->verticalHeader()->defaultSectionSize();
  CriteriaTable->setFixedHeight(height);
}

void InspectionWindow::markGrid() {
  std::map<int, RowMark> marks;
  const inspection::Assessment& a = current_.assessment;
  if (a.ok()) {
    const inspection::Verdict& v = a.verdict;
    const bool iso = v.rule == inspection::Rule::Iso19840;
    for (std::size_t i = 0; i < v.marks.size(); ++i) {
      const int row = current_.rows[i];
      switch (v.marks[i]) {
        case ReadingMark::BelowMinimum:
          marks[row] = {kFailingRow, iso ? QStringLiteral("Ниже 80 % NDFT") : QStringLiteral("Ниже 90 % NDFT")};
          break;
        case ReadingMark::AboveMaximum:
          marks[row] = {kFailingRow, QStringLiteral("Выше максимальной толщины")};
          break;
        case ReadingMark::BelowNominal:
          marks[row] = {kTolerableRow, QStringLiteral("Ниже NDFT")};
          break;
        case ReadingMark::Ok:
          break;
      }
    }
  } else if (a.refusedReading && *a.refusedReading < current_.rows.size()) {
    marks[current_.rows[*a.refusedReading]] = {kFailingRow, text(a.refusal)};
  }
  window_.gridModel()->setRowMarks(std::move(marks));
}

}  // namespace korsi
