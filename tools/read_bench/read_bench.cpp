// Measures a whole-archive read as the window does it: the reading worker
// against the simulated gauge on a pseudo-terminal, each measurement handed
// over to the window thread, added to the real SQLite archive table and shown
// by the grid of the real main window. Prints
//  1. the mean time per measurement beside the 32 ms floor of the master's
//     fixed waits (30 ms, then two 1 ms silence sleeps) and their ratio;
//  2. the longest time the window thread was kept from its events during the
//     read (a 1 ms timer that notes how late each of its ticks comes).
//
// With --fast the master takes each reply as soon as it is whole; the floor
// is then the wire time of a measurement's request and reply at 115200 bit/s.
//
// Then, with the program's own windows and commands (command_blocks.h), the
// longest time the window thread was kept from its events during a search
// and during "Весь архив" on a noisy line (target at most 100 ms each);
// --read-only leaves this out, --commands-only does only this.
//
//   korsi7-read-bench [--fast] [--read-only | --commands-only] [measurements]      (default 500)
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "instrument/read_meashs_thread.h"
#include "link/comm_port.h"
#include "link/modbus_master.h"
#include "link/port_resolver.h"
#include "storage/archive/archive_schema.h"
#include "storage/archive/archive_store.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"
#include "ui/main_window/archive_actions.h"
#include "ui/main_window/main_window.h"
#include "ui/dialogs/progress_window.h"
#include "ui/main_window/window_view.h"
#include "ui/main_window/worker_hand_over.h"
#include "instrument/worker.h"
#include "tools/read_bench/command_blocks.h"

namespace {

constexpr int kPort = 7;
constexpr double kFixedFloorMs = 32.0;

// The whole-archive read through the window's path; 0 when every
// measurement arrived.
int measureRead(bool fast, int count) {
  // Request and reply: 8 + 18 bytes of 10 bits each.
  const double floorMs = fast ? (8 + 18) * 10 * 1000.0 / 115200.0 : kFixedFloorMs;

  // A working folder of its own with a fresh archive database.
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("korsi7-read-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  korsi::archive::StorePaths paths{(folder / "korsi7.mdb").string(), (folder / "korsi7.mdb.backup").string()};
  if (const std::string error = korsi::archive::provideBackup(paths.backup); !error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::filesystem::copy_file(paths.backup, paths.database);

  korsi::sim::SimulatorConfig config;
  config.archive = korsi::sim::generateArchive(static_cast<std::size_t>(count), 1);
  korsi::sim::GaugeSimulator gauge(config);
  gauge.start();
  korsi::PortResolver resolver;
  resolver.setPath(kPort, gauge.devicePath());
  TCommPort port(resolver);
  Modbus::MBSlave slave(port);
  Modbus::MBMaster master(port);
  master.setFastExchange(fast);
  port.setPortNumber(kPort);
  port.setActive(true);

  int status = 0;
  {
    std::unique_ptr<korsi::archive::ArchiveStore> table = korsi::archive::ArchiveStore::openAtStartup(paths);
    korsi::CurrentWorkers workers;
    korsi::TMainForm window;
    korsi::ArchiveActions archive(*table, window, {});
    korsi::TProgressForm progress(workers, window);
    korsi::WindowView view(window, progress, archive, {});
    if (!qEnvironmentVariableIsSet("BENCH_HIDDEN")) window.show();

    // How late the window thread answers a 1 ms timer while the read runs.
    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      longestGapMs = std::max(longestGapMs, sinceTick.restart());
    });

    QElapsedTimer elapsed;
    elapsed.start();
    sinceTick.start();
    tick.start();
    auto worker =
        korsi::ReadMeashsThread::start(master, korsi::ReadRange::of(1, count), view, korsi::QtHandOver::make());
    workers.setReading(worker);
    while (worker->isRunning()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QCoreApplication::processEvents();
    tick.stop();
    const double totalMs = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;

    const std::size_t rows = table->rowCount();
    const double perMeasurement = totalMs / count;
    std::printf("measurements read:      %zu of %d (rows in the table and the grid: %d)\n", rows, count,
                window.grid()->model()->rowCount());
    std::printf("time per measurement:   %.2f ms (floor %.2f ms%s, ratio %.3f; target <= %s)\n", perMeasurement,
                floorMs, fast ? " of wire time, fast exchange" : "", perMeasurement / floorMs, fast ? "1.25" : "1.03");
    std::printf("whole read:             %.2f s\n", totalMs / 1000.0);
    std::printf("window thread blocked:  at most %lld ms (target < 50 ms)\n", static_cast<long long>(longestGapMs));
    if (rows != static_cast<std::size_t>(count)) status = 1;
  }
  port.setActive(false);
  gauge.stop();
  std::filesystem::remove_all(folder);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  bool fast = false;
  bool read = true;
  bool commands = true;
  int count = 500;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--fast") {
      fast = true;
    } else if (a == "--read-only") {
      commands = false;
    } else if (a == "--commands-only") {
      read = false;
    } else {
      count = std::atoi(argv[i]);
    }
  }
  if (count <= 0 || count > 65535 || (!read && !commands)) {
    std::fprintf(stderr, "usage: %s [--fast] [--read-only | --commands-only] [measurements 1-65535]\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  int status = 0;
  if (read) status = measureRead(fast, count);
  if (commands && !korsi::bench::measureCommandBlocks()) status = 1;
  return status;
}
