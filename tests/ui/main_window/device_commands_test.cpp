// The main window's gauge commands on real widgets, with the simulated gauge
// on a real pseudo-terminal: Find device, the read commands, Cancel, a lost
// connection, and which commands are available after each of them.

#include <gtest/gtest.h>

#include <system_error>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMouseEvent>
#include <QToolBar>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/process_objects.h"
#include "services/error_box.h"
#include "tests/storage/archive/database_files.h"
#include "tests/support/qt_helpers.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_worker.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"
#include "simulator/pseudo_terminal.h"
#include "ui/application.h"
#include "instrument/archive_size.h"
#include "storage/recordset/data_file.h"
#include "ui/inspection/inspection_job_panel.h"
#include "ui/inspection/inspection_window.h"
#include "ui/main_window/archive_actions.h"
#include "ui/main_window/device_commands.h"
#include "ui/main_routine.h"
#include "ui/main_window/main_window.h"
#include "ui/dialogs/number_dialog.h"
#include "ui/dialogs/progress_window.h"
#include "ui/dialogs/range_dialog.h"
#include "ui/main_window/worker_wait.h"

namespace {

using korsi::ArchiveRow;
using korsi::DateTime;
using korsi::test::readFile;
using korsi::test::writeFile;

constexpr int kGaugePort = 200;

// The commands whose state the events change, in a fixed order.
const std::vector<std::string> kWatched = {"ToolButton1", "N8",  "ToolButton2", "N6",  "ToolButton4", "N2",
                                           "ToolButton12", "N16", "N22",         "N23", "Excel1"};

// The program's windows and process-wide objects in a temporary working
// folder whose configuration points port 200 at the simulated gauge.
class GaugeCommands : public ::testing::Test {
 protected:
  void startGauge(korsi::sim::SimulatorConfig config) {
    gauge = std::make_unique<korsi::sim::GaugeSimulator>(std::move(config));
    gauge->start();
  }
  void startGauge(std::size_t count, korsi::sim::GaugeFaults faults = {}) {
    korsi::sim::SimulatorConfig config;
    config.archive = korsi::sim::generateArchive(count, 3);
    config.faults = faults;
    startGauge(std::move(config));
  }

  // The configuration remembers `remembered`; the converter's driver is in a
  // fake tree that holds it without devices, so a search scans 1 to 255.
  void openWindows(int remembered = kGaugePort) {
    std::string conf = "log_file korsi7.log\ndefault_comport " + std::to_string(remembered) + "\n";
    if (gauge) conf += "COM" + std::to_string(kGaugePort) + " " + gauge->devicePath() + "\n";
    // No other number names a device here, so a search passes them quickly.
    for (int n = 1; n <= 160; ++n) conf += "COM" + std::to_string(n) + " " + dir.file("none") + "\n";
    writeFile("kestro.conf", conf);
    korsi::test::makeDatabase("korsi7.mdb");
    std::filesystem::create_directories(dir.path() / "sys/bus/usb-serial/drivers/ftdi_sio");
    objects.emplace();
    korsi::ConverterDriverRoots roots{(dir.path() / "sys").string(), dir.file("no-modules"), dir.file("no-dir")};
    windows = std::make_unique<korsi::Windows>(*objects, korsi::Windows::Created{}, roots);
    windows->MainForm->show();
  }

  void SetUp() override {
    // The gauge answers on a pseudo-terminal and the search looks for the
    // converter's driver in a sysfs tree: neither is there on Windows, where
    // the program's reading is tested under Wine through a COM port
    // (scripts/wine-desktop-test.sh).
    try {
      korsi::sim::PseudoTerminal probe;
    } catch (const std::system_error& error) {
      GTEST_SKIP() << "no pseudo-terminal for the simulated gauge: " << error.what();
    }
    korsi::installMessageBoxHook();
  }
  void TearDown() override {
    korsi::setErrorBoxHook({});
    if (objects) korsi::finishWorkers(objects->workers());
    windows.reset();
    objects.reset();
  }

