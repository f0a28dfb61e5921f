#include "ui/main_window/spreadsheet_export.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QPointer>
#include <QTableView>
#include <algorithm>
#include <array>

#include "services/error_box.h"
#include "ui/dialogs/busy_cursor.h"
#include "ui/dialogs/error_message.h"
#include "storage/export/archive_workbook.h"
#include "ui/main_window/main_window.h"

namespace korsi {

QString exportFailedText(const QString& fileName, const QString& reason) {
  return QStringLiteral("Не удалось сохранить таблицу в файл «%1».\n%2").arg(fileName, reason);
}

archive::ArchiveCommands::AskFileName programExportDialog(QWidget* parent) {
  QPointer<QWidget> owner(parent);
  return [owner]() -> std::optional<std::string> {
    QFileDialog dialog(owner, QString(), QString(), QString::fromUtf8(kExportDialogQtFilter));
    dialog.setObjectName(QStringLiteral("SaveDialog2"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromUtf8(kExportDefaultSuffix));
    dialog.selectFile(QString::fromUtf8(kExportInitialFileName));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return QFile::encodeName(chosen.front()).toStdString();
  };
}

SpreadsheetExport::SpreadsheetExport(const archive::ArchiveStore& table, TMainForm& window,
                                     archive::ArchiveCommands::AskFileName askFileName)
    : table_(table), window_(window), askFileName_(std::move(askFileName)) {
  for (const char* name : {"Excel1", "ToolButton13"}) {
    connect(window_.command(name), &QAction::triggered, this, &SpreadsheetExport::exportTable);
  }
}

void SpreadsheetExport::exportTable() {
  // A value being typed into a cell belongs to what is exported.
  window_.commitGridEdit();
  if (table_.empty()) {
    showErrorMessage(QString::fromUtf8(kNoExportDataText));
    return;
  }
  const std::optional<std::string> path = askFileName_();
  if (!path) return;

  QTableView* grid = window_.grid();
  std::array<std::string, 4> titles;
  for (std::size_t column = 0; column < titles.size(); ++column) {
    titles[column] =
        grid->model()->headerData(static_cast<int>(column), Qt::Horizontal, Qt::DisplayRole).toString().toStdString();
  }
  std::string reason;
  {
    const BusyCursor busy;
    reason = writeArchiveWorkbook(*path, titles, table_.rows());
  }
  if (!reason.empty()) {
    showErrorMessage(exportFailedText(QFile::decodeName(QByteArray::fromStdString(*path)), QString::fromStdString(reason)));
    return;
  }
  const int column = std::max(grid->currentIndex().column(), 0);
  grid->setCurrentIndex(grid->model()->index(0, column));
}

}  // namespace korsi
