#include "ui/inspection_window.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "services/archive/archive_store.h"
#include "services/error_box.h"
#include "ui/archive_grid.h"
#include "ui/error_message.h"
#include "ui/inspection_printing.h"
#include "ui/main_window.h"
#include "ui/thickness_histogram.h"

namespace korsi {

namespace {

using inspection::Outcome;
using inspection::ReadingMark;
using inspection::Unit;

// Entries typed in quick succession are judged once.
constexpr std::chrono::milliseconds kSettleTime{40};

const QColor kPassColour(0x2e, 0x7d, 0x32);
const QColor kFailColour(0xc6, 0x28, 0x28);
const QColor kFailingRow(0xf6, 0xbf, 0xbf);
const QColor kTolerableRow(0xff, 0xec, 0xa8);

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

// A number as typed, with a comma or a point; NaN when it is none.
double typedNumber(const QString& typed) {
  QString t = typed.trimmed();
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  bool ok = false;
  const double value = t.toDouble(&ok);
  return ok ? value : std::numeric_limits<double>::quiet_NaN();
}

// A length converted to another unit: exact enough that converting back
// gives the same nanometre.
QString convertedText(double value, Unit from, Unit to) {
  const auto nm = inspection::nanometresFrom(value, from);
  if (!nm) return {};
  return text(inspection::exactText(static_cast<double>(*nm), to));
}

QColor outcomeBackground(Outcome outcome) {
  switch (outcome) {
    case Outcome::Pass:
      return QColor(0xd7, 0xef, 0xd8);
    case Outcome::Fail:
      return QColor(0xf6, 0xcf, 0xcf);
    case Outcome::NotChecked:
      break;
  }
  return QColor(0xee, 0xee, 0xee);
}

// Green for a pass, red for a failure, amber for too few measurements, grey
// when the rule does not apply.
QColor verdictColour(inspection::Judgement judgement) {
  switch (judgement) {
    case inspection::Judgement::Pass:
      return kPassColour;
    case inspection::Judgement::Fail:
      return kFailColour;
    case inspection::Judgement::TooFewMeasurements:
      return QColor(0xb2, 0x6a, 0x00);
    case inspection::Judgement::NotApplicable:
      break;
  }
  return QColor(0x61, 0x61, 0x61);
}

QString verdictStyle(const QColor& background, const QColor& foreground) {
  return QStringLiteral("QLabel { background: %1; color: %2; padding: 8px; border-radius: 3px; }")
      .arg(background.name(), foreground.name());
}

}  // namespace

InspectionWindow::InspectionWindow(const archive::ArchiveStore& table, TMainForm& window, QWidget* parent)
    : QDialog(parent),
      AllRowsButton(new QRadioButton(QStringLiteral("все строки"), this)),
      SelectedRowsButton(new QRadioButton(QStringLiteral("выбранные строки"), this)),
      UnitBox(new QComboBox(this)),
      RuleBox(new QComboBox(this)),
      NdftEdit(new QLineEdit(this)),
      MaximumEdit(new QLineEdit(this)),
      LevelBox(new QComboBox(this)),
      SpotSizeBox(new QSpinBox(this)),
      RoughnessBox(new QComboBox(this)),
      StatisticsLabel(new QLabel(this)),
      Histogram(new ThicknessHistogram(this)),
      VerdictLabel(new QLabel(this)),
      CriteriaTable(new QTableWidget(this)),
      NotesLabel(new QLabel(this)),
      PreviewRecordButton(new QPushButton(QStringLiteral("Просмотр протокола…"), this)),
      PrintRecordButton(new QPushButton(QStringLiteral("Печать…"), this)),
      PdfRecordButton(new QPushButton(QStringLiteral("Сохранить в PDF…"), this)),
      CloseButton(new QPushButton(QStringLiteral("Закрыть"), this)),
      table_(table),
      window_(window),
      updateTimer_(new QTimer(this)) {
  setObjectName(QStringLiteral("InspectionWindow"));
  setWindowTitle(QString::fromUtf8(kInspectionTitle));
  // A window to work in beside the main one: it does not block the grid.
  setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
  setModal(false);
  resize(900, 680);

  updateTimer_->setSingleShot(true);
  updateTimer_->setInterval(kSettleTime);
  connect(updateTimer_, &QTimer::timeout, this, &InspectionWindow::updateNow);

  buildLayout();
  connectEntries();
}

InspectionWindow::~InspectionWindow() { window_.gridModel()->setRowMarks({}); }

void InspectionWindow::buildLayout() {
  AllRowsButton->setObjectName(QStringLiteral("AllRowsButton"));
  SelectedRowsButton->setObjectName(QStringLiteral("SelectedRowsButton"));
  AllRowsButton->setChecked(true);
  auto* rows = new QHBoxLayout;
  rows->addWidget(AllRowsButton);
  rows->addWidget(SelectedRowsButton);
  rows->addStretch();

  UnitBox->setObjectName(QStringLiteral("UnitBox"));
  UnitBox->addItem(QStringLiteral("мкм"), static_cast<int>(Unit::Micrometre));
  UnitBox->addItem(QStringLiteral("мил (25,4 мкм)"), static_cast<int>(Unit::Mil));
  RuleBox->setObjectName(QStringLiteral("RuleBox"));
  RuleBox->addItem(QStringLiteral("ISO 19840"), static_cast<int>(inspection::Rule::Iso19840));
  RuleBox->addItem(QStringLiteral("IMO PSPC 90/10"), static_cast<int>(inspection::Rule::Pspc9010));
  RuleBox->addItem(QStringLiteral("SSPC-PA 2"), static_cast<int>(inspection::Rule::SspcPa2));
  LevelBox->setObjectName(QStringLiteral("LevelBox"));
  for (const inspection::SspcLevel& level : inspection::kSspcLevels) {
    const QString upper = level.spotMaximumPercent ? QStringLiteral("%1 %").arg(*level.spotMaximumPercent)
                                                   : QStringLiteral("без предела");
    LevelBox->addItem(QStringLiteral("%1 (пятна: %2 % минимума – %3 максимума)")
                          .arg(level.level)
                          .arg(level.spotMinimumPercent)
                          .arg(upper),
                      level.level);
  }
  LevelBox->setCurrentIndex(LevelBox->findData(inspection::kDefaultSspcLevel));
  SpotSizeBox->setObjectName(QStringLiteral("SpotSizeBox"));
  SpotSizeBox->setRange(static_cast<int>(inspection::kSmallestSpotSize),
                        static_cast<int>(inspection::kLargestSpotSize));
  SpotSizeBox->setValue(static_cast<int>(inspection::kDefaultSpotSize));
  RoughnessBox->setObjectName(QStringLiteral("RoughnessBox"));
  RoughnessBox->addItem(QStringLiteral("нет"), static_cast<int>(inspection::Roughness::None));
  RoughnessBox->addItem(QStringLiteral("мелкая (10 мкм)"), static_cast<int>(inspection::Roughness::Fine));
  RoughnessBox->addItem(QStringLiteral("средняя (25 мкм)"), static_cast<int>(inspection::Roughness::Medium));
  RoughnessBox->addItem(QStringLiteral("грубая (40 мкм)"), static_cast<int>(inspection::Roughness::Coarse));
  RoughnessBox->addItem(QStringLiteral("профиль неизвестен (25 мкм)"),
                        static_cast<int>(inspection::Roughness::UnknownProfile));
  NdftEdit->setObjectName(QStringLiteral("NdftEdit"));
  NdftEdit->setPlaceholderText(QStringLiteral("например, 120"));
  MaximumEdit->setObjectName(QStringLiteral("MaximumEdit"));
  MaximumEdit->setPlaceholderText(QStringLiteral("не задан"));
  ndftUnit_ = new QLabel(this);
  maximumUnit_ = new QLabel(this);
  const auto withUnit = [this](QLineEdit* edit, QLabel* unit) {
    auto* line = new QHBoxLayout;
    line->addWidget(edit, 1);
    line->addWidget(unit);
    unit->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("мкм")) + 4);
    return line;
  };

  auto* entries = new QGroupBox(QStringLiteral("Условия"), this);
  auto* form = new QFormLayout(entries);
  form_ = form;
  ndftLabel_ = new QLabel(this);
  form->addRow(QStringLiteral("Замеры:"), rows);
  form->addRow(QStringLiteral("Единицы:"), UnitBox);
  form->addRow(QStringLiteral("Правило:"), RuleBox);
  form->addRow(ndftLabel_, withUnit(NdftEdit, ndftUnit_));
  form->addRow(QStringLiteral("Максимальная толщина:"), withUnit(MaximumEdit, maximumUnit_));
  form->addRow(QStringLiteral("Уровень:"), LevelBox);
  form->addRow(QStringLiteral("Замеров в пятне:"), SpotSizeBox);
  form->addRow(QStringLiteral("Шероховатость (поправка):"), RoughnessBox);

  auto* statistics = new QGroupBox(QStringLiteral("Статистика"), this);
  StatisticsLabel->setObjectName(QStringLiteral("StatisticsLabel"));
  StatisticsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  StatisticsLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  auto* statisticsLayout = new QVBoxLayout(statistics);
  statisticsLayout->addWidget(StatisticsLabel);
  statisticsLayout->addStretch();

  auto* left = new QVBoxLayout;
  left->addWidget(entries);
  left->addWidget(statistics, 1);
  auto* top = new QHBoxLayout;
  top->addLayout(left);
  top->addWidget(Histogram, 1);

  VerdictLabel->setObjectName(QStringLiteral("VerdictLabel"));
  QFont big = VerdictLabel->font();
  big.setPointSizeF(big.pointSizeF() * 1.4);
  big.setBold(true);
  VerdictLabel->setFont(big);
  VerdictLabel->setWordWrap(true);

  CriteriaTable->setObjectName(QStringLiteral("CriteriaTable"));
  CriteriaTable->setColumnCount(4);
  CriteriaTable->setHorizontalHeaderLabels(
      {QStringLiteral("Критерий"), QStringLiteral("Требование"), QStringLiteral("Итог"), QStringLiteral("Данные")});
  CriteriaTable->verticalHeader()->hide();
  CriteriaTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  CriteriaTable->setSelectionMode(QAbstractItemView::NoSelection);
  CriteriaTable->setWordWrap(true);
  CriteriaTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  CriteriaTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  CriteriaTable->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
  CriteriaTable->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
  CriteriaTable->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

  NotesLabel->setObjectName(QStringLiteral("NotesLabel"));
  NotesLabel->setWordWrap(true);

  CloseButton->setObjectName(QStringLiteral("CloseButton"));
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
  PreviewRecordButton->setObjectName(QStringLiteral("PreviewRecordButton"));
  PrintRecordButton->setObjectName(QStringLiteral("PrintRecordButton"));
  PdfRecordButton->setObjectName(QStringLiteral("PdfRecordButton"));
  connect(PreviewRecordButton, &QPushButton::clicked, this, &InspectionWindow::previewRecord);
  connect(PrintRecordButton, &QPushButton::clicked, this, &InspectionWindow::printRecord);
  connect(PdfRecordButton, &QPushButton::clicked, this, &InspectionWindow::askAndSavePdf);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(PreviewRecordButton);
  buttons->addWidget(PrintRecordButton);
  buttons->addWidget(PdfRecordButton);
  buttons->addStretch();
  buttons->addWidget(CloseButton);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addWidget(VerdictLabel);
  layout->addWidget(CriteriaTable);
  layout->addWidget(NotesLabel);
  layout->addLayout(buttons);
  ruleChanged();
  unitChanged();
}

