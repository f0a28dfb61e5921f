#include "ui/main_window/archive_grid_view.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

namespace korsi {

void ArchiveGridView::keyPressEvent(QKeyEvent* event) {
  // Keys of the number pad count as the same keys.
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (event->key() == Qt::Key_Delete && modifiers == Qt::ControlModifier) {
    emit deleteRowsRequested();
    return;
  }
  if (event->key() == Qt::Key_Insert && modifiers == Qt::NoModifier) {
    emit newRowRequested();
    return;
  }
  if (event->key() == Qt::Key_Down && modifiers == Qt::NoModifier && model() != nullptr &&
      currentIndex().isValid() && currentIndex().row() == model()->rowCount() - 1) {
    emit newRowRequested();
    return;
  }
  QTableView::keyPressEvent(event);
}

void ArchiveGridView::focusOutEvent(QFocusEvent* event) {
  QTableView::focusOutEvent(event);
  // A message box or another program takes the focus only for a while.
  if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
  tellWhenFocusLeft();
}

void ArchiveGridView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  // An editor that closes because the focus went elsewhere gives the grid no
  // focus to lose.
  QTableView::closeEditor(editor, hint);
  if (!hasFocus()) tellWhenFocusLeft();
}

void ArchiveGridView::tellWhenFocusLeft() {
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr || focus == this || isAncestorOf(focus) || focus->window() != window()) return;
  emit focusLeft();
}

}  // namespace korsi
