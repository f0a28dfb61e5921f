#pragma once
// "&Экспорт в Excel" (Excel1): writes the archive table to a spreadsheet
// workbook (.xlsx) at the name chosen in the save dialog `SaveDialog2`, with
// the grid's column titles in the first row (storage/export/archive_workbook.h).
// An empty table is refused with "Нет данных для экспорта"; a failed write
// shows the file and the reason under "Ошибка" and leaves no file behind.
// Afterwards the grid stands on the first row.

#include <QObject>

#include "storage/archive/archive_commands.h"
#include "storage/archive/archive_store.h"

class QWidget;

namespace korsi {

class TMainForm;

inline constexpr const char* kNoExportDataText = "Нет данных для экспорта";
// The dialog's filter in the designer's form and as Qt takes it. The
// workbook is .xlsx: under an .xls name Excel would refuse or warn.
inline constexpr const char* kExportDialogFilter = "Файлы Excel(*.xlsx)|*.xlsx|All files(*.*)|*.*";
inline constexpr const char* kExportDialogQtFilter = "Файлы Excel(*.xlsx);;All files(*.*)";
inline constexpr const char* kExportDefaultSuffix = "xlsx";
inline constexpr const char* kExportInitialFileName = "*.xlsx";

// The box text of a failed export: the file's name, then the reason.
QString exportFailedText(const QString& fileName, const QString& reason);

// The program's `SaveDialog2` over `parent`.
archive::ArchiveCommands::AskFileName programExportDialog(QWidget* parent);

class SpreadsheetExport : public QObject {
  Q_OBJECT

 public:
  // Connects the export command of `window`. The table and the window must
  // outlive this object.
  SpreadsheetExport(const archive::ArchiveStore& table, TMainForm& window,
                    archive::ArchiveCommands::AskFileName askFileName);

  // The command, as its menu item runs it.
  void exportTable();

 private:
  const archive::ArchiveStore& table_;
  TMainForm& window_;
  archive::ArchiveCommands::AskFileName askFileName_;
};

}  // namespace korsi
