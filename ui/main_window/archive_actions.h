#pragma once
// The main window's commands on the archive table: "Очистить таблицу" (N23),
// "Удалить строку" (N22), "Сохранить" (N6, ToolButton2) and "Открыть" (N8,
// ToolButton1), the grid bound to the table with its own editing
// (ui/main_window/archive_grid_editing.h), and which of Save and export are available as
// rows come. The work itself is korsi::archive::ArchiveCommands;
// this joins it to the window's actions, dialogs and message boxes.

#include <QObject>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "storage/archive/archive_commands.h"
#include "storage/archive/archive_store.h"

class QWidget;

namespace korsi {

namespace ui {
class ArchiveTableModel;
}

class GridEditing;
class TMainForm;

// The two file dialogs, each a function that shows its dialog and returns the
// chosen name (nothing when cancelled). Tests answer them without a dialog.
struct FileDialogs {
  archive::ArchiveCommands::AskFileName save;  // SaveDialog1
  archive::ArchiveCommands::AskFileName open;  // OpenDialog1
};

// The program's file dialogs `SaveDialog1` and `OpenDialog1` over `parent`:
// the data files' filters, default extension ".ks", initial name "*.ks".
FileDialogs programFileDialogs(QWidget* parent);

// Opens the archive table as the program starts: provides the backup copy
// when the working directory has none, then opens the database (with the
// restore from the backup and its message when that fails). Throws
// archive::OpenError when the table cannot be opened even after the restore.
std::unique_ptr<archive::ArchiveStore> openArchiveAtStartup(const archive::StorePaths& paths = {});

class ArchiveActions : public QObject {
  Q_OBJECT

 public:
  // Binds the grid of `window` to `table` and connects the commands. The
  // table and the window must outlive this object.
  ArchiveActions(archive::ArchiveStore& table, TMainForm& window, FileDialogs dialogs);
  ~ArchiveActions() override;
  ArchiveActions(const ArchiveActions&) = delete;
  ArchiveActions& operator=(const ArchiveActions&) = delete;

  ui::ArchiveTableModel& model() noexcept { return *model_; }
  const archive::ArchiveCommands& commands() const noexcept { return commands_; }

  // Adds a measurement read from the gauge ("Ошибка insert" in the log when
  // it cannot be added); afterwards, whether or not it was added, a table
  // that holds rows makes Save available and shows the grid.
  bool addMeasurement(std::int32_t num, std::string_view dateText, double h);

  // The commands, as their menu items and buttons run them. Clear, delete
  // row and load are refused while the table is locked for a reading.
  void clearTable();
  void deleteRow();
  void save();
  void load();
  // A reading begins: the table is emptied for its rows.
  void clearForReading();

 private:
  void offerSaveWhenRows();
  void setCurrentRow(std::optional<std::size_t> row);
  static void showError(const archive::CommandError& error);

  archive::ArchiveStore& table_;
  TMainForm& window_;
  FileDialogs dialogs_;
  archive::ArchiveCommands commands_;
  std::unique_ptr<ui::ArchiveTableModel> model_;
  std::unique_ptr<GridEditing> editing_;
};

}  // namespace korsi
