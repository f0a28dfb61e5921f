#pragma once
// How the grid shows the archive table: column titles, widths and centred
// cells over any model whose columns are num, date, h and Prim in this order,
// and the cells' editor.

#include <QColor>
#include <QIdentityProxyModel>
#include <QPointer>
#include <QString>
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

// A row shown in a colour of its own, with a word on why (the inspection
// marks the readings that fail).
struct RowMark {
  QColor background;
  QString note;
};

class ArchiveGridModel : public QIdentityProxyModel {
  Q_OBJECT

 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // Replaces the marked rows (by row number); no rows: no marks. Views hear
  // of it as a change of the background and tooltip roles alone.
  void setRowMarks(std::map<int, RowMark> marks);
  const std::map<int, RowMark>& rowMarks() const noexcept { return marks_; }

 private:
  std::map<int, RowMark> marks_;
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
