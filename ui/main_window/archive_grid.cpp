#include "ui/main_window/archive_grid.h"

#include <QLineEdit>

namespace korsi {

QVariant ArchiveGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && section >= 0 && section < static_cast<int>(kGridColumns.size())) {
    if (role == Qt::DisplayRole) return QString::fromUtf8(kGridColumns[static_cast<std::size_t>(section)].title);
    if (role == Qt::TextAlignmentRole) return static_cast<int>(Qt::AlignCenter);
  }
  // Rows are picked by the selector at their left; a running number there
  // would be mistaken for the measurement's number.
  if (orientation == Qt::Vertical && role == Qt::DisplayRole) return QString();
  return QIdentityProxyModel::headerData(section, orientation, role);
}

QVariant ArchiveGridModel::data(const QModelIndex& index, int role) const {
  if (role == Qt::TextAlignmentRole) return static_cast<int>(Qt::AlignCenter);
  if (!marks_.empty() && (role == Qt::BackgroundRole || role == Qt::ToolTipRole)) {
    const auto mark = marks_.find(index.row());
    if (mark != marks_.end()) {
      if (role == Qt::BackgroundRole) return mark->second.background;
      if (index.column() != static_cast<int>(kNoteColumn)) return mark->second.note;
    }
  }
  // A note longer than its cell is read whole by pointing at it.
  if (role == Qt::ToolTipRole && index.column() == static_cast<int>(kNoteColumn)) {
    return QIdentityProxyModel::data(index, Qt::DisplayRole);
  }
  return QIdentityProxyModel::data(index, role);
}

void ArchiveGridModel::setRowMarks(std::map<int, RowMark> marks) {
  if (marks.empty() && marks_.empty()) return;
  marks_ = std::move(marks);
  const int rows = rowCount();
  if (rows > 0) emit dataChanged(index(0, 0), index(rows - 1, columnCount() - 1), {Qt::BackgroundRole, Qt::ToolTipRole});
}

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
  QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
  if (auto* line = qobject_cast<QLineEdit*>(editor)) {
    if (const auto limit = maxLengths_.find(index.column()); limit != maxLengths_.end()) {
      line->setMaxLength(limit->second);
    }
    line->setAlignment(Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()));
  }
  editor_ = editor;
  return editor;
}

void CellDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const {
  // A closed editor is deleted later; until then it must not be committed again.
  if (editor == editor_) editor_ = nullptr;
  QStyledItemDelegate::destroyEditor(editor, index);
}

void CellDelegate::commitOpenEditor() {
  if (editor_ != nullptr) emit commitData(editor_);
}

}  // namespace korsi
