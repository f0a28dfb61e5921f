#include <gtest/gtest.h>

#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <climits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "instrument/worker.h"
#include "services/config.h"
#include "services/logs.h"
#include "tests/support/qt_helpers.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_worker.h"
#include "ui/main_window/main_window.h"
#include "ui/dialogs/progress_window.h"

namespace {

using korsi::test::readFile;
using korsi::test::TestWorker;

// The progress window over a main window, with a real log in a temporary folder.
class ProgressFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    korsi::test::writeFile(dir.file("kestro.conf"), "log_file " + logPath + "\n");
    config.emplace(dir.file("kestro.conf"));
    log.emplace(*config);
    korsi::setProcessLog(&*log);
  }
  void TearDown() override { korsi::setProcessLog(nullptr); }

  std::vector<std::string> logged() { return korsi::test::logMessages(readFile(logPath)); }

  korsi::test::TempDir dir;
  std::string logPath = dir.file("korsi7.log");
  std::optional<korsi::Config> config;
  std::optional<korsi::logstream> log;
  korsi::CurrentWorkers workers;
  korsi::TMainForm mainForm;
  korsi::TProgressForm progress{workers, mainForm};
};

TEST_F(ProgressFixture, LooksAsDesigned) {
  EXPECT_EQ(progress.windowTitle().toStdString(), "Пожайлуста подождите...");
  EXPECT_EQ(progress.Button1->text().toStdString(), "Отмена");
  EXPECT_EQ(progress.ProgressBar1->geometry(), QRect(0, 0, 233, 21));
  EXPECT_EQ(progress.Button1->geometry(), QRect(236, 0, 75, 21));
  EXPECT_TRUE(progress.rect().contains(progress.Button1->geometry()));  // nothing cut off
  EXPECT_TRUE(progress.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(progress.ProgressBar1->focusPolicy(), Qt::NoFocus);
}

struct Clamp {
  int set;
  int shown;
};

class ProgressClamping : public ProgressFixture, public ::testing::WithParamInterface<Clamp> {};

TEST_P(ProgressClamping, GaugeTakesTheNearerEndOfZeroToHundred) {
  progress.setProgress(50);
  progress.setProgress(GetParam().set);
  EXPECT_EQ(progress.ProgressBar1->value(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Values, ProgressClamping,
                         ::testing::Values(Clamp{0, 0}, Clamp{33, 33}, Clamp{100, 100}, Clamp{-1, 0},
                                           Clamp{101, 100}, Clamp{INT_MIN, 0}, Clamp{INT_MAX, 100}));

TEST_F(ProgressFixture, ShowKeepsTheGaugeAndCloseIfShowingOnlyHides) {
  progress.closeIfShowing();  // not showing: nothing
  EXPECT_FALSE(progress.isVisible());
  progress.setProgress(66);
  progress.showProgress();
  EXPECT_TRUE(progress.isVisible());
  EXPECT_FALSE(progress.isModal());
  EXPECT_EQ(progress.ProgressBar1->value(), 66);
  progress.closeIfShowing();
  EXPECT_FALSE(progress.isVisible());
  progress.showProgress();
  EXPECT_EQ(progress.ProgressBar1->value(), 66);
  progress.close();  // not from the user: hides
  EXPECT_FALSE(progress.isVisible());
}

// Cancel with each combination of current workers: the log lines in order,
// and which of the main window's commands are enabled afterwards when all
// were disabled before.
struct CancelCase {
  const char* name;
  bool search;
  bool reading;
  std::vector<std::string> log;
  std::set<std::string> enabled;
};

std::ostream& operator<<(std::ostream& out, const CancelCase& c) { return out << c.name; }

const std::set<std::string> kAfterSearch = {"ToolButton1", "ToolButton4", "ToolButton6", "N2",
                                            "N12",         "N8",          "N22",         "N23"};
const std::set<std::string> kAfterReading = {"ToolButton1", "ToolButton4", "ToolButton12", "ToolButton6", "N2",
                                             "N16",         "N12",         "N8",           "N22",         "N23"};

const char* const kAllCommands[] = {
    "N8",  "N6",  "N7",  "Excel1", "N14", "N15", "N10",         "N2",          "N12",         "N16",
    "N17", "N18", "N19", "N22",    "N23", "N5",  "N20",         "A",           "B",           "C",
    "ToolButton1", "ToolButton2", "PrintButton", "PreviewButton", "ToolButton4", "ToolButton12",
    "ToolButton13", "ToolButton10", "ToolButton6", "ToolButton8"};

class CancelTest : public ProgressFixture, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelTest, StopsTheWorkersAtOnceLogsAndGivesTheCommandsBack) {
  const CancelCase& c = GetParam();
  // Both workers are inside an exchange: Cancel must not wait for them.
  auto search = std::make_shared<TestWorker>(std::function<void()>{}, /*held=*/true);
  auto reading = std::make_shared<TestWorker>(std::function<void()>{}, /*held=*/true);
  if (c.search) workers.setSearch(search);
  if (c.reading) workers.setReading(reading);
  for (const char* name : kAllCommands) mainForm.command(name)->setEnabled(false);
  progress.showProgress();

  korsi::test::click(progress.Button1);

  EXPECT_EQ(logged(), c.log);
  std::set<std::string> enabled;
  for (const char* name : kAllCommands) {
    if (korsi::test::enabledInItself(mainForm.command(name))) enabled.insert(name);
  }
  EXPECT_EQ(enabled, c.enabled);
  EXPECT_FALSE(progress.isVisible());
  EXPECT_EQ(workers.search(), nullptr);
  EXPECT_EQ(workers.reading(), nullptr);
  EXPECT_EQ(search->stopRequested(), c.search);
  EXPECT_EQ(reading->stopRequested(), c.reading);
  EXPECT_TRUE(search->isRunning());
  EXPECT_TRUE(reading->isRunning());

  search->leaveExchange();
  reading->leaveExchange();
  workers.waitForStopped();
  EXPECT_EQ(search->isRunning(), !c.search);
  EXPECT_EQ(reading->isRunning(), !c.reading);
}

std::set<std::string> joined(const std::set<std::string>& a, const std::set<std::string>& b) {
  std::set<std::string> out = a;
  out.insert(b.begin(), b.end());
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Workers, CancelTest,
    ::testing::Values(
        CancelCase{"NoWorker", false, false, {"ERR Нажата кнопка отмена"}, {}},
        CancelCase{"Search", true, false, {"ERR Нажата кнопка отмена", "ERR DeviceFoundThread terminate"},
                   kAfterSearch},
        CancelCase{"Reading", false, true, {"ERR Нажата кнопка отмена", "ERR ReadMeashsThread terminate"},
                   kAfterReading},
        // A reading after a search in the same run: the search stays referenced.
        CancelCase{"SearchThenReading",
                   true,
                   true,
                   {"ERR Нажата кнопка отмена", "ERR DeviceFoundThread terminate", "ERR ReadMeashsThread terminate"},
                   joined(kAfterSearch, kAfterReading)}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
