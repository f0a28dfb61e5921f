// A build without the company archive (Windows, for now: Debian has no libpq
// for MinGW-w64). Where kestro.conf names an archive the items are there and
// say that this build cannot reach it.
#include <QAction>
#include <QLabel>

#include "services/config.h"
#include "services/error_box.h"
#include "ui/company_archive/company_archive_commands.h"
#include "ui/company_archive/company_archive_menu.h"
#include "ui/main_window/main_window.h"

namespace korsi {

namespace {

constexpr const char* kNotInThisBuild =
    "В этой сборке программы нет архива компании (сборка для Windows пока без libpq). "
    "Опубликуйте проверку программой для Linux или сохраните её в файл.";

class NoArchive : public CompanyArchiveCommands {
 public:
  explicit NoArchive(TMainForm& window) {
    const CompanyArchiveMenu menu = addCompanyArchiveMenu(window);
    waiting_ = menu.waiting;
    QObject::connect(menu.publish, &QAction::triggered, &window, [this] { publishCurrentJob(); });
    QObject::connect(menu.open, &QAction::triggered, &window, [this] { showWindow(); });
  }
  QWidget* showWindow() override {
    showWarningBox(kNotInThisBuild, kCompanyArchiveTitle);
    return nullptr;
  }
  void publishCurrentJob() override { showWarningBox(kNotInThisBuild, kCompanyArchiveTitle); }
  QLabel* waitingLabel() override { return waiting_; }
  bool busy() const override { return false; }

 private:
  QLabel* waiting_ = nullptr;
};

}  // namespace

std::unique_ptr<CompanyArchiveCommands> makeCompanyArchiveCommands(const Config& config, TMainForm& window,
                                                                   CompanyArchiveCommands::CurrentJob) {
  try {
    if (config.getString("company_archive").empty()) return nullptr;
  } catch (const ConfigException&) {
    return nullptr;
  }
  return std::make_unique<NoArchive>(window);
}

}  // namespace korsi
