#include "tools/read_bench/command_blocks.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/process_objects.h"
#include "instrument/worker.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"
#include "storage/archive/archive_schema.h"
#include "ui/application.h"
#include "ui/main_routine.h"
#include "ui/main_window/main_window.h"
#include "ui/main_window/worker_wait.h"

namespace korsi::bench {

namespace {

constexpr int kGaugePort = 7;
// Longer than any case takes; a case that does not end by then is reported.
constexpr std::chrono::seconds kCaseLimit{120};

struct Case {
  const char* title;
  sim::GaugeFaults faults;
  bool findFirst;        // find the gauge before the measured command
  const char* command;   // the designer name of the measured command
};

// A working folder as the program's, with its archive database, the gauge
// on port 7 and every other port number naming nothing, so a search passes
// them at once; false when the database cannot be made.
bool prepareFolder(const std::filesystem::path& folder, const std::string& gaugePath) {
  std::filesystem::create_directories(folder / "sys/bus/usb-serial/drivers/ftdi_sio");
  const archive::StorePaths paths{(folder / "korsi7.mdb").string(), (folder / "korsi7.mdb.backup").string()};
  if (const std::string error = archive::provideBackup(paths.backup); !error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
  }
  std::filesystem::copy_file(paths.backup, paths.database);
  std::ofstream conf(folder / "kestro.conf");
  conf << "log_file korsi7.log\ndefault_comport " << kGaugePort << "\n";
  conf << "COM" << kGaugePort << " " << gaugePath << "\n";
  for (int n = 1; n <= 160; ++n) {
    if (n != kGaugePort) conf << "COM" << n << " " << (folder / "none").string() << "\n";
  }
  return true;
}

// Closes every message box as soon as it is up.
class BoxCloser {
 public:
  BoxCloser() {
    timer_.setInterval(std::chrono::milliseconds(5));
    QObject::connect(&timer_, &QTimer::timeout, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
    });
    timer_.start();
  }

 private:
  QTimer timer_;
};

struct Blocks {
  qint64 longestMs = 0;
  double seconds = 0;  // from the command to the end of its workers
};

// The longest time the window thread was kept from a 1 ms timer while run
// and the workers it started went on; nothing when they did not end in time.
std::optional<Blocks> longestBlock(const std::function<void()>& run, CurrentWorkers& workers) {
  QElapsedTimer sinceTick;
  qint64 longest = 0;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  tick.setInterval(1);
  QObject::connect(&tick, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
  sinceTick.start();
  tick.start();
  QTimer::singleShot(0, run);  // from the event loop, as a click runs it
  QElapsedTimer total;
  total.start();
  bool started = false;
  // The command runs in the first round; then its workers until they end.
  while (!started || workers.anyRunning()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    started = true;
    if (total.elapsed() > std::chrono::milliseconds(kCaseLimit).count()) return std::nullopt;
  }
  QCoreApplication::processEvents();
  longest = std::max(longest, sinceTick.elapsed());
  return Blocks{longest, static_cast<double>(total.elapsed()) / 1000.0};
}

bool runCase(const Case& c, const std::filesystem::path& top) {
  sim::SimulatorConfig config;
  config.archive = sim::generateArchive(100, 1);
  config.faults = c.faults;
  sim::GaugeSimulator gauge(config);
  gauge.start();
  const std::filesystem::path folder = top / (std::string(c.command) + (c.findFirst ? "-found" : "") +
                                              std::to_string(c.faults.crcFaultRate > 0));
  if (!prepareFolder(folder, gauge.devicePath())) return false;
  const QString previous = QDir::currentPath();
  QDir::setCurrent(QString::fromStdString(folder.string()));
  std::optional<Blocks> blocked;
  std::size_t rows = 0;
  bool ok = true;
  {
    BoxCloser closer;
    ProcessObjects objects;
    ConverterDriverRoots roots{(folder / "sys").string(), (folder / "no-modules").string(),
                               (folder / "no-dir").string()};
    Windows windows(objects, {}, roots);
    windows.MainForm->show();
    if (c.findFirst) {
      windows.MainForm->command("N2")->trigger();
      while (objects.workers().anyRunning()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      ok = objects.commPort().isActive();
    }
    if (ok) blocked = longestBlock([&] { windows.MainForm->command(c.command)->trigger(); }, objects.workers());
    rows = windows.ArchTable->rowCount();
    finishWorkers(objects.workers());
  }
  QDir::setCurrent(previous);
  gauge.stop();
  if (!ok) {
    std::printf("  %s: the gauge was not found first\n", c.title);
    return false;
  }
  if (!blocked) {
    std::printf("  %s: did not end within %lld s\n", c.title, static_cast<long long>(kCaseLimit.count()));
    return false;
  }
  std::printf("  %5lld ms  %s (%.1f s, %zu rows)\n", static_cast<long long>(blocked->longestMs), c.title,
              blocked->seconds, rows);
  std::fflush(stdout);
  return true;
}

}  // namespace

bool measureCommandBlocks() {
  installMessageBoxHook();
  const std::filesystem::path top =
      std::filesystem::temp_directory_path() / ("korsi7-read-bench-commands-" + std::to_string(::getpid()));
  std::filesystem::create_directories(top);
  // A faulty line: checksum faults, replies cut by a pause and stray bytes
  // after replies.
  sim::GaugeFaults faulty;
  faulty.crcFaultRate = 0.2;
  faulty.strayRate = 0.2;
  faulty.pauseMidReply = std::chrono::milliseconds(10);
  faulty.splitRate = 0.1;
  // A line that never falls silent from the start, and one that does once
  // the search has found the gauge and asked its archive size.
  sim::GaugeFaults streaming;
  streaming.streamAfter = 0;
  sim::GaugeFaults streamingAfterSearch;
  streamingAfterSearch.streamAfter = 2;
  const Case cases[] = {
      {"search, a line that never falls silent", streaming, false, "N2"},
      {"\"Весь архив\", the line never silent after the search", streamingAfterSearch, true, "N17"},
      {"\"Весь архив\" of 100 on a faulty line", faulty, true, "N17"},
  };
  std::printf("window thread blocked at most (target <= 100 ms each) while the main window's command runs:\n");
  bool ok = true;
  for (const Case& c : cases) ok = runCase(c, top) && ok;
  std::filesystem::remove_all(top);
  return ok;
}

}  // namespace korsi::bench
