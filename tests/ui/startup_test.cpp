#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPointer>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/errorbox_recorder.h"
#include "tests/support/qt_helpers.h"
#include "tests/support/tempdir.h"
#include "ui/Unit1.h"
#include "ui/application.h"
#include "ui/kestro.h"
#include "ui/mainroutine.h"

namespace {

using korsi::test::readFile;
using korsi::test::writeFile;
using Stage = korsi::ProcessObjects::Stage;

const std::vector<std::string> kWindowOrder = {"Form1",      "MainForm", "ProgressForm", "RangeForm1",
                                               "NumForm1",   "RepForm",  "Form2"};

// Each process-wide object made, in order (configuration, log, port, slave,
// master, worker references), then each destroyed in reverse.
const std::vector<std::string> kWholeLife = {"+0", "+1", "+2", "+3", "+4", "+5",
                                             "-5", "-4", "-3", "-2", "-1", "-0"};

// The program run in a temporary working folder, as the user starts it there.
class StartUp : public ::testing::Test {
 protected:
  StartUp() : cwd(QString::fromStdString(dir.path().string())) {
    options.splashTime = std::chrono::milliseconds(1);
    options.windowCreated = [this](QWidget& window) {
      windows.push_back(window.objectName().toStdString());
      if (auto* main = qobject_cast<korsi::TMainForm*>(&window)) mainForm = main;
      if (auto* splash = dynamic_cast<korsi::TForm1*>(&window)) this->splash = splash;
    };
    options.stages = [this](Stage stage, bool made) {
      stages.push_back(std::string(made ? "+" : "-") + std::to_string(static_cast<int>(stage)));
    };
  }

  korsi::KorsiApplication& app() { return *static_cast<korsi::KorsiApplication*>(QCoreApplication::instance()); }

  korsi::test::TempDir dir;
  korsi::test::WorkingDirectory cwd;
  korsi::StartOptions options;
  std::vector<std::string> windows;
  std::vector<std::string> stages;
  QPointer<korsi::TMainForm> mainForm;
  QPointer<korsi::TForm1> splash;
};

TEST_F(StartUp, MissingConfigurationShowsItsMessageAndOpensNoWindow) {
  korsi::test::ErrorBoxRecorder boxes;
  EXPECT_EQ(korsi::mainRoutine(app(), options), korsi::kStartFailed);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Не могу открыть файл конфига на чтение");
  EXPECT_EQ(boxes.boxes[0].caption, "Ошибка");
  EXPECT_TRUE(windows.empty());
  EXPECT_TRUE(stages.empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));  // no log file either
}

TEST_F(StartUp, MissingLogFileKeyIsToldToTheUser) {
  writeFile("kestro.conf", "default_comport 1\n");
  korsi::test::ErrorBoxRecorder boxes;
  EXPECT_EQ(korsi::mainRoutine(app(), options), korsi::kStartFailed);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "В файле конфига нет параметра log_file");
  EXPECT_TRUE(windows.empty());
}

TEST_F(StartUp, SplashThenMaximisedMainWindowAndClosingItEndsWithEverythingUndone) {
  const std::string original = "log_file korsi7.log\ndefault_comport 4\n";
  writeFile("kestro.conf", original);
  bool splashShownFirst = false;
  bool checked = false;
  QTimer poll;
  poll.setInterval(std::chrono::milliseconds(1));
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (splash != nullptr && splash->isVisible() && mainForm != nullptr && !mainForm->isVisible()) {
      splashShownFirst = true;
    }
    if (mainForm == nullptr || !mainForm->isVisible() || checked) return;
    checked = true;
    EXPECT_TRUE(mainForm->windowState() & Qt::WindowMaximized);
    EXPECT_FALSE(splash->isVisible());
    EXPECT_FALSE(splash->Timer1->isActive());  // fired once
    EXPECT_EQ(app().title().toStdString(), "Толщиномер покрытий КОРСИ-7");
    EXPECT_EQ(app().helpFile(), QDir(QDir::currentPath()).filePath("KS.HLP"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "korsi7.log"));
    EXPECT_EQ(readFile("kestro.conf"), original);  // untouched while running
    mainForm->close();
  });
  poll.start();

  EXPECT_EQ(korsi::mainRoutine(app(), options), 0);
  EXPECT_TRUE(checked);
  EXPECT_TRUE(splashShownFirst);
  EXPECT_EQ(windows, kWindowOrder);
  EXPECT_EQ(stages, kWholeLife);
  EXPECT_EQ(readFile("kestro.conf"), original + "\n");  // written back although unchanged
  EXPECT_EQ(korsi::processLog(), nullptr);
}

TEST_F(StartUp, ExitCommandEndsTheProgram) {
  writeFile("kestro.conf", "log_file korsi7.log\ndefault_comport 4\n");
  QTimer poll;
  poll.setInterval(std::chrono::milliseconds(1));
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (mainForm != nullptr && mainForm->isVisible()) {
      poll.stop();
      mainForm->command("N10")->trigger();
    }
  });
  poll.start();
  EXPECT_EQ(korsi::mainRoutine(app(), options), 0);
  EXPECT_EQ(stages.back(), "-0");
}

// An error while the windows are made is shown by the standard display; the
// program then ends normally without running its loop.
TEST_F(StartUp, ErrorWhileMakingAWindowIsShownAndTheProgramEndsNormally) {
  writeFile("kestro.conf", "log_file korsi7.log\ndefault_comport 4\n");
  auto created = options.windowCreated;
  options.windowCreated = [&](QWidget& window) {
    created(window);
    if (window.objectName() == "MainForm") throw std::runtime_error("Таблица архива не открыта");
  };
  korsi::test::BoxCloser boxes;
  EXPECT_EQ(korsi::mainRoutine(app(), options), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text.toStdString(), "Таблица архива не открыта");
  EXPECT_EQ(boxes.boxes[0].title.toStdString(), "Толщиномер покрытий КОРСИ-7");
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(windows, (std::vector<std::string>{"Form1", "MainForm"}));
  EXPECT_EQ(stages, kWholeLife);
}

}  // namespace
