#include "ui/archive/archive_table_model.h"

namespace korsi::ui {

ArchiveTableModel::ArchiveTableModel(korsi::archive::ArchiveStore& store, QObject* parent)
    : QAbstractTableModel(parent), store_(store) {
  store_.addListener(this);
}

ArchiveTableModel::~ArchiveTableModel() { store_.removeListener(this); }

int ArchiveTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(store_.rowCount());
}

int ArchiveTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString ArchiveTableModel::thicknessText(double h) {
  // Three decimals after a decimal comma, as Russian users write numbers.
  return QString::number(h, 'f', 3).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString ArchiveTableModel::dateText(const korsi::DateTime& date) {
  return QString::fromStdString(korsi::shownText(date));
}

QVariant ArchiveTableModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  const korsi::ArchiveRow& row = store_.row(static_cast<std::size_t>(index.row()));
  switch (index.column()) {
    case NumColumn:
      return row.num ? QVariant(*row.num) : QVariant();
    case DateColumn:
      return row.date ? QVariant(dateText(*row.date)) : QVariant();
    case ThicknessColumn:
      if (!row.h) return {};
      return role == Qt::EditRole ? QVariant(*row.h) : QVariant(thicknessText(*row.h));
    case NoteColumn:
      return row.prim ? QVariant(QString::fromStdString(*row.prim)) : QVariant(QString());
    default:
      return {};
  }
}

QVariant ArchiveTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  const auto column = static_cast<std::size_t>(section);
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromUtf8(kTitles[column]);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
      return {};
  }
}

Qt::ItemFlags ArchiveTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (index.isValid() && index.column() == NoteColumn) flags |= Qt::ItemIsEditable;
  return flags;
}

bool ArchiveTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || index.column() != NoteColumn ||
      !checkIndex(index, CheckIndexOption::IndexIsValid)) {
    return false;
  }
  QString note = value.toString();
  if (note.size() > kNoteMaxLength) note.truncate(kNoteMaxLength);
  // Half of a character outside the basic plane, left by this cut or by the
  // editor's own at its maximum length, is dropped.
  if (!note.isEmpty() && note.back().isHighSurrogate()) note.chop(1);
  // The store tells the model (rowChanged), which emits dataChanged.
  return store_.setNote(static_cast<std::size_t>(index.row()), note.toStdString());
}

void ArchiveTableModel::rowsAboutToBeAppended(std::size_t first, std::size_t last) {
  beginInsertRows({}, static_cast<int>(first), static_cast<int>(last));
}

void ArchiveTableModel::rowsAppended() { endInsertRows(); }

void ArchiveTableModel::rowAboutToBeRemoved(std::size_t row) {
  beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
}

void ArchiveTableModel::rowRemoved() { endRemoveRows(); }

void ArchiveTableModel::rowChanged(std::size_t row) {
  const int r = static_cast<int>(row);
  emit dataChanged(index(r, 0), index(r, ColumnCount - 1), {Qt::DisplayRole, Qt::EditRole});
}

void ArchiveTableModel::aboutToReset() { beginResetModel(); }

void ArchiveTableModel::reset() { endResetModel(); }

}  // namespace korsi::ui
