#include "ui/main_window/archive_grid_editing.h"

#include <QItemSelectionModel>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <set>

#include "ui/archive/archive_table_model.h"
#include "ui/main_window/main_window.h"
#include "ui/dialogs/dialog_fit.h"

namespace korsi {

GridEditing::GridEditing(archive::ArchiveStore& table, ui::ArchiveTableModel& model, TMainForm& window)
    : table_(table), model_(model), window_(window), commands_(table) {
  ArchiveGridView* grid = window_.grid();
  // The box comes once the grid has closed the editor, not inside its commit.
  connect(&model_, &ui::ArchiveTableModel::editRefused, this, &GridEditing::showError, Qt::QueuedConnection);
  connect(grid, &ArchiveGridView::deleteRowsRequested, this, &GridEditing::deleteSelectedRows);
  connect(grid, &ArchiveGridView::newRowRequested, this, &GridEditing::addNewRow);
  connect(grid, &ArchiveGridView::focusLeft, &model_, &ui::ArchiveTableModel::dropNewRow);
  // Checked once the cursor has settled: removing a row while the selection
  // model moves its cursor would disturb it.
  connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this] { QTimer::singleShot(0, this, &GridEditing::dropNewRowUnlessCurrent); });
}

void GridEditing::addNewRow() {
  // A row between a reading's rows would change its table.
  if (window_.tableLocked()) return;
  // What is typed into the new row stores it first, so a further new row follows it.
  window_.commitGridEdit();
  const int row = model_.appendNewRow();
  ArchiveGridView* grid = window_.grid();
  const int column = std::max(grid->currentIndex().column(), 0);
  grid->setCurrentIndex(grid->model()->index(row, column));
}

void GridEditing::dropNewRowUnlessCurrent() {
  const auto newRow = model_.newRow();
  if (newRow && window_.grid()->currentIndex().row() != *newRow) model_.dropNewRow();
}

std::set<int> GridEditing::chosenRows() const {
  ArchiveGridView* grid = window_.grid();
  std::set<int> rows;
  for (const QModelIndex& cell : grid->selectionModel()->selectedIndexes()) rows.insert(cell.row());
  if (rows.empty() && grid->currentIndex().isValid()) rows.insert(grid->currentIndex().row());
  return rows;
}

void GridEditing::deleteSelectedRows() {
  if (window_.tableLocked()) return;
  const std::set<int> chosen = chosenRows();
  // The unfilled new row is not in the table: it goes without a question.
  if (const auto newRow = model_.newRow(); newRow && chosen.count(*newRow) != 0) model_.dropNewRow();
  std::vector<std::size_t> rows;
  for (const int row : chosen) {
    if (row >= 0 && static_cast<std::size_t>(row) < table_.rowCount()) rows.push_back(static_cast<std::size_t>(row));
  }
  if (rows.empty() || !confirmDelete(rows.size())) return;
  if (const auto error = commands_.deleteRows(rows)) {
    showError(QString::fromStdString(error->text));
    return;
  }
  ArchiveGridView* grid = window_.grid();
  grid->selectionModel()->clearSelection();
  const auto next = archive::rowAfterDelete(rows.front(), table_.rowCount());
  const int column = std::max(grid->currentIndex().column(), 0);
  grid->setCurrentIndex(next ? grid->model()->index(static_cast<int>(*next), column) : QModelIndex());
}

bool GridEditing::confirmDelete(std::size_t count) {
  const QString text = count == 1 ? QString::fromUtf8(kConfirmDeleteRow)
                                  : QString::fromUtf8(kConfirmDeleteRows).arg(static_cast<qulonglong>(count));
  QMessageBox box(QMessageBox::Question, QString::fromUtf8(kConfirmCaption), text,
                  QMessageBox::Yes | QMessageBox::No, &window_);
  // Deleted rows cannot come back: Enter alone does not delete them.
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  fitTitle(box);
  box.exec();
  return box.clickedButton() == box.button(QMessageBox::Yes);
}

void GridEditing::showError(const QString& text) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(archive::kCommandErrorCaption), text, QMessageBox::Ok,
                  &window_);
  fitTitle(box);
  box.exec();
}

}  // namespace korsi
