// Shows each window of the program in turn and saves a picture of the whole
// screen for each, for a person to look at (scripts/screenshots.sh runs it on
// a virtual X display). Usage: korsi7_screens <output folder>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QEventLoop>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "storage/archive/archive_schema.h"
#include "services/error_box.h"
#include "storage/recordset/date_time.h"
#include "ui/company_archive/company_archive_commands.h"
#include "ui/dialogs/splash_window.h"
#include "ui/dialogs/about_window.h"
#include "instrument/read_meashs_thread.h"
#include "ui/application.h"
#include "ui/main_window/archive_actions.h"
#include "ui/main_window/archive_grid_editing.h"
#include "ui/dialogs/dialog_fit.h"
#include "ui/dialogs/help_window.h"
#include "ui/inspection/area_dialog.h"
#include "ui/inspection/inspection_job_panel.h"
#include "ui/inspection/inspection_window.h"
#include "ui/main_window/main_window.h"
#include "ui/main_routine.h"
#include "ui/dialogs/number_dialog.h"
#include "ui/dialogs/progress_window.h"
#include "ui/dialogs/range_dialog.h"

namespace {

QString folder;

void settle(int ms = 400) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void shoot(const char* name) {
  settle();
  const QString path = QDir(folder).filePath(QString::fromUtf8(name) + QStringLiteral(".png"));
  QGuiApplication::primaryScreen()->grabWindow(0).save(path);
  std::cout << path.toStdString() << '\n';
}

void openMenu(QMenuBar* bar, const char* objectName) {
  auto* menu = bar->findChild<QMenu*>(QString::fromUtf8(objectName));
  bar->setActiveAction(menu->menuAction());
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Windows' own file dialogs are not Qt widgets: this tool could neither
  // find nor close them, so it shows Qt's dialogs there instead.
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
#endif
  korsi::KorsiApplication app(argc, argv);
  korsi::installMessageBoxHook();
  korsi::loadQtTranslations(app);
  folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();

  QTemporaryDir work;
  QDir::setCurrent(work.path());
  std::ofstream(korsi::kConfigFileName) << "log_file korsi7.log\ndefault_comport 1\n";
  korsi::archive::createArchiveDatabase(korsi::archive::kDatabaseFileName);
  korsi::ProcessObjects objects;
  app.setTitle(QString::fromUtf8(korsi::kApplicationTitle));
  korsi::Windows w(objects);

  w.Form1->Timer1->setInterval(std::chrono::hours(1));
  w.Form1->show();
  shoot("01_splash");
  w.Form1->hide();

  w.MainForm->show();
  shoot("02_main");
  openMenu(w.MainForm->MainMenu, "FileMenu");
  shoot("03_menu_file");
  w.MainForm->MainMenu->setActiveAction(nullptr);
  openMenu(w.MainForm->MainMenu, "ServiceMenu");
  settle(200);
  auto* service = w.MainForm->MainMenu->findChild<QMenu*>(QStringLiteral("ServiceMenu"));
  w.MainForm->command("N16")->setEnabled(true);
  service->setActiveAction(w.MainForm->command("N16"));
  w.MainForm->MainMenu->findChild<QMenu*>(QStringLiteral("N16"))->popup(
      service->mapToGlobal(service->actionGeometry(w.MainForm->command("N16")).topRight()));
  shoot("04_menu_service");
  QApplication::activePopupWidget()->close();
  while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  openMenu(w.MainForm->MainMenu, "AboutMenu");
  shoot("05_menu_about");
  while (QWidget* popup = QApplication::activePopupWidget()) popup->close();

  w.MainForm->command("ToolButton12")->setEnabled(true);
  w.MainForm->PopupMenu->popup(
      w.MainForm->ToolButton12->mapToGlobal(QPoint(0, w.MainForm->ToolButton12->height())));
  shoot("06_read_button_menu");
  while (QWidget* popup = QApplication::activePopupWidget()) popup->close();

  for (int i = 1; i <= 12; ++i) {
    // The seventh was taken at midnight, which the grid shows as the date alone.
    const int hour = i == 7 ? 0 : 6;
    const int minute = i == 7 ? 0 : 10 + i;
    const int second = i == 7 ? 0 : 5;
    w.Archive->addMeasurement(i, korsi::measurementDateText(9, 3, 9, hour, minute, second), 0.1 + i * 0.013);
  }
  w.ArchTable->setNote(2, "крыло слева");
  w.MainForm->setStatusText(QStringLiteral("Устройство найдено на порту COM5"));
  w.MainForm->setWindowTitle(QStringLiteral("Всего найдено 12 измерений"));
  QToolTip::showText(w.MainForm->ToolButton12->mapToGlobal(QPoint(8, 20)),
                     w.MainForm->command("ToolButton12")->toolTip(), w.MainForm->ToolButton12);
  shoot("07_main_rows");
  QToolTip::hideText();

  QTableView* grid = w.MainForm->grid();
  const QModelIndex note = grid->model()->index(4, 3);
  grid->setFocus();
  grid->setCurrentIndex(note);
  grid->edit(note);
  if (auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(note))) editor->insert(QStringLiteral("под краской"));
  shoot("07b_note_editor");
  w.MainForm->commitGridEdit();
  grid->setCurrentIndex(grid->model()->index(5, 3));

