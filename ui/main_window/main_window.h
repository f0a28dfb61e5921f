#pragma once
// The main window: menus, toolbar, the grid of measurements and the status
// bar. Every menu item and toolbar button is a QAction named by its designer
// name (N8, ToolButton1, A, ...); a menu item and the toolbar button of the
// same command are separate actions, since their enabled states can differ.
// The commands' work is connected to these actions from outside. The window
// uses the desktop's own font; the small fixed-layout windows use 11 pixels.

#include <QMainWindow>
#include <QString>
#include <map>
#include <span>
#include <string>
#include <string_view>

#include "ui/main_window/archive_grid_view.h"

class QAbstractItemModel;
class QLabel;
class QMenu;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace korsi {

class ArchiveGridModel;
class CellDelegate;

class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // The menu item or toolbar button with this designer name, or nullptr.
  QAction* command(std::string_view name) const;
  void setCommandsEnabled(std::span<const std::string_view> names, bool enabled);

  // While a reading fills the archive table the table is locked: the
  // commands that replace or change it (open, delete row, clear table, open
  // a job) are away, and one that comes all the same is refused by its
  // handler. Unlocking gives them back. Other windows follow tableLockChanged.
  void setTableLocked(bool locked);
  bool tableLocked() const noexcept { return tableLocked_; }

  // Panel 0 of the status bar.
  QString statusText() const;
  void setStatusText(const QString& text);

  // Shows a model of the archive table in the grid. Its columns are num,
  // date, h and Prim in this order; the grid gives them their titles, widths
  // and centred cells, and appears once the model holds a row.
  void setArchiveModel(QAbstractItemModel* model);
  ArchiveGridView* grid() const noexcept { return MainDBGrid; }
  // The grid's own view of the model: titles, alignment and row marks.
  ArchiveGridModel* gridModel() const noexcept { return gridModel_; }
  // Shows the grid (loading a file shows it even when the file holds no row).
  void showGrid();
  // A column's width: as designed, or wide enough for its title; the note
  // column gives up what the other titles take, so the row keeps its
  // designed overall width.
  int gridColumnWidth(std::size_t column) const;
  // Stores what is being typed into a cell of the grid, if anything (before
  // the table is written to a file). The editor stays open.
  void commitGridEdit();

  QMenuBar* const MainMenu;
  QToolBar* const ToolBar;
  QMenu* const PopupMenu;  // the read button's drop-down: A, B, C
  QToolButton* ToolButton12 = nullptr;
  QStatusBar* const StatusBar;
  QStatusBar* const StatusBar2;  // never shown
  ArchiveGridView* const MainDBGrid;

 signals:
  void tableLockChanged(bool locked);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* addCommand(const char* name, const QString& text);
  QAction* addMenuItem(QMenu* menu, const char* name, const QString& text);
  QAction* addToolButton(const char* name, const QString& hint);
  void buildMenus();
  void buildToolBar();
  void buildGrid();
  void showGridWhenRows();

  std::map<std::string, QAction*, std::less<>> commands_;
  QLabel* statusPanel_ = nullptr;
  ArchiveGridModel* gridModel_ = nullptr;
  CellDelegate* cellDelegate_ = nullptr;
  bool tableLocked_ = false;
};

}  // namespace korsi
