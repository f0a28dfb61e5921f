#pragma once
// The main routine of the desktop program: the process-wide objects, the
// seven windows, the message loop, and the end in reverse order.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/process_objects.h"
#include "instrument/converter_driver.h"
#include "storage/archive/archive_store.h"
#include "ui/dialogs/splash_window.h"

class QWidget;

namespace korsi {

class ArchiveActions;
class CompanyArchiveCommands;
class DeviceCommands;
class HelpWindow;
class InspectionWindow;
class KorsiApplication;
class TForm1;
class TForm2;
class TMainForm;
class TNumForm1;
class TProgressForm;
class TRangeForm1;
class TRepForm;
class SpreadsheetExport;

// The program's windows, made once in this order and destroyed in reverse.
// The splash window comes first; the dialogs belong to the main window.
// Making the main window opens the archive table (restored from its backup
// when it cannot be opened; archive::OpenError when even that fails, and no
// main window is made); the table closes with the main window, while the log
// still exists.
class Windows {
 public:
  // Told after each window has been made.
  using Created = std::function<void(QWidget& window)>;

  Windows(ProcessObjects& objects, const Created& created = {}, const ConverterDriverRoots& driverRoots = {});
  ~Windows();
  Windows(const Windows&) = delete;
  Windows& operator=(const Windows&) = delete;

  std::unique_ptr<TForm1> Form1;
  std::unique_ptr<archive::ArchiveStore> ArchTable;
  std::unique_ptr<TMainForm> MainForm;
  // The grid bound to the table and the commands on it.
  std::unique_ptr<ArchiveActions> Archive;
  // "&Экспорт в Excel".
  std::unique_ptr<SpreadsheetExport> Export;
  std::unique_ptr<TProgressForm> ProgressForm;
  std::unique_ptr<TRangeForm1> RangeForm1;
  std::unique_ptr<TNumForm1> NumForm1;
  std::unique_ptr<TRepForm> RepForm;
  std::unique_ptr<TForm2> Form2;
  // Find device and the read commands.
  std::unique_ptr<DeviceCommands> Device;
  // The help window, made the first time it is asked for and then reused.
  std::unique_ptr<HelpWindow> Help;

  // The inspection window, made the first time it is asked for and then reused.
  std::unique_ptr<InspectionWindow> Inspection;
  // The company archive's commands and window; none when kestro.conf names
  // no company archive.
  std::unique_ptr<CompanyArchiveCommands> CompanyArchive;

  // Shows the help window ("Справка"), making it if needed.
  HelpWindow& showHelp();
  // Shows the window "Статистика и приёмка", making it if needed.
  InspectionWindow& showInspection();

 private:
  void connectCommands();
};

struct StartOptions {
  std::string configPath = kConfigFileName;
  std::chrono::milliseconds splashTime = kSplashTime;
  // Where the search looks for the converter's driver (tests use a fake tree).
  ConverterDriverRoots driverRoots;
  ProcessObjects::StageObserver stages;
  Windows::Created windowCreated;
  // A port mapped for this run only (the training mode's simulated gauge).
  std::optional<ProcessObjects::TemporaryPort> temporaryPort = {};
};

// Exit status when the configuration or the log cannot be made.
inline constexpr int kStartFailed = 1;

// Makes the process-wide objects (a failure has shown its message; no window
// opens and kStartFailed is returned), sets the application's title and help
// file, makes the windows, shows the splash window and runs the message loop
// until the main window is closed or Exit is chosen. Then it stops the
// workers and waits for them, destroys the windows and the process-wide
// objects in reverse, and returns 0, or -1 when the search ended the program
// because the converter's driver is not installed. An error while the
// windows are made is shown by the application's standard display and also
// ends with 0.
int mainRoutine(KorsiApplication& app, const StartOptions& options = {});

}  // namespace korsi
