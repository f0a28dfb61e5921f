#include "ui/company_archive/company_archive_window.h"

#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "inspection/job_verdict.h"
#include "storage/recordset/date_time.h"
#include "ui/company_archive/background_call.h"
#include "ui/inspection/inspection_look.h"
#include "ui/inspection/inspection_printing.h"

namespace korsi {

namespace {

namespace co = korsi::company;
namespace in = korsi::inspection;

QString text(const std::string& s) { return QString::fromStdString(s); }

struct VerdictChoice {
  const char* word;
  const char* caption;
};
constexpr VerdictChoice kVerdicts[] = {
    {"pass", "Соответствует"},
    {"fail", "Не соответствует"},
    {"too_few_measurements", "Недостаточно измерений"},
    {"not_applicable", "Правило не применимо"},
    {"none", "Нет вердикта"},
};

QString verdictCaption(const std::string& word) {
  for (const VerdictChoice& v : kVerdicts) {
    if (word == v.word) return QString::fromUtf8(v.caption);
  }
  return text(word);
}

std::optional<in::Judgement> judgementOf(const std::string& word) {
  for (in::Judgement j : {in::Judgement::Pass, in::Judgement::Fail, in::Judgement::TooFewMeasurements,
                          in::Judgement::NotApplicable}) {
    if (word == in::judgementWord(j)) return j;
  }
  return std::nullopt;
}

// "2026-12-11T08:42:05Z" shown in the user's time as "11.12.2026 11:42".
QString shownTime(const std::string& iso) {
  if (iso.empty()) return QString();
  const QDateTime t = QDateTime::fromString(text(iso), Qt::ISODate);
  return t.isValid() ? t.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm")) : text(iso);
}

std::optional<std::string> filterText(const QLineEdit* edit) {
  const QString t = edit->text().trimmed();
  if (t.isEmpty()) return std::nullopt;
  return t.toStdString();
}

}  // namespace

CompanyArchiveWindow::CompanyArchiveWindow(co::ArchivePlace place, QWidget* parent)
    : QWidget(parent, Qt::Window),
      ObjectEdit(new QLineEdit(this)),
      ClientEdit(new QLineEdit(this)),
      InspectorEdit(new QLineEdit(this)),
      SinceEdit(new QLineEdit(this)),
      UntilEdit(new QLineEdit(this)),
      VerdictBox(new QComboBox(this)),
      FindButton(new QPushButton(QStringLiteral("Найти"), this)),
      JobsTable(new QTableWidget(this)),
      OpenButton(new QPushButton(QStringLiteral("Открыть протокол"), this)),
      ApproveButton(new QPushButton(QStringLiteral("Утвердить"), this)),
      SendButton(new QPushButton(QStringLiteral("Отправить очередь"), this)),
      WaitingLabel(new QLabel(this)),
      MessageLabel(new QLabel(this)),
      place_(std::move(place)),
      call_(new BackgroundCall(this)) {
  setObjectName(QStringLiteral("CompanyArchiveWindow"));
  setWindowTitle(QStringLiteral("Архив компании"));
  ObjectEdit->setObjectName(QStringLiteral("ObjectEdit"));
  ClientEdit->setObjectName(QStringLiteral("ClientEdit"));
  InspectorEdit->setObjectName(QStringLiteral("InspectorEdit"));
  SinceEdit->setObjectName(QStringLiteral("SinceEdit"));
  UntilEdit->setObjectName(QStringLiteral("UntilEdit"));
  SinceEdit->setPlaceholderText(QStringLiteral("ГГГГ-ММ-ДД"));
  UntilEdit->setPlaceholderText(QStringLiteral("ГГГГ-ММ-ДД"));
  VerdictBox->setObjectName(QStringLiteral("VerdictBox"));
  VerdictBox->addItem(QStringLiteral("Все"), QString());
  for (const VerdictChoice& v : kVerdicts) VerdictBox->addItem(QString::fromUtf8(v.caption), QString::fromUtf8(v.word));

  auto* filters = new QFormLayout;
  auto* firstRow = new QHBoxLayout;
  firstRow->addWidget(ObjectEdit, 2);
  firstRow->addWidget(new QLabel(QStringLiteral("Заказчик:"), this));
  firstRow->addWidget(ClientEdit, 2);
  firstRow->addWidget(new QLabel(QStringLiteral("Инспектор:"), this));
  firstRow->addWidget(InspectorEdit, 1);
  filters->addRow(QStringLiteral("Объект:"), firstRow);
  auto* secondRow = new QHBoxLayout;
  secondRow->addWidget(SinceEdit);
  secondRow->addWidget(new QLabel(QStringLiteral("по"), this));
  secondRow->addWidget(UntilEdit);
  secondRow->addWidget(new QLabel(QStringLiteral("Вердикт:"), this));
  secondRow->addWidget(VerdictBox);
  secondRow->addStretch();
  secondRow->addWidget(FindButton);
  filters->addRow(QStringLiteral("Опубликованы с:"), secondRow);

  JobsTable->setObjectName(QStringLiteral("JobsTable"));
  const QStringList columns{QStringLiteral("Объект"),       QStringLiteral("Заказчик"),
                            QStringLiteral("Инспектор"),    QStringLiteral("Дата проверки"),
                            QStringLiteral("Вердикт"),      QStringLiteral("Ревизия"),
                            QStringLiteral("Опубликована"), QStringLiteral("Утверждена"),
                            QStringLiteral("Опубликовал")};
  JobsTable->setColumnCount(static_cast<int>(columns.size()));
  JobsTable->setHorizontalHeaderLabels(columns);
  JobsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  JobsTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  JobsTable->setSelectionMode(QAbstractItemView::SingleSelection);
  JobsTable->verticalHeader()->hide();
  JobsTable->horizontalHeader()->setStretchLastSection(true);
  OpenButton->setObjectName(QStringLiteral("OpenButton"));
  ApproveButton->setObjectName(QStringLiteral("ApproveButton"));
  SendButton->setObjectName(QStringLiteral("SendButton"));
  WaitingLabel->setObjectName(QStringLiteral("WaitingLabel"));
  MessageLabel->setObjectName(QStringLiteral("MessageLabel"));
  MessageLabel->setWordWrap(true);
  MessageLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(OpenButton);
  buttons->addWidget(ApproveButton);
  buttons->addStretch();
  buttons->addWidget(WaitingLabel);
  buttons->addWidget(SendButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addWidget(JobsTable, 1);
  layout->addWidget(MessageLabel);
  layout->addLayout(buttons);
  resize(1120, 560);

  connect(FindButton, &QPushButton::clicked, this, &CompanyArchiveWindow::refresh);
  for (QLineEdit* edit : {ObjectEdit, ClientEdit, InspectorEdit, SinceEdit, UntilEdit}) {
    connect(edit, &QLineEdit::returnPressed, this, &CompanyArchiveWindow::refresh);
  }
  connect(VerdictBox, &QComboBox::activated, this, &CompanyArchiveWindow::refresh);
  connect(OpenButton, &QPushButton::clicked, this, &CompanyArchiveWindow::openSelected);
  connect(JobsTable, &QTableWidget::cellDoubleClicked, this, &CompanyArchiveWindow::openSelected);
  connect(ApproveButton, &QPushButton::clicked, this, &CompanyArchiveWindow::approveSelected);
  connect(SendButton, &QPushButton::clicked, this, &CompanyArchiveWindow::sendWaiting);
}

bool CompanyArchiveWindow::busy() const { return call_->busy(); }

void CompanyArchiveWindow::say(const QString& message, bool failure) {
  MessageLabel->setText(message);
  MessageLabel->setStyleSheet(failure ? QStringLiteral("color: #a00000") : QString());
}

void CompanyArchiveWindow::showArchive() {
  show();
  raise();
  activateWindow();
  showWaiting();
  refresh();
}

void CompanyArchiveWindow::showWaiting() {
  std::string error;
  const auto waiting = co::waitingJobs(place_.outboxPath, &error);
  WaitingLabel->setText(waiting ? QStringLiteral("Ожидают отправки: %1").arg(*waiting) : text(error));
  SendButton->setEnabled(waiting && *waiting > 0);
}

void CompanyArchiveWindow::refresh() {
  co::JobFilter filter;
  filter.object = filterText(ObjectEdit);
  filter.client = filterText(ClientEdit);
  filter.inspector = filterText(InspectorEdit);
  filter.since = filterText(SinceEdit);
  filter.until = filterText(UntilEdit);
  for (const auto& date : {filter.since, filter.until}) {
    if (date && !parseIsoText(*date)) {
      say(QStringLiteral("Дата «%1» не понятна: нужна дата вида 2026-12-11").arg(text(*date)), true);
      return;
    }
  }
  if (const QString verdict = VerdictBox->currentData().toString(); !verdict.isEmpty()) {
    filter.verdict = verdict.toStdString();
  }
  const std::string uri = place_.uri;
  say(QStringLiteral("Запрос к серверу…"), false);
  call_->start<co::JobList>(
      [uri, filter] {
        co::PgConnection db(uri);
        if (!db.ok()) return co::JobList{db.failure(), {}};
        return co::listJobs(db, filter);
      },
      [this](const co::JobList& list) { showJobs(list); });
}

void CompanyArchiveWindow::showJobs(const co::JobList& list) {
  if (list.failure) {
    say(text(list.failure.message), true);
    return;
  }
  jobs_ = list.jobs;
  JobsTable->setRowCount(static_cast<int>(jobs_.size()));
  for (std::size_t r = 0; r < jobs_.size(); ++r) {
    const co::ListedJob& j = jobs_[r];
    const QString cells[] = {text(j.header.object),      text(j.header.client),   text(j.header.inspector),
                             text(j.header.date),        verdictCaption(j.verdict), QString::number(j.revision),
                             shownTime(j.publishedAt),   j.approvedAt.empty() ? QString() : shownTime(j.approvedAt) + QStringLiteral(" (") + text(j.approvedBy) + QStringLiteral(")"),
                             text(j.role)};
    for (int c = 0; c < static_cast<int>(std::size(cells)); ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      if (c == 4) {
        if (const auto judgement = judgementOf(j.verdict)) item->setBackground(judgementBackground(*judgement));
        item->setToolTip(text(j.verdictText));
      }
      JobsTable->setItem(static_cast<int>(r), c, item);
    }
  }
  JobsTable->resizeColumnsToContents();
  say(QStringLiteral("Проверок: %1").arg(jobs_.size()), false);
}

const co::ListedJob* CompanyArchiveWindow::selectedJob() {
  const int row = JobsTable->currentRow();
  if (row < 0 || row >= static_cast<int>(jobs_.size())) {
    say(QStringLiteral("Выберите проверку в таблице"), true);
    return nullptr;
  }
  return &jobs_[static_cast<std::size_t>(row)];
}

void CompanyArchiveWindow::openSelected() {
  const co::ListedJob* chosen = selectedJob();
  if (chosen == nullptr) return;
  const std::string uri = place_.uri;
  const std::string id = chosen->id;
  const int revision = chosen->revision;
  call_->start<co::FetchedJob>(
      [uri, id, revision] {
        co::PgConnection db(uri);
        if (!db.ok()) return co::FetchedJob{db.failure(), {}, {}, {}};
        return co::fetchJob(db, id, revision);
      },
      [this](const co::FetchedJob& fetched) {
        if (fetched.failure || !fetched.notFound.empty()) {
          say(text(fetched.failure ? fetched.failure.message : fetched.notFound), true);
          return;
        }
        say(QString(), false);
        // The report is the job as the archive holds it; nothing in it can be changed.
        report::JobReport report{fetched.job, in::judgeJob(fetched.job), QDateTime::currentDateTime()};
        previewJobReport(report, this);
      });
}

void CompanyArchiveWindow::approveSelected() {
  const co::ListedJob* chosen = selectedJob();
  if (chosen == nullptr) return;
  const std::string uri = place_.uri;
  const std::string id = chosen->id;
  call_->start<co::Approval>(
      [uri, id] {
        co::PgConnection db(uri);
        if (!db.ok()) return co::Approval{db.failure(), {}, 0};
        return co::approveJob(db, id);
      },
      [this](const co::Approval& approval) {
        if (approval.failure || !approval.refusal.empty()) {
          say(text(approval.failure ? approval.failure.message : approval.refusal), true);
          return;
        }
        refresh();
      });
}

void CompanyArchiveWindow::sendWaiting() {
  const co::ArchivePlace place = place_;
  call_->start<co::SyncReport>([place] { return co::sendOutbox(place); },
                               [this](const co::SyncReport& report) {
                                 showWaiting();
                                 emit outboxChanged();
                                 QString message = QStringLiteral("Отправлено: %1").arg(report.sent + report.alreadyThere);
                                 for (const std::string& r : report.refusals) message += QStringLiteral("\n") + text(r);
                                 if (report.stop) message += QStringLiteral("\n") + text(report.stop.message);
                                 if (!report.outboxError.empty()) message += QStringLiteral("\n") + text(report.outboxError);
                                 say(message, report.stop || !report.refusals.empty());
                                 if (!report.stop) refresh();
                               });
}

}  // namespace korsi