  korsi::TMainForm& main() { return *windows->MainForm; }
  korsi::DeviceCommands& device() { return *windows->Device; }
  void trigger(const char* name) { main().command(name)->trigger(); }
  bool enabled(const std::string& name) { return korsi::test::enabledInItself(main().command(name)); }

  // The watched commands that are enabled.
  std::vector<std::string> enabledCommands() {
    std::vector<std::string> out;
    for (const std::string& name : kWatched) {
      if (enabled(name)) out.push_back(name);
    }
    return out;
  }

  bool workersIdle() { return !objects->workers().anyRunning(); }
  void waitIdle() { ASSERT_TRUE(korsi::test::processUntil([&] { return workersIdle(); })); }

  std::vector<int> rowNumbers() {
    std::vector<int> out;
    for (const auto& row : windows->ArchTable->rows()) out.push_back(row.num.value_or(-1));
    return out;
  }
  static std::vector<std::string> logged() { return korsi::test::logMessages(readFile("korsi7.log")); }
  static long count(const std::vector<std::string>& lines, const std::string& line) {
    return std::count(lines.begin(), lines.end(), line);
  }

  // Answers a dialog once it is up (its own loop runs then), whenever that is.
  void answerWhenShown(QDialog& dialog, std::function<void()> answer) {
    auto* poll = new QTimer(&dialog);
    poll->setInterval(std::chrono::milliseconds(1));
    QObject::connect(poll, &QTimer::timeout, [poll, &dialog, answer = std::move(answer)] {
      if (!dialog.isVisible()) return;
      poll->stop();
      poll->deleteLater();
      answer();
    });
    poll->start();
  }
  void answerRange(const QString& from, const QString& to) {
    answerWhenShown(*windows->RangeForm1, [this, from, to] {
      windows->RangeForm1->Edit1->setText(from);
      windows->RangeForm1->Edit2->setText(to);
      windows->RangeForm1->accept();
    });
  }
  void answerNumber(const QString& number) {
    answerWhenShown(*windows->NumForm1, [this, number] {
      windows->NumForm1->Edit1->setText(number);
      windows->NumForm1->accept();
    });
  }

  // Finds the gauge, closing the found box, and waits for the search's end.
  void findGauge() {
    korsi::test::BoxCloser closer;
    trigger("N2");
    waitIdle();
    ASSERT_EQ(closer.boxes.size(), 1u);
  }

  korsi::test::TempDir dir;
  korsi::test::WorkingDirectory cwd{QString::fromStdString(dir.path().string())};
  std::unique_ptr<korsi::sim::GaugeSimulator> gauge;
  std::optional<korsi::ProcessObjects> objects;
  std::unique_ptr<korsi::Windows> windows;
};

TEST_F(GaugeCommands, FindDeviceShowsThePortAndTheArchiveSizeAndOffersTheReadCommands) {
  startGauge(3);
  openWindows(kGaugePort);
  EXPECT_FALSE(enabled("ToolButton12"));
  EXPECT_FALSE(enabled("N16"));

  // While the found box is up, the search still holds the commands and the
  // status bar still says what the user asked for; the box is closed here,
  // once that has been seen.
  std::vector<korsi::test::SeenBox> boxes;
  std::vector<std::string> duringBox;
  QString statusDuringBox;
  QTimer look;
  look.setInterval(std::chrono::milliseconds(1));
  QObject::connect(&look, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    duringBox = enabledCommands();
    statusDuringBox = main().statusText();
    boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->parentWidget() != nullptr});
    box->accept();
  });
  look.start();
  trigger("ToolButton4");
  waitIdle();
  look.stop();

  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Внимание");
  EXPECT_EQ(boxes[0].text, "Устройство найдено и готово к работе");
  EXPECT_EQ(boxes[0].icon, QMessageBox::NoIcon);
  EXPECT_EQ(duringBox, (std::vector<std::string>{"Excel1"}));
  EXPECT_EQ(statusDuringBox, "Поиск устройства");

  EXPECT_EQ(main().statusText(), "Устройство найдено на порту COM200");
  EXPECT_EQ(main().windowTitle(), "Всего найдено 3 измерений");
  EXPECT_EQ(enabledCommands(), (std::vector<std::string>{"ToolButton1", "N8", "ToolButton4", "N2", "ToolButton12",
                                                         "N16", "N22", "N23", "Excel1"}));
  EXPECT_EQ(objects->config().getInt("default_comport"), kGaugePort);
  EXPECT_TRUE(objects->commPort().isActive());
  EXPECT_FALSE(windows->ProgressForm->isVisible());
  const auto lines = logged();
  EXPECT_EQ(count(lines, "ERR Поток поиска уничтожен"), 1);
}

