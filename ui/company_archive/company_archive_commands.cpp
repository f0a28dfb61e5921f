#include "ui/company_archive/company_archive_commands.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <filesystem>

#include "company_archive/company_archive.h"
#include "services/error_box.h"
#include "ui/company_archive/background_call.h"
#include "ui/company_archive/company_archive_window.h"
#include "ui/company_archive/company_archive_menu.h"
#include "ui/main_window/main_window.h"

namespace korsi {

namespace {

namespace co = korsi::company;

class ArchiveCommands : public CompanyArchiveCommands {
 public:
  ArchiveCommands(co::ArchivePlace place, TMainForm& window, CurrentJob currentJob)
      : place_(std::move(place)), window_(window), currentJob_(std::move(currentJob)), call_(new BackgroundCall(&window)) {
    const CompanyArchiveMenu menu = addCompanyArchiveMenu(window);
    publish_ = menu.publish;
    QObject::connect(menu.publish, &QAction::triggered, &window, [this] { publishCurrentJob(); });
    QObject::connect(menu.open, &QAction::triggered, &window, [this] { showWindow(); });
    waiting_ = menu.waiting;
    showWaiting();
    // What waited from an earlier run (or from korsi7-transfer) goes now.
    if (waitingCount() > 0) sendInBackground();
  }
  ~ArchiveCommands() override {
    delete archiveWindow_;
    delete call_;
  }

  QWidget* showWindow() override {
    if (archiveWindow_ == nullptr) {
      archiveWindow_ = new CompanyArchiveWindow(place_, &window_);
      QObject::connect(archiveWindow_, &CompanyArchiveWindow::outboxChanged, &window_, [this] { showWaiting(); });
    }
    archiveWindow_->showArchive();
    return archiveWindow_;
  }

  void publishCurrentJob() override {
    std::optional<job::InspectionJob> j = currentJob_ ? currentJob_() : std::nullopt;
    if (!j || j->areas.empty()) {
      showErrorBox("Нечего публиковать: составьте или откройте проверку с зонами в окне «Статистика и приёмка»");
      return;
    }
    publish_->setEnabled(false);
    const co::ArchivePlace place = place_;
    call_->start<co::PublishReport>(
        [place, job = std::move(*j)] { return co::publishThroughOutbox(place, job); },
        [this](const co::PublishReport& report) {
          publish_->setEnabled(true);
          showWaiting();
          switch (report.result) {
            case co::PublishReport::Result::Published:
            case co::PublishReport::Result::AlreadyThere:
              window_.setStatusText(QString::fromStdString(report.message));
              break;
            case co::PublishReport::Result::Queued:
              showWarningBox(report.message, kCompanyArchiveTitle);
              break;
            default:
              showErrorBox(report.message);
              break;
          }
        });
  }

  QLabel* waitingLabel() override { return waiting_; }
  bool busy() const override { return call_->busy() || (archiveWindow_ != nullptr && archiveWindow_->busy()); }

 private:
  std::size_t waitingCount() {
    std::string error;
    return co::waitingJobs(place_.outboxPath, &error).value_or(0);
  }
  void showWaiting() {
    const std::size_t n = waitingCount();
    waiting_->setText(QStringLiteral("Ожидают отправки в архив компании: %1").arg(n));
    waiting_->setVisible(n > 0);
    if (archiveWindow_ != nullptr) archiveWindow_->showWaiting();
  }
  void sendInBackground() {
    const co::ArchivePlace place = place_;
    call_->start<co::SyncReport>([place] { return co::sendOutbox(place); },
                                 [this](const co::SyncReport&) { showWaiting(); });
  }

  co::ArchivePlace place_;
  TMainForm& window_;
  CurrentJob currentJob_;
  BackgroundCall* call_;
  QAction* publish_ = nullptr;
  QLabel* waiting_ = nullptr;
  CompanyArchiveWindow* archiveWindow_ = nullptr;
};

}  // namespace

std::unique_ptr<CompanyArchiveCommands> makeCompanyArchiveCommands(const Config& config, TMainForm& window,
                                                                   CompanyArchiveCommands::CurrentJob currentJob) {
  const auto uri = co::companyArchiveUri(config);
  if (!uri) return nullptr;
  // The outbox sits beside the configuration that names the archive, as
  // korsi7-transfer keeps it: the per-user folder of an installed program.
  const std::string outbox = (std::filesystem::path(config.path()).parent_path() / co::kOutboxFileName).string();
  return std::make_unique<ArchiveCommands>(co::ArchivePlace{*uri, outbox}, window, std::move(currentJob));
}

}  // namespace korsi
