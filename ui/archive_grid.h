#pragma once
// How the grid shows the archive table: column titles, widths and centred
// cells over any model whose columns are num, date, h and Prim in this order,
// and the editor of the note column.

#include <QIdentityProxyModel>
#include <QPointer>
#include <QStyledItemDelegate>
#include <array>

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

// The note's editor: a line that takes at most as many characters as the
// field holds and keeps the cell's alignment while the user types.
class NoteDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit NoteDelegate(int maxLength, QObject* parent = nullptr);

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void destroyEditor(QWidget* editor, const QModelIndex& index) const override;

  // Stores what the open editor holds, if one is open; the editor stays open.
  void commitOpenEditor();

 private:
  int maxLength_;
  mutable QPointer<QWidget> editor_;
};

}  // namespace korsi
