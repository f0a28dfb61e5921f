#include "ui/device_commands.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <optional>

#include "app/process_objects.h"
#include "instrument/archive_size.h"
#include "instrument/converter_driver.h"
#include "instrument/device_found_thread.h"
#include "instrument/read_meashs_thread.h"
#include "services/error_box.h"
#include "services/logs.h"
#include "ui/archive_actions.h"
#include "ui/main_window.h"
#include "ui/number_dialog.h"
#include "ui/range_dialog.h"
#include "ui/worker_hand_over.h"
#include "ui/worker_wait.h"

namespace korsi {

namespace {

// A dialog's number, as the user typed it; nothing when it is not an integer.
std::optional<std::int32_t> numberIn(const QLineEdit& edit) {
  bool ok = false;
  const int value = edit.text().trimmed().toInt(&ok, 10);
  if (!ok) return std::nullopt;
  return value;
}

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

void DeviceCommands::findDevice() {
  // A cancelled worker may still be inside its exchange; the port is its
  // until it has left.
  waitForIdleWorkers(objects_.workers());
  windows_.window.setStatusText(QStringLiteral("Поиск устройства"));
  SearchLink link{objects_.commPort(), objects_.modbusMaster(), objects_.config(), *driver_};
  objects_.workers().setSearch(DeviceFoundThread::start(link, view_, QtHandOver::make()));
}

void DeviceCommands::wholeArchive() {
  readState_ = ReadState::WholeArchive;
  waitForIdleWorkers(objects_.workers());
  objects_.commPort().purgeInput();
  objects_.commPort().purgeOutput();
  std::optional<std::uint16_t> count;
  {
    // At most ten exchanges of some 50 ms each: short, but the user sees it.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    count = askArchiveSize(objects_.modbusMaster());
    QApplication::restoreOverrideCursor();
  }
  if (!count) {
    showErrorBox(kTransferFailedText);
    return;
  }
  startRead(1, *count);
}

void DeviceCommands::range() {
  readState_ = ReadState::Range;
  if (windows_.range.exec() != QDialog::Accepted) return;
  const auto to = numberIn(*windows_.range.Edit2);
  const auto from = numberIn(*windows_.range.Edit1);
  if (!to || !from) {
    LOG_ERR(kInputErrorLog);
    return;
  }
  startRead(*from, *to);
}

void DeviceCommands::oneMeasurement() {
  readState_ = ReadState::OneMeasurement;
  if (windows_.number.exec() != QDialog::Accepted) return;
  const auto n = numberIn(*windows_.number.Edit1);
  if (!n) {
    LOG_ERR(kInputErrorLog);
    return;
  }
  startRead(*n, *n);
}

void DeviceCommands::repeatRead() {
  switch (readState_) {
    case ReadState::WholeArchive: wholeArchive(); break;
    case ReadState::Range: range(); break;
    case ReadState::OneMeasurement: oneMeasurement(); break;
  }
}

void DeviceCommands::startRead(std::int32_t a, std::int32_t b) {
  waitForIdleWorkers(objects_.workers());
  windows_.archive.clearTable();
  objects_.workers().setReading(
      ReadMeashsThread::start(objects_.modbusMaster(), ReadRange::of(a, b), view_, QtHandOver::make()));
}

}  // namespace korsi