  // The file dialogs, shot while they wait for the user and then cancelled.
  const auto shootDialog = [&](const char* command, const char* name) {
    QTimer::singleShot(0, [name] {
      shoot(name);
      if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
    });
    w.MainForm->command(command)->trigger();
  };
  shootDialog("N6", "07c_save_dialog");
  shootDialog("N8", "07d_open_dialog");
  shootDialog("Excel1", "07e_export_dialog");
  // The report's preview, with a note longer than its box, which the report cuts.
  w.ArchTable->setNote(6, "длинное примечание, которое не помещается в поле отчёта и обрезается по его высоте");
  shootDialog("N14", "07f_report_preview");

  w.ProgressForm->showProgress();
  w.ProgressForm->setProgress(42);
  shoot("08_progress");
  // While a reading fills the table: the commands that would change it are away.
  w.MainForm->setTableLocked(true);
  openMenu(w.MainForm->MainMenu, "FileMenu");
  shoot("08b_reading_file_menu");
  while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  w.MainForm->setTableLocked(false);
  w.ProgressForm->closeIfShowing();
  {
    QMessageBox empty(QMessageBox::NoIcon, QString::fromUtf8(korsi::kNoMeasurementsCaption),
                      QString::fromUtf8(korsi::kNoMeasurementsText), QMessageBox::Ok);
    korsi::fitTitle(empty);
    empty.show();
    shoot("08c_no_measurements");
  }

  w.RangeForm1->show();
  shoot("09_range");
  w.RangeForm1->hide();
  w.NumForm1->show();
  shoot("10_number");
  // A number no measurement can have: OK says so and the dialog stays.
  w.NumForm1->Edit1->setText(QStringLiteral("70000"));
  QTimer::singleShot(0, [] {
    shoot("10b_number_refused");
    if (auto* refusal = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) refusal->accept();
  });
  w.NumForm1->accept();
  w.NumForm1->Edit1->setText(QStringLiteral("1"));
  w.NumForm1->hide();
  w.Form2->show();
  shoot("11_about");
  w.Form2->hide();
  w.MainForm->command("N20")->trigger();
  shoot("11b_help");
  w.Help->Text->scrollToAnchor(QStringLiteral("ports"));
  shoot("11c_help_ports");
  w.Help->Text->scrollToAnchor(QStringLiteral("job"));
  shoot("11c_help_job");
  w.Help->close();