void InspectionWindow::ruleChanged() {
  const bool sspc = static_cast<inspection::Rule>(RuleBox->currentData().toInt()) == inspection::Rule::SspcPa2;
  ndftLabel_->setText(sspc ? QStringLiteral("Минимальная толщина:") : QStringLiteral("Номинальная толщина NDFT:"));
  form_->setRowVisible(LevelBox, sspc);
  form_->setRowVisible(SpotSizeBox, sspc);
  scheduleUpdate();
}

void InspectionWindow::connectEntries() {
  connect(AllRowsButton, &QRadioButton::toggled, this, &InspectionWindow::scheduleUpdate);
  connect(UnitBox, &QComboBox::currentIndexChanged, this, &InspectionWindow::unitChanged);
  connect(RuleBox, &QComboBox::currentIndexChanged, this, &InspectionWindow::ruleChanged);
  connect(LevelBox, &QComboBox::currentIndexChanged, this, &InspectionWindow::scheduleUpdate);
  connect(SpotSizeBox, &QSpinBox::valueChanged, this, &InspectionWindow::scheduleUpdate);
  connect(RoughnessBox, &QComboBox::currentIndexChanged, this, &InspectionWindow::scheduleUpdate);
  connect(NdftEdit, &QLineEdit::textChanged, this, &InspectionWindow::scheduleUpdate);
  connect(MaximumEdit, &QLineEdit::textChanged, this, &InspectionWindow::scheduleUpdate);

  // The table's rows as the grid shows them; a change of the marks alone is
  // this window's own and is not a change of the readings.
  QAbstractItemModel* rowsModel = window_.gridModel();
  connect(rowsModel, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
            const bool marksOnly = !roles.isEmpty() && std::all_of(roles.begin(), roles.end(), [](int role) {
              return role == Qt::BackgroundRole || role == Qt::ToolTipRole;
            });
            if (!marksOnly) scheduleUpdate();
          });
  connect(rowsModel, &QAbstractItemModel::rowsInserted, this, &InspectionWindow::scheduleUpdate);
  connect(rowsModel, &QAbstractItemModel::rowsRemoved, this, &InspectionWindow::scheduleUpdate);
  connect(rowsModel, &QAbstractItemModel::modelReset, this, &InspectionWindow::scheduleUpdate);
  connect(rowsModel, &QAbstractItemModel::layoutChanged, this, &InspectionWindow::scheduleUpdate);
  connect(window_.grid()->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (SelectedRowsButton->isChecked()) scheduleUpdate();
  });
}

