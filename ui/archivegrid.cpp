#include "ui/archivegrid.h"

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
  return QIdentityProxyModel::data(index, role);
}

}  // namespace korsi
