#pragma once
// How the grid shows the archive table: column titles, widths and centred
// cells over any model whose columns are num, date, h and Prim in this order.

#include <QIdentityProxyModel>
#include <array>

namespace korsi {

struct GridColumn {
  const char* field;
  const char* title;
  int width;  // pixels
};

inline constexpr std::size_t kNoteColumn = 3;

inline constexpr std::array<GridColumn, 4> kGridColumns{{
    {"num", "№ измерения", 80},
    {"date", "Дата/Время", 293},
    {"h", "Толщина, мм", 359},
    {"Prim", "Примечание", 518},
}};

class ArchiveGridModel : public QIdentityProxyModel {
  Q_OBJECT

 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  QVariant data(const QModelIndex& index, int role) const override;
};

}  // namespace korsi