void InspectionWindow::showInspection() {
  if (isVisible()) {
    if (isMinimized()) showNormal();
  } else {
    // Rows selected before the window is opened are the ones to inspect.
    std::set<int> selected;
    for (const QItemSelectionRange& range : window_.grid()->selectionModel()->selection()) {
      for (int r = range.top(); r <= range.bottom() && selected.size() < 2; ++r) selected.insert(r);
    }
    (selected.size() > 1 ? SelectedRowsButton : AllRowsButton)->setChecked(true);
    show();
  }
  raise();
  activateWindow();
  NdftEdit->setFocus();
}

void InspectionWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  updateNow();
}

void InspectionWindow::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  updateTimer_->stop();
  window_.gridModel()->setRowMarks({});
}

void InspectionWindow::scheduleUpdate() {
  if (isVisible()) updateTimer_->start();
}

void InspectionWindow::unitChanged() {
  const auto unit = static_cast<Unit>(UnitBox->currentData().toInt());
  const QString name = QString::fromUtf8(inspection::unitName(unit));
  ndftUnit_->setText(name);
  maximumUnit_->setText(name);
  if (unit != shownUnit_) {
    // The same thickness in the new unit. The text shown is rounded; while it
    // stands unchanged, the exact value is judged.
    const auto convert = [&](QLineEdit* edit, std::optional<TypedLength>& converted) {
      const double value = converted && edit->text() == converted->text ? converted->value : typedNumber(edit->text());
      if (!std::isfinite(value)) {
        converted.reset();
        return;
      }
      const double factor = static_cast<double>(unit == Unit::Mil ? inspection::kNanometresPerMicrometre
                                                                   : inspection::kNanometresPerMil) /
                            static_cast<double>(unit == Unit::Mil ? inspection::kNanometresPerMil
                                                                  : inspection::kNanometresPerMicrometre);
      const QString shown = convertedText(value, shownUnit_, unit);
      converted = TypedLength{shown, value * factor};
      const QSignalBlocker quiet(edit);
      edit->setText(shown);
    };
    convert(NdftEdit, convertedNdft_);
    convert(MaximumEdit, convertedMaximum_);
    shownUnit_ = unit;
  }
  scheduleUpdate();
}

