// The company archive in the desktop program with real widgets against a
// real server: nothing of it without the configuration's line; the window's
// table, filters, verdict colours and approval; a publication from the menu
// while the server cannot be reached waits in the outbox and is counted.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "company_archive/archive_publish.h"
#include "company_archive/job_rows.h"
#include "services/config.h"
#include "tests/company_archive/archive_server.h"
#include "tests/company_archive/sample_jobs.h"
#include "tests/support/error_box_recorder.h"
#include "ui/company_archive/company_archive_commands.h"
#include "ui/company_archive/company_archive_window.h"
#include "ui/inspection/inspection_look.h"
#include "ui/main_window/main_window.h"

namespace korsi {
namespace {

namespace co = korsi::company;

// Delivers events until the archive's work is done (a guard of a minute).
void settle(const CompanyArchiveCommands& commands) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  do {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (commands.busy() && std::chrono::steady_clock::now() < until);
  QApplication::processEvents();
}

std::unique_ptr<Config> configFor(const test::TempDir& dir, const std::string& uri) {
  test::writeFile(dir.file("kestro.conf"), "log_file korsi7.log\ncompany_archive " + uri + "\n");
  return std::make_unique<Config>(dir.file("kestro.conf"), ConfigWriteBack::OnRequest);
}

QStringList menuNames(const TMainForm& window, const char* menu) {
  QStringList names;
  for (QAction* a : window.findChild<QMenu*>(QString::fromUtf8(menu))->actions()) names << a->objectName();
  return names;
}

TEST(CompanyArchiveCommands, WithoutTheLineNothingAppears) {
  TMainForm window;
  const QStringList file = menuNames(window, "FileMenu");
  Config config(std::vector<std::string>{"log_file korsi7.log", "default_comport 1"});
  EXPECT_EQ(makeCompanyArchiveCommands(config, window, {}), nullptr);
  EXPECT_EQ(menuNames(window, "FileMenu"), file);
  EXPECT_EQ(window.findChild<QAction*>(QStringLiteral("CompanyArchiveItem")), nullptr);
}

TEST(CompanyArchiveWindow, ListsFiltersColoursAndApproves) {
  test::ArchiveOnServer server;
  ASSERT_NO_FATAL_FAILURE(test::makeArchive(server));
  job::InspectionJob passing = test::sampleArchiveJob();
  job::InspectionJob other = test::sampleArchiveJob();
  other.header.object = "Другой объект";
  other.header.nominal = 500.0;
  for (const job::InspectionJob* j : {&passing, &other}) {
    co::PgConnection db(server.uri(server.inspectorA));
    ASSERT_FALSE(co::publishJob(db, *j).failure);
  }
  test::TempDir dir;
  const auto config = configFor(dir, server.uri(server.reviewer));
  TMainForm window;
  const auto commands = makeCompanyArchiveCommands(*config, window, {});
  ASSERT_NE(commands, nullptr);
  EXPECT_EQ(menuNames(window, "FileMenu").indexOf(QStringLiteral("PublishJobItem")),
            menuNames(window, "FileMenu").indexOf(QStringLiteral("SaveJobItem")) + 1);
  window.findChild<QAction*>(QStringLiteral("CompanyArchiveItem"))->trigger();
  settle(*commands);
  auto* archive = window.findChild<CompanyArchiveWindow*>();
  ASSERT_NE(archive, nullptr);
  EXPECT_TRUE(archive->isVisible());
  EXPECT_EQ(archive->windowTitle(), QStringLiteral("Архив компании"));
  ASSERT_EQ(archive->JobsTable->rowCount(), 2) << archive->MessageLabel->text().toStdString();
  for (int row = 0; row < 2; ++row) {
    const co::ListedJob& listed = archive->jobs()[static_cast<std::size_t>(row)];
    const job::InspectionJob& j = listed.id == passing.id ? passing : other;
    EXPECT_EQ(archive->JobsTable->item(row, 0)->text().toStdString(), j.header.object);
    const std::string word = co::storedVerdict(j).word;
    for (inspection::Judgement judgement : {inspection::Judgement::Pass, inspection::Judgement::Fail,
                                            inspection::Judgement::TooFewMeasurements}) {
      if (word == inspection::judgementWord(judgement)) {
        EXPECT_EQ(archive->JobsTable->item(row, 4)->background().color(), judgementBackground(judgement));
      }
    }
  }

  archive->ObjectEdit->setText(QString::fromStdString(passing.header.object));
  archive->FindButton->click();
  settle(*commands);
  ASSERT_EQ(archive->JobsTable->rowCount(), 1);
  archive->JobsTable->selectRow(0);
  archive->ApproveButton->click();
  settle(*commands);
  ASSERT_EQ(archive->JobsTable->rowCount(), 1);
  EXPECT_TRUE(archive->JobsTable->item(0, 7)->text().contains(QString::fromStdString(server.reviewer)))
      << archive->MessageLabel->text().toStdString();
  // Approved once; the second time the server says so, in Russian.
  archive->JobsTable->selectRow(0);
  archive->ApproveButton->click();
  settle(*commands);
  EXPECT_TRUE(archive->MessageLabel->text().contains(QStringLiteral("уже утверждена")));
}

TEST(CompanyArchiveCommands, APublicationOfflineWaitsAndIsCounted) {
  test::TempDir nowhere;
  test::TempDir dir;
  const auto config = configFor(dir, "postgresql://anna@/korsi7?host=" + nowhere.path().string() + "&port=5999");
  TMainForm window;
  const job::InspectionJob j = test::sampleArchiveJob();
  const auto commands = makeCompanyArchiveCommands(*config, window, [&] { return std::optional(j); });
  ASSERT_NE(commands, nullptr);
  EXPECT_TRUE(commands->waitingLabel()->isHidden());
  test::ErrorBoxRecorder boxes;
  window.findChild<QAction*>(QStringLiteral("PublishJobItem"))->trigger();
  settle(*commands);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_NE(boxes.boxes[0].text.find("Сервер архива компании недоступен"), std::string::npos) << boxes.boxes[0].text;
  EXPECT_NE(boxes.boxes[0].text.find("очереди на отправку"), std::string::npos);
  EXPECT_FALSE(commands->waitingLabel()->isHidden());
  EXPECT_EQ(commands->waitingLabel()->text(), QStringLiteral("Ожидают отправки в архив компании: 1"));
}

}  // namespace
}  // namespace korsi
