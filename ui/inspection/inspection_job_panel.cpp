#include "ui/inspection/inspection_job_panel.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFormLayout>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "inspection/sampling.h"
#include "inspection/wording.h"
#include "services/error_box.h"
#include "inspection/job_file.h"
#include "inspection/job_id.h"
#include "ui/inspection/area_dialog.h"
#include "ui/inspection/inspection_look.h"
#include "ui/inspection/inspection_printing.h"

namespace korsi {

namespace {

namespace in = korsi::inspection;

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

const QString kJobFilter = QStringLiteral("Файлы проверки (*.kjob);;All files(*.*)");

enum Column { Name, Numbers, Surface, RuleColumn, Count, Mean, Smallest, Largest, Result, ColumnCount };

}  // namespace

InspectionJobPanel::InspectionJobPanel(Hooks hooks, QWidget* parent)
    : QWidget(parent),
      AreasTable(new QTableWidget(this)),
      JobVerdictLabel(new QLabel(this)),
      AddAreaButton(new QPushButton(QStringLiteral("Добавить зону…"), this)),
      EditAreaButton(new QPushButton(QStringLiteral("Изменить…"), this)),
      RemoveAreaButton(new QPushButton(QStringLiteral("Удалить"), this)),
      TakeReadingsButton(new QPushButton(QStringLiteral("Взять замеры из таблицы"), this)),
      HeaderButton(new QPushButton(QStringLiteral("Сведения о проверке…"), this)),
      OpenJobButton(new QPushButton(QString::fromUtf8(kOpenJobText), this)),
      SaveJobButton(new QPushButton(QString::fromUtf8(kSaveJobText), this)),
      PreviewReportButton(new QPushButton(QStringLiteral("Протокол проверки…"), this)),
      PrintReportButton(new QPushButton(QStringLiteral("Печать протокола…"), this)),
      PdfReportButton(new QPushButton(QStringLiteral("Протокол в PDF…"), this)),
      hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("JobPanel"));
  AreasTable->setObjectName(QStringLiteral("AreasTable"));
  JobVerdictLabel->setObjectName(QStringLiteral("JobVerdictLabel"));
  AddAreaButton->setObjectName(QStringLiteral("AddAreaButton"));
  EditAreaButton->setObjectName(QStringLiteral("EditAreaButton"));
  RemoveAreaButton->setObjectName(QStringLiteral("RemoveAreaButton"));
  TakeReadingsButton->setObjectName(QStringLiteral("TakeReadingsButton"));
  HeaderButton->setObjectName(QStringLiteral("HeaderButton"));
  OpenJobButton->setObjectName(QStringLiteral("OpenJobButton"));
  SaveJobButton->setObjectName(QStringLiteral("SaveJobButton"));
  PreviewReportButton->setObjectName(QStringLiteral("PreviewReportButton"));
  PrintReportButton->setObjectName(QStringLiteral("PrintReportButton"));
  PdfReportButton->setObjectName(QStringLiteral("PdfReportButton"));
  connect(PreviewReportButton, &QPushButton::clicked, this, [this] { previewJobReport(jobReport(), this); });
  connect(PrintReportButton, &QPushButton::clicked, this, [this] { printJobReport(jobReport(), this); });
  connect(PdfReportButton, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить протокол проверки"),
                                                      QStringLiteral("протокол проверки.pdf"),
                                                      QStringLiteral("Файлы PDF(*.pdf);;All files(*.*)"));
    if (path.isEmpty()) return;
    if (const QString why = saveReportPdf(path); !why.isEmpty()) {
      showErrorBox(QStringLiteral("Не удалось сохранить протокол в файл «%1».\n%2").arg(path, why).toStdString());
    }
  });

  AreasTable->setColumnCount(ColumnCount);
  AreasTable->setHorizontalHeaderLabels({QStringLiteral("Зона"), QStringLiteral("Номера"), QStringLiteral("Площадь"),
                                         QStringLiteral("Правило"), QStringLiteral("Замеров"),
                                         QStringLiteral("Среднее"), QStringLiteral("Наим."), QStringLiteral("Наиб."),
                                         QStringLiteral("Итог")});
  AreasTable->verticalHeader()->hide();
  AreasTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  AreasTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  AreasTable->setSelectionMode(QAbstractItemView::SingleSelection);
  for (int c = 0; c < Result; ++c) AreasTable->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
  AreasTable->horizontalHeader()->setSectionResizeMode(Result, QHeaderView::Stretch);
  AreasTable->setMinimumHeight(120);
  JobVerdictLabel->setWordWrap(true);
  QFont bold = JobVerdictLabel->font();
  bold.setBold(true);
  JobVerdictLabel->setFont(bold);

  connect(AddAreaButton, &QPushButton::clicked, this, [this] { editArea(-1); });
  connect(EditAreaButton, &QPushButton::clicked, this, [this] { editArea(AreasTable->currentRow()); });
  connect(AreasTable, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { editArea(row); });
  connect(RemoveAreaButton, &QPushButton::clicked, this, [this] {
    if (const int row = AreasTable->currentRow(); row >= 0) removeArea(static_cast<std::size_t>(row));
  });
  connect(TakeReadingsButton, &QPushButton::clicked, this, &InspectionJobPanel::takeReadingsFromTable);
  connect(HeaderButton, &QPushButton::clicked, this, &InspectionJobPanel::editHeader);
  connect(OpenJobButton, &QPushButton::clicked, this, &InspectionJobPanel::askAndOpenJob);
  connect(SaveJobButton, &QPushButton::clicked, this, &InspectionJobPanel::askAndSaveJob);
  connect(AreasTable, &QTableWidget::itemSelectionChanged, this, [this] {
    const bool chosen = AreasTable->currentRow() >= 0 && !AreasTable->selectedItems().isEmpty();
    EditAreaButton->setEnabled(chosen);
    RemoveAreaButton->setEnabled(chosen);
  });
  EditAreaButton->setEnabled(false);
  RemoveAreaButton->setEnabled(false);

  auto* areaButtons = new QHBoxLayout;
  for (QPushButton* b : {AddAreaButton, EditAreaButton, RemoveAreaButton, TakeReadingsButton}) areaButtons->addWidget(b);
  areaButtons->addStretch();
  auto* fileButtons = new QHBoxLayout;
  fileButtons->addWidget(HeaderButton);
  fileButtons->addWidget(PreviewReportButton);
  fileButtons->addWidget(PrintReportButton);
  fileButtons->addWidget(PdfReportButton);
  fileButtons->addStretch();
  fileButtons->addWidget(OpenJobButton);
  fileButtons->addWidget(SaveJobButton);
  QFont big = JobVerdictLabel->font();
  big.setPointSizeF(big.pointSizeF() * 1.2);
  JobVerdictLabel->setFont(big);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(areaButtons);
  layout->addWidget(AreasTable, 1);
  layout->addWidget(JobVerdictLabel);
  layout->addLayout(fileButtons);
  showAreas();
}

