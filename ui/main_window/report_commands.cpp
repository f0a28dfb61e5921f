#include "ui/main_window/report_commands.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPdfWriter>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

#include "services/error_box.h"
#include "ui/dialogs/busy_cursor.h"
#include "ui/dialogs/error_message.h"
#include "ui/main_window/main_window.h"
#include "ui/report/archive_report.h"
#include "ui/dialogs/dialog_fit.h"

namespace korsi {

QString printFailedText(const QString& printer) {
  return QStringLiteral("Не удалось напечатать отчёт на принтере «%1».").arg(printer);
}

QString pdfFailedText(const QString& fileName, const QString& reason) {
  return QStringLiteral("Не удалось сохранить отчёт в файл «%1».\n%2").arg(fileName, reason);
}

TRepForm::Printing TRepForm::systemPrinting(QWidget* owner) {
  QPointer<QWidget> parent(owner);
  return Printing{
      [] { return QPrinterInfo::defaultPrinterName(); },
      [parent]() -> std::optional<QString> {
        QFileDialog dialog(parent, QString(), QString(), QString::fromUtf8(kPdfDialogQtFilter));
        dialog.setObjectName(QStringLiteral("PdfDialog"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("pdf"));
        dialog.selectFile(QStringLiteral("*.pdf"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().front();
      },
  };
}

TRepForm::TRepForm(const archive::ArchiveStore& table, TMainForm& window)
    : TRepForm(table, window, systemPrinting(&window)) {}

TRepForm::TRepForm(const archive::ArchiveStore& table, TMainForm& window, Printing printing)
    : table_(table), window_(window), printing_(std::move(printing)) {
  setObjectName(QStringLiteral("RepForm"));
  for (const char* name : {"N14", "PreviewButton"}) {
    connect(window_.command(name), &QAction::triggered, this, &TRepForm::preview);
  }
  for (const char* name : {"N15", "PrintButton"}) {
    connect(window_.command(name), &QAction::triggered, this, &TRepForm::print);
  }
}

void TRepForm::prepare(QPrinter& printer) const {
  printer.setDocName(QString::fromUtf8(report::kArchiveReportTitle));
  report::setUpReportPage(printer);
  printer.setCopyCount(1);
  printer.setPrintRange(QPrinter::AllPages);
  printer.setDuplex(QPrinter::DuplexNone);
  printer.setPaperSource(QPrinter::Auto);
}

void TRepForm::preview() {
  QPrinter printer(QPrinter::HighResolution);
  prepare(printer);
  QPrintPreviewDialog dialog(&printer, &window_);
  dialog.setObjectName(QStringLiteral("PreviewDialog"));
  dialog.setWindowTitle(QString::fromUtf8(report::kArchiveReportTitle));
  // A page is read at a size near its own, as in the main window's space.
  dialog.setWindowState(dialog.windowState() | Qt::WindowMaximized);
  connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* pages) {
    const BusyCursor busy;
    report::renderArchiveReport(*pages, table_.rows());
  });
  dialog.exec();
}

void TRepForm::print() {
  const QString name = printing_.defaultPrinter();
  if (name.isEmpty()) {
    offerPdf();
    return;
  }
  QPrinter printer(QPrinterInfo::printerInfo(name), QPrinter::HighResolution);
  prepare(printer);
  bool printed = false;
  {
    const BusyCursor busy;
    printed = report::renderArchiveReport(printer, table_.rows());
  }
  if (!printed) showErrorMessage(printFailedText(name));
}

void TRepForm::offerPdf() {
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kPrintCaption), QString::fromUtf8(kNoPrinterText),
                  QMessageBox::Yes | QMessageBox::No);
  fitTitle(box);
  if (box.exec() != QMessageBox::Yes) return;
  const std::optional<QString> path = printing_.askPdfFile();
  if (!path) return;
  if (const QString reason = savePdf(*path); !reason.isEmpty()) showErrorMessage(pdfFailedText(*path, reason));
}

QString TRepForm::savePdf(const QString& path) {
  const BusyCursor busy;
  // Written beside the file and renamed to it once whole.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  {
    QPdfWriter pdf(&file);
    pdf.setTitle(QString::fromUtf8(report::kArchiveReportTitle));
    pdf.setCreator(QStringLiteral("КОРСИ-7"));
    pdf.setResolution(1200);
    report::setUpReportPage(pdf);
    if (!report::renderArchiveReport(pdf, table_.rows())) {
      file.cancelWriting();
      return QStringLiteral("Отчёт не удалось построить");
    }
  }
  if (!file.commit()) return file.errorString();
  return {};
}

}  // namespace korsi