  // An inspection of a deck: readings spread about 135 µm, two thin spots
  // and one too thick, against NDFT 120 µm and a maximum of 360 µm.
  for (int i = 13; i <= 80; ++i) {
    const double spread = ((i * 37) % 41 - 20) * 0.0011 + ((i * 11) % 7 - 3) * 0.0015;
    const double h = i == 30 || i == 55 ? 0.091 + i * 0.0001 : i == 70 ? 0.392 : 0.135 + spread;
    w.Archive->addMeasurement(i, korsi::measurementDateText(10, 12, 26, 9, i % 60, 5), h);
  }
  w.MainForm->setWindowTitle(QStringLiteral("Всего найдено 80 измерений"));
  w.MainForm->resize(1280, 780);  // as maximised, also without a window manager
  w.MainForm->command("InspectionItem")->trigger();
  w.Inspection->move(240, 40);
  w.Inspection->resize(900, 720);
  // Before NDFT: the statistics and the histogram at once, no verdict.
  shoot("11c_inspection_before_ndft");
  w.Inspection->NdftEdit->setText(QStringLiteral("120"));
  // A maximum typed with its unit is refused where it is typed.
  w.Inspection->MaximumEdit->setText(QStringLiteral("360 мкм"));
  w.Inspection->updateNow();
  shoot("11c_inspection_no_number");
  w.Inspection->MaximumEdit->setText(QStringLiteral("360"));
  grid->scrollTo(grid->model()->index(29, 0));
  shoot("11d_inspection");
  w.Inspection->RuleBox->setCurrentIndex(1);
  w.Inspection->UnitBox->setCurrentIndex(1);
  w.Inspection->RoughnessBox->setCurrentIndex(1);
  shoot("11e_inspection_pspc_mils");
  // SSPC-PA 2 level 3 against a minimum of 120 µm and a maximum of 360 µm.
  w.Inspection->UnitBox->setCurrentIndex(0);
  w.Inspection->RoughnessBox->setCurrentIndex(0);
  w.Inspection->RuleBox->setCurrentIndex(2);
  w.Inspection->updateNow();
  shoot("11g_inspection_sspc");
  const QString sspcRecord = QDir(folder).filePath(QStringLiteral("11h_inspection_record_sspc.pdf"));
  if (w.Inspection->saveRecordPdf(sspcRecord).isEmpty()) std::cout << sspcRecord.toStdString() << '\n';
  // The printed record, for a person to look at beside the pictures.
  w.Inspection->RuleBox->setCurrentIndex(0);
  w.Inspection->UnitBox->setCurrentIndex(0);
  w.Inspection->RoughnessBox->setCurrentIndex(0);
  w.Inspection->updateNow();
  const QString record = QDir(folder).filePath(QStringLiteral("11f_inspection_record.pdf"));
  if (w.Inspection->saveRecordPdf(record).isEmpty()) std::cout << record.toStdString() << '\n';
  // The deck's job: three areas, the hatch by SSPC-PA 2 of its own.
  korsi::job::JobHeader texts;
  texts.object = "Баржа 12, палуба и борт";
  texts.inspector = "Иванов И. И.";
  w.Inspection->JobPanel->setHeaderTexts(texts);
  const auto area = [](const char* name, const char* numbers, std::optional<double> surface) {
    return korsi::job::JobArea{name, surface ? std::optional(korsi::inspection::squareMetresSurface(*surface)) : std::nullopt,
                               korsi::job::parseNumberRanges(numbers).ranges, {}, {}};
  };
  w.Inspection->JobPanel->addArea(area("Палуба", "13-40", 25.0));
  w.Inspection->JobPanel->addArea(area("Борт", "41-60", std::nullopt));
  korsi::job::JobArea hatch = area("Люк", "61-80", 8.0);
  hatch.overrides.rule = korsi::job::JobRule::SspcPa2;
  w.Inspection->JobPanel->addArea(hatch);
  // The tank by IMO PSPC on a complex surface of 3 m²: 15 readings needed.
  korsi::job::JobArea tank = area("Танк", "1-12", 3.0);
  tank.overrides.rule = korsi::job::JobRule::Pspc9010;
  tank.kind = korsi::inspection::SurfaceKind::Complex;
  w.Inspection->JobPanel->addArea(tank);
  w.Inspection->updateNow();
  w.Inspection->Pages->setCurrentWidget(w.Inspection->JobPanel);
  shoot("11i_inspection_job");
  const QString jobReport = QDir(folder).filePath(QStringLiteral("11j_job_report.pdf"));
  if (w.Inspection->JobPanel->saveReportPdf(jobReport).isEmpty()) std::cout << jobReport.toStdString() << '\n';
  {
    korsi::AreaDialog dialog(w.Inspection->JobPanel->job().areas[1],
                             {w.Inspection->JobPanel->job().areas[0], w.Inspection->JobPanel->job().areas[2]},
                             korsi::job::JobUnit::Micrometre, w.Inspection.get());
    dialog.NumbersEdit->setText(QStringLiteral("41-62"));
    dialog.show();
    dialog.move(500, 200);
    dialog.ProblemLabel->setText(dialog.problem());
    shoot("11k_area_dialog");
  }
  {
    // A new area of a job in mils: its surface in square feet.
    korsi::AreaDialog dialog({"Зона 5", std::nullopt, {}, {}, {}}, {}, korsi::job::JobUnit::Mil, w.Inspection.get());
    dialog.NumbersEdit->setText(QStringLiteral("81-95"));
    dialog.SurfaceEdit->setText(QStringLiteral("1050"));
    dialog.MaximumEdit->setText(QStringLiteral("12,5,3"));
    dialog.show();
    dialog.move(500, 200);
    dialog.ProblemLabel->setText(dialog.problem());
    shoot("11l_area_dialog_mils");
  }
  w.Inspection->Pages->setCurrentIndex(0);
  // Closing with the job not saved asks first; the picture, then "Не сохранять".
  QTimer::singleShot(500, [] {
    shoot("11m_unsaved_job_question");
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      box->button(QMessageBox::Discard)->click();
    }
  });
  w.Inspection->close();

  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(korsi::kErrorCaption),
                  QStringLiteral("Не могу открыть файл конфига на чтение"), QMessageBox::Ok);
  korsi::fitTitle(box);
  box.show();
  shoot("12_error_box");
  box.hide();
  QMessageBox question(QMessageBox::Question, QStringLiteral("Подтверждение"), QStringLiteral("Удалить запись?"),
                       QMessageBox::Ok | QMessageBox::Cancel);
  question.show();
  shoot("13_standard_buttons");
  question.hide();
  // The grid's delete question (Ctrl+Delete), as wide as its title needs.
  QMessageBox confirm(QMessageBox::Question, QString::fromUtf8(korsi::kConfirmCaption),
                      QString::fromUtf8(korsi::kConfirmDeleteRow), QMessageBox::Yes | QMessageBox::No);
  confirm.setDefaultButton(QMessageBox::No);
  korsi::fitTitle(confirm);
  confirm.show();
  shoot("14_confirm_delete");
  confirm.hide();

  // The company archive, when KORSI7_SCREENS_ARCHIVE names a kestro.conf
  // whose company_archive line reaches a server with jobs on it.
  if (const char* archiveConfig = std::getenv("KORSI7_SCREENS_ARCHIVE")) {
    korsi::Config config(archiveConfig, korsi::ConfigWriteBack::OnRequest);
    if (auto archive = korsi::makeCompanyArchiveCommands(config, *w.MainForm, {})) {
      openMenu(w.MainForm->MainMenu, "FileMenu");
      shoot("15_menu_file_archive");
      w.MainForm->MainMenu->setActiveAction(nullptr);
      QWidget* window = archive->showWindow();
      while (archive->busy()) settle(100);
      if (window != nullptr) window->move(40, 40);
      shoot("16_company_archive");
      archive.reset();
    }
  }
  return 0;
}