job::InspectionJob InspectionJobPanel::currentJob() const {
  job::InspectionJob j = job_;
  if (hooks_.entriesInto) hooks_.entriesInto(j.header);
  return j;
}

job::InspectionJob InspectionJobPanel::jobForPublishing() {
  if (job_.id.empty()) job_.id = job::newJobId();
  return currentJob();
}

void InspectionJobPanel::copyReadings() {
  // The job's own copies first; the table fills in the numbers it lacks.
  std::vector<job::JobReading> source = job_.readings;
  std::set<std::int32_t> held;
  for (const job::JobReading& r : source) held.insert(r.num);
  if (hooks_.tableReadings) {
    for (const job::JobReading& r : hooks_.tableReadings()) {
      if (!held.contains(r.num)) source.push_back(r);
    }
  }
  // The table may hold a number twice; the job's copy is then the first.
  std::stable_sort(source.begin(), source.end(), [](const auto& a, const auto& b) { return a.num < b.num; });
  source.erase(std::unique(source.begin(), source.end(), [](const auto& a, const auto& b) { return a.num == b.num; }),
               source.end());
  job_.readings = job::readingsForAreas(job_.areas, source).readings;
}

QString InspectionJobPanel::addArea(const job::JobArea& area) {
  std::vector<job::JobArea> areas = job_.areas;
  areas.push_back(area);
  if (const std::string problem = job::areasProblem(areas); !problem.empty()) return text(problem);
  job_.areas = std::move(areas);
  copyReadings();
  rejudge();
  emit jobChanged();
  return {};
}

