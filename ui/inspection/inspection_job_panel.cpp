#include "ui/inspection/inspection_job_panel.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFormLayout>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
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

void InspectionJobPanel::takeReadingsFromTable() {
  if (!hooks_.tableReadings) return;
  const job::TakenReadings taken = job::readingsForAreas(job_.areas, hooks_.tableReadings());
  if (!taken.ok()) {
    showErrorBox(taken.error);
    return;
  }
  job_.readings = taken.readings;
  rejudge();
  emit jobChanged();
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
  AreaDialog dialog(area, others, this);
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
  // The job keeps the identity it gets on its first save, in every later file.
  if (job_.id.empty()) job_.id = job::newJobId();
  const std::string error = job::saveJob(path.toStdString(), currentJob());
  return text(error);
}

QString InspectionJobPanel::openJobFrom(const QString& path) {
  job::OpenedJob opened = job::openJob(path.toStdString());
  // A refused file leaves the job on show as it was.
  if (!opened.ok()) return text(opened.error);
  job_ = std::move(opened.job);
  if (hooks_.entriesFrom) hooks_.entriesFrom(job_.header);
  rejudge();
  emit jobChanged();
  return {};
}

void InspectionJobPanel::askAndSaveJob() {
  QString name = text(job_.header.object).trimmed();
  if (name.isEmpty()) name = QStringLiteral("проверка");
  const QString path = QFileDialog::getSaveFileName(this, QString::fromUtf8(kSaveJobText).chopped(1),
                                                    name + QString::fromUtf8(job::kJobFileExtension), kJobFilter);
  if (path.isEmpty()) return;
  if (const QString error = saveJobTo(path); !error.isEmpty()) showErrorBox(error.toStdString());
}

void InspectionJobPanel::askAndOpenJob() {
  const QString path =
      QFileDialog::getOpenFileName(this, QString::fromUtf8(kOpenJobText).chopped(1), QString(), kJobFilter);
  if (path.isEmpty()) return;
  if (const QString error = openJobFrom(path); !error.isEmpty()) showErrorBox(error.toStdString());
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
    cells[Surface] = area.surfaceM2 ? text(in::surfaceText(*area.surfaceM2)) : QStringLiteral("—");
    cells[RuleColumn] = QString::fromUtf8(in::ruleName(a.entries.rule));
    cells[Count] = QString::number(a.readings.size());
    QColor background(0xee, 0xee, 0xee);
    if (a.assessment.ok()) {
      const in::Verdict& v = a.assessment.verdict;
      const in::Statistics& s = v.statistics;
      const QString unit = QLatin1Char(' ') + QString::fromUtf8(in::unitName(v.unit));
      cells[Mean] = text(in::textBesideLimits(s.mean, v.unit, in::limitPositions(v))) + unit;
      cells[Smallest] = text(in::exactText(static_cast<double>(s.minimum), v.unit)) + unit;
      cells[Largest] = text(in::exactText(static_cast<double>(s.maximum), v.unit)) + unit;
      if (v.sspc) cells[Count] += QStringLiteral(" (%1)").arg(text(in::plural(v.sspc->spotSums.size(), "пятно", "пятна", "пятен")));
      cells[Result] = text(v.summary);
      background = judgementBackground(v.judgement);
    } else {
      cells[Result] = QStringLiteral("Нет вердикта: ") + text(a.assessment.refusal);
    }
    for (int c = 0; c < ColumnCount; ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      item->setToolTip(cells[c]);
      if (c == Result) item->setBackground(background);
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