inspection::Entries InspectionWindow::entries() const {
  inspection::Entries e;
  e.rule = static_cast<inspection::Rule>(RuleBox->currentData().toInt());
  e.unit = static_cast<Unit>(UnitBox->currentData().toInt());
  e.roughness = static_cast<inspection::Roughness>(RoughnessBox->currentData().toInt());
  const auto length = [](const QLineEdit* edit, const std::optional<TypedLength>& converted) {
    return converted && edit->text() == converted->text ? converted->value : typedNumber(edit->text());
  };
  e.ndft = NdftEdit->text().trimmed().isEmpty() ? 0.0 : length(NdftEdit, convertedNdft_);
  if (!MaximumEdit->text().trimmed().isEmpty()) e.maximum = length(MaximumEdit, convertedMaximum_);
  e.level = LevelBox->currentData().toInt();
  e.spotSize = static_cast<std::size_t>(SpotSizeBox->value());
  return e;
}

std::vector<int> InspectionWindow::chosenRows() const {
  const int stored = static_cast<int>(table_.rowCount());
  std::vector<int> rows;
  if (AllRowsButton->isChecked()) {
    rows.resize(static_cast<std::size_t>(stored));
    for (int r = 0; r < stored; ++r) rows[static_cast<std::size_t>(r)] = r;
    return rows;
  }
  std::set<int> selected;
  for (const QItemSelectionRange& range : window_.grid()->selectionModel()->selection()) {
    for (int r = range.top(); r <= range.bottom(); ++r) {
      if (r < stored) selected.insert(r);  // the unfilled new row holds no reading
    }
  }
  return {selected.begin(), selected.end()};
}

