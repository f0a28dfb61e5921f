#include "ui/inspection/inspection_window.h"

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
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "storage/archive/archive_store.h"
#include "services/error_box.h"
#include "ui/main_window/archive_grid.h"
#include "ui/dialogs/error_message.h"
#include "ui/inspection/inspection_printing.h"
#include "ui/main_window/main_window.h"
#include "ui/inspection/inspection_job_panel.h"
#include "ui/inspection/inspection_look.h"
#include "ui/inspection/thickness_histogram.h"

namespace korsi {

namespace {

using inspection::Outcome;
using inspection::ReadingMark;
using inspection::Unit;

// Entries typed in quick succession are judged once.
constexpr std::chrono::milliseconds kSettleTime{40};

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
      CorrectionEdit(new QLineEdit(this)),
      EntriesProblemLabel(new QLabel(this)),
      StatisticsLabel(new QLabel(this)),
      Histogram(new ThicknessHistogram(this)),
      VerdictLabel(new QLabel(this)),
      CriteriaTable(new QTableWidget(this)),
      NotesLabel(new QLabel(this)),
      PreviewRecordButton(new QPushButton(QStringLiteral("Просмотр протокола…"), this)),
      PrintRecordButton(new QPushButton(QStringLiteral("Печать…"), this)),
      PdfRecordButton(new QPushButton(QStringLiteral("Сохранить в PDF…"), this)),
      CloseButton(new QPushButton(QStringLiteral("Закрыть"), this)),
      Pages(new QTabWidget(this)),
      JobPanel(new InspectionJobPanel({[this] { return tableReadings(); },
                                       [this](job::JobHeader& h) { entriesInto(h); },
                                       [this](const job::JobHeader& h) { entriesFrom(h); },
                                       [this] { return entriesProblem(); },
                                       {}},
                                      this)),
      table_(table),
      window_(window),
      updateTimer_(new QTimer(this)) {
  setObjectName(QStringLiteral("InspectionWindow"));
  setWindowTitle(QString::fromUtf8(kInspectionTitle));
  // A window to work in beside the main one: it does not block the grid.
  setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
  setModal(false);
  resize(900, 720);

  updateTimer_->setSingleShot(true);
  updateTimer_->setInterval(kSettleTime);
  connect(updateTimer_, &QTimer::timeout, this, &InspectionWindow::updateNow);

  buildLayout();
  connectEntries();
  // While a reading fills the table, its readings are not yet the gauge's
  // whole set: neither taken into the job nor replaced by a job's.
  const auto followTableLock = [this](bool locked) {
    for (QPushButton* button : {JobPanel->TakeReadingsButton, JobPanel->OpenJobButton}) button->setEnabled(!locked);
  };
  followTableLock(window_.tableLocked());
  connect(&window_, &TMainForm::tableLockChanged, this, followTableLock);
}

InspectionWindow::~InspectionWindow() { window_.gridModel()->setRowMarks({}); }

void InspectionWindow::buildLayout() {
  QGroupBox* entries = buildEntries();

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

  // The readings as one set on one page, the job's areas on the other, so
  // the window keeps the size of a laptop's screen.
  auto* readings = new QWidget(this);
  auto* readingsLayout = new QVBoxLayout(readings);
  readingsLayout->addLayout(top, 1);
  readingsLayout->addWidget(VerdictLabel);
  readingsLayout->addWidget(CriteriaTable);
  readingsLayout->addWidget(NotesLabel);
  Pages->setObjectName(QStringLiteral("Pages"));
  Pages->addTab(readings, QStringLiteral("Замеры"));
  Pages->addTab(JobPanel, QStringLiteral("Зоны проверки"));
  // The record's buttons are of the readings as one set; the areas' page has
  // the job's report.
  connect(Pages, &QTabWidget::currentChanged, this, [this](int page) {
    for (QPushButton* button : {PreviewRecordButton, PrintRecordButton, PdfRecordButton}) button->setVisible(page == 0);
  });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Pages, 1);
  layout->addLayout(buttons);
  ruleChanged();
  unitChanged();
  setUpChanged();
}

void InspectionWindow::connectEntries() {
  connect(AllRowsButton, &QRadioButton::toggled, this, &InspectionWindow::scheduleUpdate);
  connect(UnitBox, &QComboBox::currentIndexChanged, this, &InspectionWindow::unitChanged);
  connect(RuleBox, &QComboBox::currentIndexChanged, this, &InspectionWindow::ruleChanged);
  connect(LevelBox, &QComboBox::currentIndexChanged, this, &InspectionWindow::scheduleUpdate);
  connect(SpotSizeBox, &QSpinBox::valueChanged, this, &InspectionWindow::scheduleUpdate);
  connect(RoughnessBox, &QComboBox::currentIndexChanged, this, &InspectionWindow::setUpChanged);
  connect(CorrectionEdit, &QLineEdit::textChanged, this, &InspectionWindow::scheduleUpdate);
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

void InspectionWindow::reject() {
  const bool unsaved = JobPanel->hasUnsavedChanges();
  if (!JobPanel->mayDropJob()) return;
  // "Не сохранять": the job goes, as the answer says; a saved one stays on show.
  if (unsaved && JobPanel->hasUnsavedChanges()) JobPanel->startNewJob();
  QDialog::reject();
}

void InspectionWindow::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  updateTimer_->stop();
  window_.gridModel()->setRowMarks({});
}

void InspectionWindow::scheduleUpdate() {
  if (isVisible()) updateTimer_->start();
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
  // The statistics and the histogram need no NDFT; a field that holds no
  // number gives no verdict, and says which it is.
  const QString problem = entriesProblem();
  EntriesProblemLabel->setText(problem);
  EntriesProblemLabel->setVisible(!problem.isEmpty());
  next.corrected = inspection::correctReadings(readings, next.entries);
  if (!problem.isEmpty()) {
    next.assessment.refusal = problem.toStdString();
  } else if (NdftEdit->text().trimmed().isEmpty()) {
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
  JobPanel->rejudge();
  emit updated();
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

}  // namespace korsi
