#pragma once
// The grid `MainDBGrid`: a table view that also passes on the grid's own
// commands on the table, which the window's owner carries out:
// Ctrl+Delete deletes the selected rows, Insert (or Down on the last row)
// adds a new row, and leaving the grid drops a new row left unfilled.

#include <QTableView>

namespace korsi {

class ArchiveGridView : public QTableView {
  Q_OBJECT

 public:
  using QTableView::QTableView;

 signals:
  void deleteRowsRequested();
  void newRowRequested();
  // The keyboard focus went elsewhere in the window: neither to the grid's
  // own editor nor away to another window or a menu, which give it back.
  void focusLeft();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

 private:
  void tellWhenFocusLeft();
};

}  // namespace korsi
