#include "ui/main_routine.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <exception>
#include <optional>

#include "services/error_box.h"
#include "ui/company_archive/company_archive_commands.h"
#include "ui/dialogs/about_window.h"
#include "ui/application.h"
#include "ui/main_window/archive_actions.h"
#include "ui/main_window/device_commands.h"
#include "ui/dialogs/help_window.h"
#include "ui/inspection/inspection_job_panel.h"
#include "ui/inspection/inspection_window.h"
#include "ui/main_window/main_window.h"
#include "ui/dialogs/number_dialog.h"
#include "ui/dialogs/progress_window.h"
#include "ui/dialogs/range_dialog.h"
#include "ui/main_window/report_commands.h"
#include "ui/main_window/spreadsheet_export.h"
#include "ui/main_window/worker_wait.h"

namespace korsi {

namespace {
template <class Window>
std::unique_ptr<Window> made(std::unique_ptr<Window> window, const Windows::Created& created) {
  if (created) created(*window);
  return window;
}
}  // namespace

Windows::Windows(ProcessObjects& objects, const Created& created, const ConverterDriverRoots& driverRoots) {
  Form1 = made(std::make_unique<TForm1>(), created);
  ArchTable = openArchiveAtStartup();
  MainForm = made(std::make_unique<TMainForm>(), created);
  Archive = std::make_unique<ArchiveActions>(*ArchTable, *MainForm, programFileDialogs(MainForm.get()));
  Export = std::make_unique<SpreadsheetExport>(*ArchTable, *MainForm, programExportDialog(MainForm.get()));
  ProgressForm = made(std::make_unique<TProgressForm>(objects.workers(), *MainForm, MainForm.get()), created);
  RangeForm1 = made(std::make_unique<TRangeForm1>(MainForm.get()), created);
  NumForm1 = made(std::make_unique<TNumForm1>(MainForm.get()), created);
  RepForm = made(std::make_unique<TRepForm>(*ArchTable, *MainForm), created);
  Form2 = made(std::make_unique<TForm2>(MainForm.get()), created);
  Device = std::make_unique<DeviceCommands>(
      objects, DeviceCommands::Windows{*MainForm, *ProgressForm, *RangeForm1, *NumForm1, *Archive},
      makeConverterDriver(PortResolver::fromConfig(objects.config()), driverRoots),
      [](int exitStatus) { QCoreApplication::exit(exitStatus); });
  CompanyArchive = makeCompanyArchiveCommands(objects.config(), *MainForm, [this]() -> std::optional<job::InspectionJob> {
    if (!Inspection) return std::nullopt;
    return Inspection->JobPanel->jobForPublishing();
  });
  Form1->setNextWindow(MainForm.get());
  connectCommands();
}

// The dialogs are children of the main window and go before it; the table's
// commands go before the window, the table after it. The company archive's
// commands go first, waiting for a call to the server under way.
Windows::~Windows() { CompanyArchive.reset(); }

HelpWindow& Windows::showHelp() {
  if (!Help) Help = std::make_unique<HelpWindow>(MainForm.get());
  Help->showHelp();
  return *Help;
}

InspectionWindow& Windows::showInspection() {
  if (!Inspection) Inspection = std::make_unique<InspectionWindow>(*ArchTable, *MainForm, MainForm.get());
  Inspection->showInspection();
  return *Inspection;
}

void Windows::connectCommands() {
  TForm2* about = Form2.get();
  QObject::connect(MainForm->command("N5"), &QAction::triggered, about, [about] { about->exec(); });
  QObject::connect(MainForm->command("N20"), &QAction::triggered, MainForm.get(), [this] { showHelp(); });
  QObject::connect(MainForm->command("InspectionItem"), &QAction::triggered, MainForm.get(),
                   [this] { showInspection(); });
  QObject::connect(MainForm->command("OpenJobItem"), &QAction::triggered, MainForm.get(), [this] {
    // Refused while a reading has the table, as the window's own button is.
    if (MainForm->tableLocked()) return;
    showInspection().JobPanel->askAndOpenJob();
  });
  QObject::connect(MainForm->command("SaveJobItem"), &QAction::triggered, MainForm.get(),
                   [this] { showInspection().JobPanel->askAndSaveJob(); });

  TForm1* splash = Form1.get();
  auto exit = [splash] {
    QCoreApplication::quit();
    splash->close();
  };
  QObject::connect(MainForm->command("N10"), &QAction::triggered, splash, exit);
  QObject::connect(MainForm->command("ToolButton10"), &QAction::triggered, splash, exit);
}

int mainRoutine(KorsiApplication& app, const StartOptions& options) {
  std::optional<ProcessObjects> objects;
  try {
    objects.emplace(ProcessObjects::Options{options.configPath, options.stages, options.temporaryPort});
  } catch (const ConfigException& error) {
    // The file's own failures have shown their message; a missing key has not.
    if (error.code() == ConfigException::kParameterNotFound) {
      showErrorBox("В файле конфига нет параметра log_file");
    }
    return kStartFailed;
  } catch (const std::exception&) {
    return kStartFailed;  // the log, or the refusal of a second copy, has shown its message
  }

  // A log that cannot be written is told once, in a box that never makes
  // the thread of the statement wait for the user.
  objects->log().setFailureReport([](const std::string& text) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), [text] { showErrorBox(text); }, Qt::QueuedConnection);
  });

  app.setTitle(QString::fromUtf8(kApplicationTitle));
  app.setHelpFile(QDir::current().filePath(QString::fromUtf8(kHelpFileName)));

  int status = 0;
  try {
    Windows windows(*objects, options.windowCreated, options.driverRoots);
    windows.Form1->setSplashTime(options.splashTime);
    windows.Form1->show();
    status = QApplication::exec();
    finishWorkers(objects->workers());
  } catch (const std::exception& error) {
    app.showException(QString::fromUtf8(error.what()));
  } catch (...) {
    app.showException(QString());
  }
  return status;
}

}  // namespace korsi