TEST_F(GaugeCommands, NothingFoundKeepsTheReadCommandsAwayAndThePortClosed) {
  openWindows(7);  // no gauge anywhere
  trigger("N2");
  waitIdle();
  EXPECT_EQ(main().statusText(), "Устройство не найдено");
  EXPECT_FALSE(enabled("ToolButton12"));
  EXPECT_FALSE(enabled("N16"));
  EXPECT_TRUE(enabled("N2"));
  EXPECT_FALSE(objects->commPort().isActive());
  EXPECT_EQ(objects->config().getInt("default_comport"), 7);
  // Numbers without a device pass silently.
  for (const std::string& line : logged()) {
    EXPECT_EQ(line.rfind("ERR Can't open", 0), std::string::npos) << line;
  }
}

TEST_F(GaugeCommands, WholeArchiveFillsTheGridAndGivesTheCommandsBack) {
  startGauge(3);
  openWindows();
  findGauge();
  std::vector<int> progressSeen;
  QObject::connect(windows->ProgressForm->ProgressBar1, &QProgressBar::valueChanged,
                   [&](int value) { progressSeen.push_back(value); });
  trigger("N17");
  waitIdle();
  EXPECT_EQ(rowNumbers(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(progressSeen.back(), 100);
  EXPECT_FALSE(windows->ProgressForm->isVisible());
  EXPECT_TRUE(main().grid()->isVisible());
  EXPECT_EQ(enabledCommands(), (std::vector<std::string>{"ToolButton1", "N8", "ToolButton2", "N6", "ToolButton4",
                                                         "N2", "ToolButton12", "N16", "N22", "N23", "Excel1"}));
  EXPECT_EQ(count(logged(), "INF Количество измерений: 3"), 1);
}

// The search gives the read commands back before it asks the archive size
// for the title; a read chosen in that moment waits for the search to end
// instead of talking to the gauge at the same time.
TEST_F(GaugeCommands, AReadChosenAsSoonAsTheSearchGivesTheCommandsBackWaitsForIt) {
  startGauge(3);
  openWindows();
  korsi::test::BoxCloser closer;
  bool readChosenWhileSearching = false;
  QTimer look;
  look.setInterval(std::chrono::milliseconds(0));
  QObject::connect(&look, &QTimer::timeout, [&] {
    if (!enabled("ToolButton12")) return;
    look.stop();
    readChosenWhileSearching = objects->workers().search()->isRunning();
    trigger("A");
  });
  look.start();
  trigger("N2");
  ASSERT_TRUE(korsi::test::processUntil([&] { return !look.isActive() && workersIdle(); }));
  EXPECT_TRUE(readChosenWhileSearching);
  EXPECT_EQ(rowNumbers(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(main().windowTitle(), "Всего найдено 3 измерений");
  // No exchange was disturbed: the only ERR lines are the search's own start and end.
  for (const std::string& line : logged()) {
    if (line.rfind("ERR", 0) != 0) continue;
    EXPECT_TRUE(line == "ERR Поток поиска запущен" || line == "ERR Поток поиска уничтожен") << line;
  }
}

TEST_F(GaugeCommands, RangeAndOneMeasurementReadWhatTheDialogsSayAndTheReadButtonRepeatsTheLastKind) {
  startGauge(10);
  openWindows();
  findGauge();
  struct Case {
    const char* command;
    QString from, to;  // the number dialog uses `from` alone
    std::vector<int> rows;
  };
  const Case cases[] = {
      {"N18", "5", "7", {5, 6, 7}},
      {"B", "7", "5", {5}},
      {"N19", "4", "", {4}},
      {"C", "0", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    if (std::string(c.command) == "N18" || std::string(c.command) == "B") {
      answerRange(c.from, c.to);
    } else {
      answerNumber(c.from);
    }
    trigger(c.command);
    waitIdle();
    EXPECT_EQ(rowNumbers(), c.rows);
  }
  EXPECT_EQ(count(logged(), "ERR Номер измерения равен нулю"), 1);

  // The read button repeats the last kind: the number dialog comes again.
  bool numberDialogShown = false;
  answerWhenShown(*windows->NumForm1, [&] {
    numberDialogShown = true;
    windows->NumForm1->Edit1->setText("abc");
    windows->NumForm1->accept();
  });
  trigger("ToolButton12");
  waitIdle();
  EXPECT_TRUE(numberDialogShown);
  EXPECT_EQ(count(logged(), "ERR Ошибка входных данных"), 1);

  // A cancelled range dialog still makes the read button ask for a range.
  answerWhenShown(*windows->RangeForm1, [&] { windows->RangeForm1->reject(); });
  trigger("N18");
  bool rangeDialogShown = false;
  answerWhenShown(*windows->RangeForm1, [&] {
    rangeDialogShown = true;
    windows->RangeForm1->reject();
  });
  trigger("ToolButton12");
  EXPECT_TRUE(rangeDialogShown);
}

TEST_F(GaugeCommands, CancelInTheMiddleKeepsTheRowsSoFarAndAddsNoMore) {
  korsi::sim::GaugeFaults slow;
  slow.delay = std::chrono::milliseconds(20);
  startGauge(50, slow);
  openWindows();
  findGauge();
  trigger("N17");
  ASSERT_TRUE(korsi::test::processUntil([&] { return windows->ArchTable->rowCount() >= 3; }));
  // While it reads, the search, the read commands and everything that would
  // change the table are away; Save is back since rows have come.
  EXPECT_TRUE(windows->ProgressForm->isVisible());
  EXPECT_EQ(enabledCommands(), (std::vector<std::string>{"ToolButton2", "N6", "Excel1"}));
  windows->ProgressForm->Button1->click();
  const std::size_t rowsAtCancel = windows->ArchTable->rowCount();
  const std::size_t logAtCancel = logged().size();
  waitIdle();
  // Let anything a stopped worker might still hand over arrive.
  korsi::test::processUntil([] { return false; }, 200);
  EXPECT_EQ(windows->ArchTable->rowCount(), rowsAtCancel);
  EXPECT_LT(rowsAtCancel, 50u);
  EXPECT_EQ(logged().size(), logAtCancel);
  const auto lines = logged();
  const std::vector<std::string> tail(lines.end() - 3, lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"ERR Нажата кнопка отмена", "ERR DeviceFoundThread terminate",
                                            "ERR ReadMeashsThread terminate"}));
  EXPECT_FALSE(windows->ProgressForm->isVisible());
  // Open and the read commands are back; Save came back with the first row.
  EXPECT_EQ(enabledCommands(), (std::vector<std::string>{"ToolButton1", "N8", "ToolButton2", "N6", "ToolButton4",
                                                         "N2", "ToolButton12", "N16", "N22", "N23", "Excel1"}));

  // A new read after Cancel starts from a clean table and completes.
  answerNumber("7");
  trigger("N19");
  waitIdle();
  EXPECT_EQ(rowNumbers(), (std::vector<int>{7}));
}

TEST_F(GaugeCommands, ALostConnectionKeepsTheRowsTellsTheUserAndNeedsANewSearch) {
  korsi::sim::GaugeFaults faults;
  faults.silentAfter = 1 + 1 + 4;  // echo, archive size after the search, size, three rows
  startGauge(10, faults);
  openWindows();
  findGauge();
  korsi::test::BoxCloser closer;
  trigger("A");
  waitIdle();
  korsi::test::processUntil([&] { return !closer.boxes.empty(); }, 2000);
  EXPECT_EQ(rowNumbers(), (std::vector<int>{1, 2, 3}));
  ASSERT_EQ(closer.boxes.size(), 1u);
  EXPECT_EQ(closer.boxes[0].title, "Ошибка");
  EXPECT_EQ(closer.boxes[0].text, "Сбой при передаче данных. Попробуйте перезапустить программу.");
  EXPECT_EQ(closer.boxes[0].icon, QMessageBox::Critical);
  EXPECT_FALSE(enabled("ToolButton12"));
  EXPECT_FALSE(enabled("N16"));
  EXPECT_TRUE(enabled("ToolButton2"));
  EXPECT_EQ(count(logged(), "ERR Connection lost"), 1);
}

// The gauge of the test, replaced by one with other faults on a new device
// (the same device path cannot be had again), with the port opened on it as
// a search would leave it.
struct WholeArchiveCase {
  const char* name;
  void (*faults)(korsi::sim::GaugeFaults&);
  std::string boxTitle;
  std::string boxText;
  QMessageBox::Icon icon;
  std::vector<std::string> lines;  // logged, each once at least
};

void PrintTo(const WholeArchiveCase& c, std::ostream* out) { *out << c.name; }

class WholeArchiveWithoutMeasurements : public GaugeCommands,
                                        public ::testing::WithParamInterface<WholeArchiveCase> {
 protected:
  void replaceGauge(korsi::sim::GaugeFaults faults) {
    gauge->stop();
    korsi::sim::SimulatorConfig config;
    config.archive = korsi::sim::generateArchive(3, 3);
    config.faults = faults;
    startGauge(std::move(config));
    objects->commPort().setActive(false);
    korsi::PortResolver resolver;
    resolver.setPath(kGaugePort, gauge->devicePath());
    objects->commPort().setPortResolver(resolver);
    objects->commPort().setPortNumber(kGaugePort);
    objects->commPort().setActive(true);
  }
};

// The archive size is asked by the reading, under its progress window: a
// gauge that gives no size, or says it holds nothing, leaves the rows on
// show as they are and says why in a box; silence is never an empty archive.
TEST_P(WholeArchiveWithoutMeasurements, KeepsTheRowsAndSaysWhy) {
  startGauge(3);
  openWindows();
  findGauge();
  trigger("N17");
  waitIdle();
  ASSERT_EQ(rowNumbers(), (std::vector<int>{1, 2, 3}));
  korsi::sim::GaugeFaults faults;
  GetParam().faults(faults);
  replaceGauge(faults);

  korsi::test::BoxCloser closer;
  trigger("N17");
  // The question is the reading's, under its progress window.
  EXPECT_TRUE(korsi::test::processUntil([&] { return windows->ProgressForm->isVisible(); }));
  waitIdle();
  korsi::test::processUntil([&] { return !closer.boxes.empty(); }, 2000);
  ASSERT_EQ(closer.boxes.size(), 1u);
  EXPECT_EQ(closer.boxes[0].title.toStdString(), GetParam().boxTitle);
  EXPECT_EQ(closer.boxes[0].text.toStdString(), GetParam().boxText);
  EXPECT_EQ(closer.boxes[0].icon, GetParam().icon);
  EXPECT_EQ(rowNumbers(), (std::vector<int>{1, 2, 3}));
  EXPECT_FALSE(windows->ProgressForm->isVisible());
  for (const std::string& line : GetParam().lines) EXPECT_GE(count(logged(), line), 1) << line;
  // The read commands stay: the gauge answers the search, and may be asked again.
  EXPECT_EQ(enabledCommands(), (std::vector<std::string>{"ToolButton1", "N8", "ToolButton2", "N6", "ToolButton4",
                                                         "N2", "ToolButton12", "N16", "N22", "N23", "Excel1"}));
}

INSTANTIATE_TEST_SUITE_P(
    Gauges, WholeArchiveWithoutMeasurements,
    ::testing::Values(
        WholeArchiveCase{"KeepsFaulting", [](korsi::sim::GaugeFaults& f) { f.crcFaultRate = 1.0; }, "Ошибка",
                         "Сбой при передаче данных. Попробуйте перезапустить программу.", QMessageBox::Critical,
                         {"ERR error code = -4"}},
        WholeArchiveCase{"Silent", [](korsi::sim::GaugeFaults& f) { f.silentAfter = 0; }, "Ошибка",
                         "Сбой при передаче данных. Попробуйте перезапустить программу.", QMessageBox::Critical,
                         {"ERR error code = -6"}},
        WholeArchiveCase{"HoldsNothing", [](korsi::sim::GaugeFaults& f) { f.archiveSize = 0; }, "Внимание",
                         "В приборе нет измерений", QMessageBox::NoIcon,
                         {"INF Количество измерений: 0", "ERR Номер измерения равен нулю"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Cancel while the size is still being asked ends the reading there: no
// row, no box, the commands back and the table as it was.
TEST_F(GaugeCommands, CancelWhileTheArchiveSizeIsAskedEndsTheReading) {
  korsi::sim::GaugeFaults faults;
  faults.silentAfter = 2;  // the search's echo and its archive size
  startGauge(3, faults);
  openWindows();
  findGauge();
  const auto sizeAsked = [&] { return gauge->counters().requestsSeen >= 3; };
  korsi::test::BoxCloser closer;
  trigger("N17");
  ASSERT_TRUE(korsi::test::processUntil(sizeAsked));
  ASSERT_TRUE(windows->ProgressForm->isVisible());
  windows->ProgressForm->Button1->click();
  waitIdle();
  korsi::test::processUntil([] { return false; }, 200);
  EXPECT_TRUE(closer.boxes.empty());
  EXPECT_TRUE(rowNumbers().empty());
  EXPECT_LT(gauge->counters().requestsSeen, 2u + korsi::kArchiveSizeTries);
  EXPECT_EQ(enabledCommands(), (std::vector<std::string>{"ToolButton1", "N8", "ToolButton4", "N2", "ToolButton12",
                                                         "N16", "N22", "N23", "Excel1"}));
}

// Answers the file dialog whenever one comes up with path, counting them.
class FileDialogAnswer {
 public:
  explicit FileDialogAnswer(QString path) : path_(std::move(path)) {
    timer_.setInterval(std::chrono::milliseconds(2));
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      ++shown;
      dialog->selectFile(path_);
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own accept takes the chosen file
    });
    timer_.start();
  }
  int shown = 0;

 private:
  QString path_;
  QTimer timer_;
};

// A click on a toolbar button that waits in the event queue, as one made
// while the window thread was busy.
void queueClick(QWidget* button) {
  const QPointF at = QRectF(button->rect()).center();
  const QPointF global = button->mapToGlobal(at);
  QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                      Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                      Qt::NoButton, Qt::NoModifier));
}

struct TableCommandCase {
  const char* name;
  // Asks for the whole archive and, around it, for a command on the table.
  void (*act)(GaugeCommands&);
};

void PrintTo(const TableCommandCase& c, std::ostream* out) { *out << c.name; }

class TableCommandsDuringARead : public GaugeCommands, public ::testing::WithParamInterface<TableCommandCase> {
 public:
  using GaugeCommands::main;
  using GaugeCommands::trigger;
  void untilRows(std::size_t n) {
    ASSERT_TRUE(korsi::test::processUntil([&] { return windows->ArchTable->rowCount() >= n; }));
  }
};

// From the moment a read is asked for until it ends, the table is the
// reading's: a file opened, a table cleared or a job opened in between would
// mix other rows with the gauge's, or lose them. Such a command is away, and
// a click queued before the read took the table is refused, not run late.
TEST_P(TableCommandsDuringARead, NeitherMixesNorLosesTheGaugesRows) {
  korsi::sim::GaugeFaults slow;
  slow.delay = std::chrono::milliseconds(5);
  startGauge(12, slow);
  openWindows();
  findGauge();
  const std::string other = dir.file("other.ks");
  ASSERT_EQ(korsi::recordset::writeDataFile(
                other, {ArchiveRow{101, DateTime{2009, 3, 9, 0, 0, 0}, 0.5, std::nullopt},
                        ArchiveRow{102, DateTime{2009, 3, 9, 0, 0, 1}, 0.6, std::nullopt}}),
            "");
  FileDialogAnswer answer(QString::fromStdString(other));
  korsi::test::BoxCloser closer;

  GetParam().act(*this);
  waitIdle();
  korsi::test::processUntil([] { return false; }, 200);  // anything still queued runs now

  EXPECT_EQ(rowNumbers(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(answer.shown, 0);
  EXPECT_FALSE(main().tableLocked());
  EXPECT_TRUE(enabled("ToolButton1"));
  EXPECT_TRUE(enabled("OpenJobItem"));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, TableCommandsDuringARead,
    ::testing::Values(
        TableCommandCase{"OpenClickedJustBeforeTheReadTookTheTable",
                         [](GaugeCommands& t) {
                           auto& self = static_cast<TableCommandsDuringARead&>(t);
                           queueClick(self.main().ToolBar->widgetForAction(self.main().command("ToolButton1")));
                           self.trigger("N17");
                         }},
        TableCommandCase{"OpenChosenWhileTheSizeIsAsked",
                         [](GaugeCommands& t) {
                           auto& self = static_cast<TableCommandsDuringARead&>(t);
                           self.trigger("N17");
                           self.trigger("N8");
                         }},
        TableCommandCase{"OpenClickedDuringTheRead",
                         [](GaugeCommands& t) {
                           auto& self = static_cast<TableCommandsDuringARead&>(t);
                           self.trigger("N17");
                           self.untilRows(2);
                           queueClick(self.main().ToolBar->widgetForAction(self.main().command("ToolButton1")));
                         }},
        TableCommandCase{"ClearChosenDuringTheRead",
                         [](GaugeCommands& t) {
                           auto& self = static_cast<TableCommandsDuringARead&>(t);
                           self.trigger("N17");
                           self.untilRows(2);
                           self.trigger("N23");
                           self.trigger("N22");
                         }},
        TableCommandCase{"JobOpenedDuringTheRead",
                         [](GaugeCommands& t) {
                           auto& self = static_cast<TableCommandsDuringARead&>(t);
                           self.trigger("N17");
                           self.untilRows(2);
                           self.trigger("OpenJobItem");
                         }}),
    [](const auto& info) { return std::string(info.param.name); });

// The inspection window neither takes the table's readings into the job
// nor opens a job while a reading fills the table.
TEST_F(GaugeCommands, TheInspectionWindowWaitsForTheReadingToEnd) {
  korsi::sim::GaugeFaults slow;
  slow.delay = std::chrono::milliseconds(5);
  startGauge(12, slow);
  openWindows();
  findGauge();
  korsi::InspectionWindow& inspection = windows->showInspection();
  QPushButton* take = inspection.JobPanel->TakeReadingsButton;
  QPushButton* open = inspection.JobPanel->OpenJobButton;
  EXPECT_TRUE(take->isEnabled());
  trigger("N17");
  EXPECT_FALSE(take->isEnabled());
  EXPECT_FALSE(open->isEnabled());
  waitIdle();
  EXPECT_TRUE(take->isEnabled());
  EXPECT_TRUE(open->isEnabled());
}

// The read button clicked again (or the read chosen from its menu) before the
// first read's worker has taken the commands away: one read, the table
// cleared once, and a note typed into the rows as they come is kept.
TEST_F(GaugeCommands, AReadChosenAgainBeforeTheFirstHasTakenTheCommandsDoesNothing) {
  korsi::sim::GaugeFaults slow;
  slow.delay = std::chrono::milliseconds(5);
  startGauge(5, slow);
  openWindows();
  findGauge();
  const std::uint64_t requestsBefore = gauge->counters().requestsSeen;

  trigger("ToolButton12");
  trigger("ToolButton12");
  trigger("A");
  trigger("N17");
  ASSERT_TRUE(korsi::test::processUntil([&] { return windows->ArchTable->rowCount() >= 1; }));
  ASSERT_TRUE(windows->ArchTable->setNote(0, "стык 1"));
  waitIdle();
  korsi::test::processUntil([] { return false; }, 200);  // anything still queued runs now

  EXPECT_EQ(rowNumbers(), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(windows->ArchTable->row(0).prim, std::optional<std::string>("стык 1"));
  // The archive size once, then each measurement once.
  EXPECT_EQ(gauge->counters().requestsSeen - requestsBefore, 1u + 5u);
  EXPECT_EQ(count(logged(), "INF Количество измерений: 5"), 1);
  EXPECT_EQ(enabledCommands(), (std::vector<std::string>{"ToolButton1", "N8", "ToolButton2", "N6", "ToolButton4",
                                                         "N2", "ToolButton12", "N16", "N22", "N23", "Excel1"}));
}

// After Cancel the stopped worker may still be in its exchange, and the
// search waits for it. A read chosen during that wait does not run, neither
// then nor after the search, which finds no gauge and closes the port.
TEST_F(GaugeCommands, AReadChosenWhileTheSearchWaitsForACancelledWorkerDoesNotRun) {
  startGauge(3);
  openWindows();
  findGauge();
  trigger("A");
  waitIdle();
  ASSERT_EQ(rowNumbers(), (std::vector<int>{1, 2, 3}));

  // A cancelled reading still inside its exchange until the test lets it go.
  auto cancelled = std::make_shared<korsi::test::TestWorker>(std::function<void()>{}, true);
  objects->workers().setReading(cancelled);
  objects->workers().stopReading();
  gauge->stop();  // the gauge is gone: the search will not find it

  korsi::test::BoxCloser closer;
  bool readAvailableDuringWait = true;
  QTimer duringWait;
  duringWait.setSingleShot(true);
  duringWait.setInterval(std::chrono::milliseconds(20));
  QObject::connect(&duringWait, &QTimer::timeout, [&] {
    readAvailableDuringWait = enabled("ToolButton12") || enabled("N16") || enabled("N2");
    trigger("A");
    trigger("N17");
    trigger("ToolButton12");
    trigger("N2");
    cancelled->leaveExchange();
  });
  duringWait.start();
  trigger("N2");
  EXPECT_FALSE(duringWait.isActive());  // the search did wait
  waitIdle();
  korsi::test::processUntil([] { return false; }, 200);

  EXPECT_FALSE(readAvailableDuringWait);
  EXPECT_EQ(rowNumbers(), (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(closer.boxes.empty());
  EXPECT_EQ(main().statusText(), "Устройство не найдено");
  EXPECT_FALSE(objects->commPort().isActive());
  EXPECT_FALSE(enabled("ToolButton12"));
  EXPECT_FALSE(enabled("N16"));
  EXPECT_TRUE(enabled("N2"));
  EXPECT_EQ(count(logged(), "ERR Поток поиска запущен"), 2);  // the first search and this one only
}

}  // namespace
