#pragma once
// How the grid shows the archive table: column titles, widths and centred
// cells over any model whose columns are num, date, h and Prim in this order,
// and the cells' editor.

#include <QIdentityProxyModel>
#include <QPointer>
#include <QStyledItemDelegate>
#include <array>
#include <map>

#include "ui/archive/archive_table_model.h"

namespace korsi {

struct GridColumn {
  const char* field;
  const char* title;
  int width;  // pixels
};

inline constexpr std::size_t kNoteColumn = 3;

// Titles and widths are the archive model's own, so the two cannot drift apart.
using ArchiveColumns = ui::ArchiveTableModel;
inline constexpr std::array<GridColumn, 4> kGridColumns{{
    {"num", ArchiveColumns::kTitles[ArchiveColumns::NumColumn], ArchiveColumns::kWidths[ArchiveColumns::NumColumn]},
    {"date", ArchiveColumns::kTitles[ArchiveColumns::DateColumn], ArchiveColumns::kWidths[ArchiveColumns::DateColumn]},
    {"h", ArchiveColumns::kTitles[ArchiveColumns::ThicknessColumn], ArchiveColumns::kWidths[ArchiveColumns::ThicknessColumn]},
    {"Prim", ArchiveColumns::kTitles[ArchiveColumns::NoteColumn], ArchiveColumns::kWidths[ArchiveColumns::NoteColumn]},
}};

class ArchiveGridModel : public QIdentityProxyModel {
  Q_OBJECT

 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  QVariant data(const QModelIndex& index, int role) const override;
};

// The cells' editor: a line that starts with the text the cell shows, keeps
// the cell's alignment while the user types and, in a column given a maximum
// length (the note), takes at most as many characters as the field holds.
class CellDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void setMaxLength(int column, int maxLength) { maxLengths_[column] = maxLength; }

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void destroyEditor(QWidget* editor, const QModelIndex& index) const override;

  // Stores what the open editor holds, if one is open; the editor stays open.
  void commitOpenEditor();

 private:
  std::map<int, int> maxLengths_;
  mutable QPointer<QWidget> editor_;
};

}  // namespace korsi