QString InspectionJobPanel::replaceArea(std::size_t index, const job::JobArea& area) {
  if (index >= job_.areas.size()) return QStringLiteral("Нет такой зоны");
  std::vector<job::JobArea> areas = job_.areas;
  areas[index] = area;
  if (const std::string problem = job::areasProblem(areas); !problem.empty()) return text(problem);
  job_.areas = std::move(areas);
  copyReadings();
  rejudge();
  emit jobChanged();
  return {};
}

void InspectionJobPanel::removeArea(std::size_t index) {
  if (index >= job_.areas.size()) return;
  job_.areas.erase(job_.areas.begin() + static_cast<std::ptrdiff_t>(index));
  job_.readings = job::readingsForAreas(job_.areas, job_.readings).readings;
  rejudge();
  emit jobChanged();
}

namespace {

// "№ 3, 7, 12" and, past ten numbers, "и ещё 5".
QString numbersList(const std::vector<std::int32_t>& numbers) {
  QStringList shown;
  for (std::size_t i = 0; i < numbers.size() && i < 10; ++i) shown << QString::number(numbers[i]);
  QString list = QStringLiteral("№ ") + shown.join(QStringLiteral(", "));
  if (numbers.size() > 10) list += QStringLiteral(" и ещё %1").arg(numbers.size() - 10);
  return list;
}

}  // namespace