void InspectionWindow::updateNow() {
  updateTimer_->stop();
  Inspection next;
  next.entries = entries();
  next.selectionOnly = SelectedRowsButton->isChecked();
  std::vector<double> readings;
  for (int r : chosenRows()) {
    const ArchiveRow& row = table_.row(static_cast<std::size_t>(r));
    if (!row.h) {
      ++next.rowsWithoutThickness;
      continue;
    }
    readings.push_back(*row.h);
    next.rows.push_back(r);
  }
  if (NdftEdit->text().trimmed().isEmpty()) {
    next.assessment.refusal = next.entries.rule == inspection::Rule::SspcPa2 ? "Введите минимальную толщину"
                                                                             : "Введите номинальную толщину NDFT";
  } else {
    next.assessment = inspection::assess(readings, next.entries);
  }
  current_ = std::move(next);
  for (QPushButton* button : {PreviewRecordButton, PrintRecordButton, PdfRecordButton}) {
    button->setEnabled(current_.assessment.ok());
  }
  showStatistics();
  showVerdict();
  markGrid();
  emit updated();
}

void InspectionWindow::showStatistics() {
  const inspection::Assessment& a = current_.assessment;
  const Unit unit = current_.entries.unit;
  const QString name = QString::fromUtf8(inspection::unitName(unit));
  if (!a.ok() || a.verdict.statistics.count == 0) {
    StatisticsLabel->setText(QStringLiteral("Замеров: %1").arg(current_.rows.size()));
    Histogram->clearBins();
    return;
  }
  const inspection::Statistics& s = a.verdict.statistics;
  const auto length = [&](double nm) { return text(inspection::roundedText(nm, unit)) + QLatin1Char(' ') + name; };
  const auto exact = [&](double nm) { return text(inspection::exactText(nm, unit)) + QLatin1Char(' ') + name; };
  QString lines;
  const auto line = [&lines](const QString& label, const QString& value) {
    lines += QStringLiteral("<tr><td>%1</td><td align=\"right\"><b>%2</b></td></tr>").arg(label, value);
  };
  line(QStringLiteral("Замеров"), QString::number(s.count));
  // The mean beside the rule's limits is never shown on one it is not on.
  line(QStringLiteral("Среднее"), text(inspection::textBesideLimits(s.mean, unit, inspection::limitPositions(a.verdict))) +
                                      QLatin1Char(' ') + name);
  line(QStringLiteral("Наименьший"), exact(static_cast<double>(s.minimum)));
  line(QStringLiteral("Наибольший"), exact(static_cast<double>(s.maximum)));
  line(QStringLiteral("Стандартное отклонение"), s.standardDeviation ? length(*s.standardDeviation) : QStringLiteral("—"));
  line(QStringLiteral("Коэффициент вариации"),
       s.coefficientOfVariation ? text(inspection::fixedText(*s.coefficientOfVariation, 1)) + QStringLiteral(" %")
                                : QStringLiteral("—"));
  StatisticsLabel->setText(QStringLiteral("<table cellspacing=\"4\">") + lines + QStringLiteral("</table>"));
  Histogram->showBins(inspection::histogram(a.verdict.readings, unit, inspection::suggestedBinCount(s.count)), unit,
                      inspection::limitLines(a.verdict));
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

QString InspectionWindow::saveRecordPdf(const QString& path) const {
  if (!hasRecord()) return QStringLiteral("Нет вердикта");
  return saveInspectionRecordPdf(inspectionRecord(current_, table_, QDateTime::currentDateTime()), path);
}

void InspectionWindow::previewRecord() {
  updateNow();  // what is typed now, not a moment ago
  if (!hasRecord()) return;
  previewInspectionRecord(inspectionRecord(current_, table_, QDateTime::currentDateTime()), this);
}

void InspectionWindow::printRecord() {
  updateNow();
  if (!hasRecord()) return;
  printInspectionRecord(inspectionRecord(current_, table_, QDateTime::currentDateTime()), this);
}

void InspectionWindow::askAndSavePdf() {
  updateNow();
  if (!hasRecord()) return;
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить протокол"), QStringLiteral("протокол.pdf"),
                                                    QStringLiteral("Файлы PDF(*.pdf);;All files(*.*)"));
  if (path.isEmpty()) return;
  if (const QString reason = saveRecordPdf(path); !reason.isEmpty()) {
    showErrorMessage(QStringLiteral("Не удалось сохранить протокол в файл «%1».\n%2").arg(path, reason), this);
  }
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
