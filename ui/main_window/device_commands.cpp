#include "ui/main_window/device_commands.h"

#include <QAction>
#include <QLineEdit>
#include <QMessageBox>
#include <algorithm>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "app/process_objects.h"
#include "instrument/converter_driver.h"
#include "instrument/device_found_thread.h"
#include "instrument/read_meashs_thread.h"
#include "services/logs.h"
#include "ui/main_window/archive_actions.h"
#include "ui/main_window/command_groups.h"
#include "ui/main_window/main_window.h"
#include "ui/dialogs/number_dialog.h"
#include "ui/dialogs/progress_window.h"
#include "ui/dialogs/range_dialog.h"
#include "ui/main_window/worker_hand_over.h"
#include "ui/main_window/worker_wait.h"

namespace korsi {

namespace {

// A dialog's number, as the user typed it; nothing when it is not an integer.
std::optional<std::int32_t> numberIn(const QLineEdit& edit) {
  bool ok = false;
  const int value = edit.text().trimmed().toInt(&ok, 10);
  if (!ok) return std::nullopt;
  return value;
}

// The commands that use the port: the search and the read commands (the read
// button, and the menu that holds "Весь архив", "Диапазон измерений" and
// "Одно измерение"; the button's own menu goes with the button).
constexpr std::string_view kPortCommands[] = {"ToolButton4", "N2", "ToolButton12", "N16"};
constexpr std::string_view kSearchCommands[] = {"ToolButton4", "N2"};
constexpr std::string_view kReadCommands[] = {"ToolButton12", "N16"};

bool enabled(const TMainForm& window, std::string_view name) {
  const QAction* action = window.command(name);
  return action != nullptr && action->isEnabled();
}

bool allEnabled(const TMainForm& window, std::span<const std::string_view> names) {
  return std::all_of(names.begin(), names.end(), [&](std::string_view name) { return enabled(window, name); });
}

// Takes commands away for as long as a command waits for workers or shows
// its dialog, so that no second command starts in the meantime: the port
// commands, or for a read everything a reading takes (and the table, locked
// from the moment the read is asked for, so that a click on Open or Clear
// queued behind the command finds them away). What it took comes back when
// it ends, unless a worker has started: the worker's own end, or Cancel,
// gives it back then.
class CommandsHold {
 public:
  CommandsHold(TMainForm& window, std::span<const std::string_view> names, bool lockTable = false)
      : window_(window), lockedTable_(lockTable && !window.tableLocked()) {
    for (std::string_view name : names) {
      if (enabled(window_, name)) taken_.push_back(name);
    }
    window_.setCommandsEnabled(taken_, false);
    if (lockedTable_) window_.setTableLocked(true);
  }
  ~CommandsHold() {
    if (workerStarted_) return;
    window_.setCommandsEnabled(taken_, true);
    if (lockedTable_) window_.setTableLocked(false);
  }
  CommandsHold(const CommandsHold&) = delete;
  CommandsHold& operator=(const CommandsHold&) = delete;

  void workerStarted() noexcept { workerStarted_ = true; }

 private:
  TMainForm& window_;
  std::vector<std::string_view> taken_;
  bool lockedTable_;
  bool workerStarted_ = false;
};

}  // namespace

DeviceCommands::DeviceCommands(ProcessObjects& objects, Windows windows, std::unique_ptr<ConverterDriver> driver,
                               WindowView::EndProgram endProgram)
    : objects_(objects),
      windows_(windows),
      driver_(std::move(driver)),
      view_(windows.window, windows.progress, windows.archive, std::move(endProgram)) {
  TMainForm& w = windows_.window;
  for (const char* name : {"N2", "ToolButton4"}) {
    connect(w.command(name), &QAction::triggered, this, &DeviceCommands::findDevice);
  }
  for (const char* name : {"N17", "A"}) {
    connect(w.command(name), &QAction::triggered, this, &DeviceCommands::wholeArchive);
  }
  for (const char* name : {"N18", "B"}) {
    connect(w.command(name), &QAction::triggered, this, &DeviceCommands::range);
  }
  for (const char* name : {"N19", "C"}) {
    connect(w.command(name), &QAction::triggered, this, &DeviceCommands::oneMeasurement);
  }
  connect(w.command("ToolButton12"), &QAction::triggered, this, &DeviceCommands::repeatRead);
}

DeviceCommands::~DeviceCommands() = default;

bool DeviceCommands::searchAllowed() const { return allEnabled(windows_.window, kSearchCommands); }

bool DeviceCommands::readAllowed() const { return allEnabled(windows_.window, kReadCommands); }

void DeviceCommands::waitForWorkers() { waitForIdleWorkers(objects_.workers(), &windows_.progress); }

void DeviceCommands::findDevice() {
  // A command that came while another one waited, and that the other one
  // has made unavailable since, does nothing.
  if (!searchAllowed()) return;
  CommandsHold hold(windows_.window, kPortCommands);
  // A cancelled worker may still be inside its exchange; the port is its
  // until it has left.
  waitForWorkers();
  windows_.window.setStatusText(QStringLiteral("Поиск устройства"));
  SearchLink link{objects_.commPort(), objects_.modbusMaster(), objects_.config(), *driver_};
  objects_.workers().setSearch(DeviceFoundThread::start(link, view_, QtHandOver::make()));
  hold.workerStarted();
}

void DeviceCommands::wholeArchive() {
  if (!readAllowed()) return;
  readState_ = ReadState::WholeArchive;
  CommandsHold hold(windows_.window, commandNames(CommandGroup::Reading), true);
  waitForWorkers();
  objects_.commPort().purgeInput();
  objects_.commPort().purgeOutput();
  // The archive size is asked by the reading itself, under the progress
  // window and Cancel: this thread never waits for the gauge.
  objects_.workers().setReading(
      ReadMeashsThread::startWholeArchive(objects_.modbusMaster(), view_, QtHandOver::make()));
  hold.workerStarted();
}

void DeviceCommands::range() {
  if (!readAllowed()) return;
  readState_ = ReadState::Range;
  CommandsHold hold(windows_.window, kPortCommands);
  if (windows_.range.exec() != QDialog::Accepted) return;
  const auto to = numberIn(*windows_.range.Edit2);
  const auto from = numberIn(*windows_.range.Edit1);
  if (!to || !from) {
    LOG_ERR(kInputErrorLog);
    return;
  }
  startRead(*from, *to);
  hold.workerStarted();
}

void DeviceCommands::oneMeasurement() {
  if (!readAllowed()) return;
  readState_ = ReadState::OneMeasurement;
  CommandsHold hold(windows_.window, kPortCommands);
  if (windows_.number.exec() != QDialog::Accepted) return;
  const auto n = numberIn(*windows_.number.Edit1);
  if (!n) {
    LOG_ERR(kInputErrorLog);
    return;
  }
  startRead(*n, *n);
  hold.workerStarted();
}

void DeviceCommands::repeatRead() {
  switch (readState_) {
    case ReadState::WholeArchive: wholeArchive(); break;
    case ReadState::Range: range(); break;
    case ReadState::OneMeasurement: oneMeasurement(); break;
  }
}

void DeviceCommands::startRead(std::int32_t a, std::int32_t b) {
  CommandsHold hold(windows_.window, commandNames(CommandGroup::Reading), true);
  waitForWorkers();
  // The reading empties the table itself once it begins.
  objects_.workers().setReading(
      ReadMeashsThread::start(objects_.modbusMaster(), ReadRange::of(a, b), view_, QtHandOver::make()));
  hold.workerStarted();
}

}  // namespace korsi