bool InspectionJobPanel::takeReadingsFromTable() {
  if (!hooks_.tableReadings) return false;
  const job::TakenReadings taken = job::readingsForAreas(job_.areas, hooks_.tableReadings());
  if (!taken.ok()) {
    showErrorBox(taken.error);
    return false;
  }
  const job::ReadingsChange change = job::readingsChange(job_.readings, taken.readings);
  if (change.replacesAny()) {
    // The copies may be all that is left of an earlier day's readings.
    QStringList lines{QStringLiteral("Заменить замеры зон замерами из таблицы?")};
    if (!change.changed.empty()) {
      lines << QStringLiteral("Изменятся замеры (%1): %2.").arg(change.changed.size()).arg(numbersList(change.changed));
    }
    if (!change.dropped.empty()) {
      lines << QStringLiteral("В таблице нет замеров (%1), они будут удалены из проверки: %2.")
                   .arg(change.dropped.size())
                   .arg(numbersList(change.dropped));
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Взять замеры из таблицы"), lines.join(QLatin1Char('\n')),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Заменить"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Отмена"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    box.exec();
    if (box.clickedButton() != box.button(QMessageBox::Yes)) return false;
  }
  job_.readings = taken.readings;
  rejudge();
  emit jobChanged();
  return true;
}

void InspectionJobPanel::setHeaderTexts(const job::JobHeader& t) {
  job::JobHeader& h = job_.header;
  h.object = t.object;
  h.client = t.client;
  h.coatingSystem = t.coatingSystem;
  h.coat = t.coat;
  h.inspector = t.inspector;
  h.gauge = t.gauge;
  h.gaugeSerial = t.gaugeSerial;
  h.date = t.date;
  emit jobChanged();
}

void InspectionJobPanel::editArea(int row) {
  const bool adding = row < 0 || row >= static_cast<int>(job_.areas.size());
  job::JobArea area;
  std::vector<job::JobArea> others = job_.areas;
  if (!adding) {
    area = job_.areas[static_cast<std::size_t>(row)];
    others.erase(others.begin() + row);
  } else {
    area.name = "Зона " + std::to_string(job_.areas.size() + 1);
  }
  AreaDialog dialog(area, others, currentJob().header.unit, this);
  if (dialog.exec() != QDialog::Accepted) return;
  const QString why = adding ? addArea(dialog.area()) : replaceArea(static_cast<std::size_t>(row), dialog.area());
  if (!why.isEmpty()) showErrorBox(why.toStdString());
}

void InspectionJobPanel::editHeader() {
  QDialog dialog(this);
  dialog.setObjectName(QStringLiteral("JobHeaderDialog"));
  dialog.setWindowTitle(QStringLiteral("Сведения о проверке"));
  job::JobHeader h = job_.header;
  auto* form = new QFormLayout;
  std::vector<QLineEdit*> edits;
  for (const job::HeaderTextField& field : job::kHeaderTextFields) {
    auto* edit = new QLineEdit(text(h.*field.member), &dialog);
    edit->setMinimumWidth(320);
    form->addRow(QString::fromUtf8(field.caption), edit);
    edits.push_back(edit);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(form);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return;
  for (std::size_t i = 0; i < edits.size(); ++i) {
    h.*job::kHeaderTextFields[i].member = edits[i]->text().trimmed().toStdString();
  }
  setHeaderTexts(h);
}

QString InspectionJobPanel::saveJobTo(const QString& path) {
  // A field that holds no number would be saved as something that does not read back.
  if (const QString problem = hooks_.entriesProblem ? hooks_.entriesProblem() : QString(); !problem.isEmpty()) {
    return QStringLiteral("Не удалось сохранить проверку в файл «%1»: %2").arg(path, problem);
  }
  // The job keeps the identity it gets on its first save, in every later file.
  if (job_.id.empty()) job_.id = job::newJobId();
  const job::InspectionJob saving = currentJob();
  const std::string error = job::saveJob(path.toStdString(), saving);
  if (error.empty()) saved_ = saving;
  return text(error);
}

QString InspectionJobPanel::openJobFrom(const QString& path) {
  job::OpenedJob opened = job::openJob(path.toStdString());
  // A refused file leaves the job on show as it was.
  if (!opened.ok()) return text(opened.error);
  job_ = std::move(opened.job);
  if (hooks_.entriesFrom) hooks_.entriesFrom(job_.header);
  markSaved();
  rejudge();
  emit jobChanged();
  return {};
}

QString InspectionJobPanel::askFile(bool save, const QString& suggested) {
  if (hooks_.askJobFile) return hooks_.askJobFile(save, suggested);
  return save ? QFileDialog::getSaveFileName(this, QString::fromUtf8(kSaveJobText).chopped(1), suggested, kJobFilter)
              : QFileDialog::getOpenFileName(this, QString::fromUtf8(kOpenJobText).chopped(1), QString(), kJobFilter);
}

bool InspectionJobPanel::askAndSaveJob() {
  // Said before the file is chosen: the field is to be mended first.
  if (const QString problem = hooks_.entriesProblem ? hooks_.entriesProblem() : QString(); !problem.isEmpty()) {
    showErrorBox(QStringLiteral("Проверку нельзя сохранить: %1").arg(problem).toStdString());
    return false;
  }
  QString name = text(job_.header.object).trimmed();
  if (name.isEmpty()) name = QStringLiteral("проверка");
  const QString path = askFile(true, name + QString::fromUtf8(job::kJobFileExtension));
  if (path.isEmpty()) return false;
  if (const QString error = saveJobTo(path); !error.isEmpty()) {
    showErrorBox(error.toStdString());
    return false;
  }
  return true;
}

void InspectionJobPanel::askAndOpenJob() {
  if (!mayDropJob()) return;
  const QString path = askFile(false, {});
  if (path.isEmpty()) return;
  if (const QString error = openJobFrom(path); !error.isEmpty()) showErrorBox(error.toStdString());
}

namespace {

// Nothing a user would miss: no area, no header text, no reading.
bool blank(const job::InspectionJob& j) {
  return j.areas.empty() && j.readings.empty() &&
         std::all_of(job::kHeaderTextFields.begin(), job::kHeaderTextFields.end(),
                     [&](const job::HeaderTextField& f) { return (j.header.*f.member).empty(); });
}

}  // namespace

bool InspectionJobPanel::hasUnsavedChanges() const {
  const job::InspectionJob now = currentJob();
  if (blank(now) && blank(saved_)) return false;
  return !job::sameJob(now, saved_);
}

bool InspectionJobPanel::mayDropJob() {
  if (!hasUnsavedChanges()) return true;
  QMessageBox box(QMessageBox::Question, QStringLiteral("Проверка не сохранена"),
                  QStringLiteral("В проверке есть несохранённые изменения. Сохранить их?"),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.button(QMessageBox::Save)->setText(QStringLiteral("Сохранить"));
  box.button(QMessageBox::Discard)->setText(QStringLiteral("Не сохранять"));
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("Отмена"));
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  if (box.clickedButton() == box.button(QMessageBox::Save)) return askAndSaveJob();
  return box.clickedButton() == box.button(QMessageBox::Discard);
}

void InspectionJobPanel::markSaved() { saved_ = currentJob(); }

void InspectionJobPanel::startNewJob() {
  job_ = {};
  saved_ = {};
  rejudge();
  emit jobChanged();
}

report::JobReport InspectionJobPanel::jobReport() const {
  report::JobReport out;
  out.job = currentJob();
  out.verdict = in::judgeJob(out.job);
  out.madeAt = QDateTime::currentDateTime();
  return out;
}

QString InspectionJobPanel::saveReportPdf(const QString& path) const { return saveJobReportPdf(jobReport(), path); }

void InspectionJobPanel::rejudge() {
  verdict_ = in::judgeJob(currentJob());
  showAreas();
}

void InspectionJobPanel::showAreas() {
  const int keep = AreasTable->currentRow();
  AreasTable->setRowCount(static_cast<int>(job_.areas.size()));
  for (std::size_t i = 0; i < job_.areas.size() && i < verdict_.areas.size(); ++i) {
    const job::JobArea& area = job_.areas[i];
    const in::AreaVerdict& a = verdict_.areas[i];
    QString cells[ColumnCount];
    cells[Name] = text(area.name);
    cells[Numbers] = text(job::rangesText(area.numbers));
    cells[Surface] = area.surface ? text(in::surfaceText(*area.surface)) : QStringLiteral("—");
    if (area.kind) cells[Surface] += QStringLiteral(", ") + QString::fromUtf8(in::surfaceKindName(*area.kind));
    cells[RuleColumn] = QString::fromUtf8(in::ruleName(a.entries.rule));
    cells[Count] = QString::number(a.readings.size());
    QColor background(0xee, 0xee, 0xee);
    QString advice;
    if (a.assessment.ok()) {
      const in::Verdict& v = a.assessment.verdict;
      const in::Statistics& s = v.statistics;
      const QString unit = QLatin1Char(' ') + QString::fromUtf8(in::unitName(v.unit));
      const in::StatisticsTexts figures = in::statisticsTexts(s, v.unit, in::limitPositions(v));
      cells[Mean] = text(figures.mean) + unit;
      cells[Smallest] = text(figures.minimum) + unit;
      cells[Largest] = text(figures.maximum) + unit;
      if (v.sspc) cells[Count] += QStringLiteral(" (%1)").arg(text(in::plural(v.sspc->spotSums.size(), "пятно", "пятна", "пятен")));
      cells[Result] = text(v.summary);
      advice = text(v.advice);
      background = judgementBackground(v.judgement);
    } else {
      cells[Result] = QStringLiteral("Нет вердикта: ") + text(a.assessment.refusal);
    }
    for (int c = 0; c < ColumnCount; ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      item->setToolTip(cells[c]);
      if (c == Result) {
        item->setBackground(background);
        if (!advice.isEmpty()) item->setToolTip(cells[c] + QLatin1Char('\n') + advice);
      }
      AreasTable->setItem(static_cast<int>(i), c, item);
    }
  }
  if (keep >= 0 && keep < AreasTable->rowCount()) AreasTable->selectRow(keep);
  if (job_.areas.empty()) {
    JobVerdictLabel->setText(QStringLiteral("Зоны не заданы: добавьте зону по номерам замеров."));
    JobVerdictLabel->setStyleSheet({});
    return;
  }
  JobVerdictLabel->setText(QStringLiteral("Итог проверки: ") + text(verdict_.summary));
  JobVerdictLabel->setStyleSheet(QStringLiteral("QLabel { color: %1; }")
                                     .arg(verdictColour(verdict_.overall ? *verdict_.overall
                                                                         : in::Judgement::NotApplicable)
                                              .name()));
}

}  // namespace korsi
