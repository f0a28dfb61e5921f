#pragma once
// The report form `RepForm`: the printed report of the archive table
// (ui/report/archive_report.h) behind the commands "Предварительный
// просмотр" (N14, PreviewButton) and "Печать" (N15, PrintButton). Never
// shown as a window itself.
//
// Preview shows the pages in Qt's print preview dialog "Просмотр данных
// архива", from which the user prints or saves a PDF. Print sends the report
// straight to the default printer as the job "Просмотр данных архива",
// without a dialog; when there is no printer the user is told so and may
// save the report as a PDF file instead.

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "storage/archive/archive_store.h"

class QPrinter;

namespace korsi {

class TMainForm;

inline constexpr const char* kPrintCaption = "Печать";
inline constexpr const char* kNoPrinterText =
    "Принтер не установлен, поэтому отчёт нельзя напечатать.\nСохранить отчёт в файл PDF?";
inline constexpr const char* kPdfDialogQtFilter = "Файлы PDF(*.pdf);;All files(*.*)";

QString printFailedText(const QString& printer);
QString pdfFailedText(const QString& fileName, const QString& reason);

class TRepForm : public QWidget {
  Q_OBJECT

 public:
  // What printing asks of the system, so that tests can answer it.
  struct Printing {
    // The default printer's name; empty when there is no printer.
    std::function<QString()> defaultPrinter;
    // Asks where to save the report as PDF; nothing when cancelled.
    std::function<std::optional<QString>()> askPdfFile;
  };
  // The system's default printer and the PDF save dialog over `owner`.
  static Printing systemPrinting(QWidget* owner);

  // Connects the preview and print commands of `window`, which owns the
  // dialogs. The table and the window must outlive this form.
  TRepForm(const archive::ArchiveStore& table, TMainForm& window);
  TRepForm(const archive::ArchiveStore& table, TMainForm& window, Printing printing);

  void preview();
  void print();
  // Writes the report to a PDF file, whole or not at all (an existing file
  // stays as it was). Returns why it failed, or an empty text.
  QString savePdf(const QString& path);

 private:
  void offerPdf();
  void prepare(QPrinter& printer) const;

  const archive::ArchiveStore& table_;
  TMainForm& window_;
  Printing printing_;
};

}  // namespace korsi
