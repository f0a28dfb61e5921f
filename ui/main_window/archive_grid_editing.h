#pragma once
// The grid's own editing of the archive table, beside the window's commands:
// a typed value that is refused shows why in a box "Ошибка" (the cell keeps
// its value); Ctrl+Delete asks and deletes the selected rows (or the current
// one); Insert, or Down on the last row, adds a new row at the end, which
// reaches the table once one of its cells is changed and is dropped while
// still unfilled when the user moves off it or leaves the grid. Neither
// deleting nor adding a row is done while a reading has the table locked.

#include <QObject>
#include <QString>
#include <cstddef>
#include <set>
#include <vector>

#include "storage/archive/archive_commands.h"

namespace korsi {

namespace ui {
class ArchiveTableModel;
}

class TMainForm;

inline constexpr const char* kConfirmCaption = "Подтверждение";
inline constexpr const char* kConfirmDeleteRow = "Удалить запись?";
// "%1" is the number of rows.
inline constexpr const char* kConfirmDeleteRows = "Удалить выбранные записи (%1)?";

class GridEditing : public QObject {
  Q_OBJECT

 public:
  // The table, the model shown in the window's grid and the window must
  // outlive this object.
  GridEditing(archive::ArchiveStore& table, ui::ArchiveTableModel& model, TMainForm& window);

  // Ctrl+Delete.
  void deleteSelectedRows();
  // Insert, or Down on the last row: the grid's cursor goes to the new row.
  void addNewRow();

 private:
  // The selected rows, or the current one when none is selected.
  std::set<int> chosenRows() const;
  bool confirmDelete(std::size_t count);
  void dropNewRowUnlessCurrent();
  void showError(const QString& text);

  archive::ArchiveStore& table_;
  ui::ArchiveTableModel& model_;
  TMainForm& window_;
  archive::ArchiveCommands commands_;
};

}  // namespace korsi
