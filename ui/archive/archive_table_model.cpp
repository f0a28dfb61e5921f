#include "ui/archive/archive_table_model.h"

#include "ui/archive/cell_text.h"

namespace korsi::ui {

namespace {

// A note as the field holds it: at most 255 UTF-16 units, never half of a
// character outside the basic plane (left by this cut or by the editor's own).
QString fittedNote(QString note) {
  if (note.size() > ArchiveTableModel::kNoteMaxLength) note.truncate(ArchiveTableModel::kNoteMaxLength);
  if (!note.isEmpty() && note.back().isHighSurrogate()) note.chop(1);
  return note;
}

}  // namespace

ArchiveTableModel::ArchiveTableModel(korsi::archive::ArchiveStore& store, QObject* parent)
    : QAbstractTableModel(parent), store_(store) {
  store_.addListener(this);
}

ArchiveTableModel::~ArchiveTableModel() { store_.removeListener(this); }

int ArchiveTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(store_.rowCount()) + (hasNewRow_ ? 1 : 0);
}

int ArchiveTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant ArchiveTableModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  const auto r = static_cast<std::size_t>(index.row());
  static const korsi::ArchiveRow kEmpty;
  const korsi::ArchiveRow& row = r < store_.rowCount() ? store_.row(r) : kEmpty;
  const bool edit = role == Qt::EditRole;
  switch (index.column()) {
    case NumColumn:
      if (!row.num) return edit ? QVariant(QString()) : QVariant();
      return edit ? QVariant(QString::number(*row.num)) : QVariant(*row.num);
    case DateColumn:
      return row.date ? QVariant(dateText(*row.date)) : edit ? QVariant(QString()) : QVariant();
    case ThicknessColumn:
      return row.h ? QVariant(thicknessText(*row.h)) : edit ? QVariant(QString()) : QVariant();
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
  if (index.isValid()) flags |= Qt::ItemIsEditable;
  return flags;
}

bool ArchiveTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid)) return false;
  QString text = value.toString();
  if (index.column() == NoteColumn) text = fittedNote(text);
  // Storing the text the cell shows would only lose the digits it hides.
  const QString shown = data(index, Qt::EditRole).toString();
  if (index.column() == NoteColumn ? text == shown : text.trimmed() == shown) return true;

  const auto r = static_cast<std::size_t>(index.row());
  const bool isNewRow = r == store_.rowCount();
  korsi::ArchiveRow row = isNewRow ? korsi::ArchiveRow{} : store_.row(r);
  const korsi::ArchiveRow before = row;
  switch (index.column()) {
    case NumColumn:
    case DateColumn:
    case ThicknessColumn: {
      const QString refused = readCellText(static_cast<CellField>(index.column()), text, row);
      if (!refused.isEmpty()) return refuse(refused);
      break;
    }
    case NoteColumn:
      row.prim = text.toStdString();
      break;
    default:
      return false;
  }
  if (row == before) return true;

  // The store tells the model (rowChanged, rowsAppended), which emits dataChanged.
  bool stored = false;
  if (isNewRow) {
    storingNewRow_ = true;
    stored = store_.appendRow(row);
    storingNewRow_ = false;
  } else {
    stored = store_.updateRow(r, row);
  }
  return stored || refuse(QString::fromStdString(store_.lastError()));
}

bool ArchiveTableModel::refuse(const QString& reason) {
  emit editRefused(reason);
  return false;
}

std::optional<int> ArchiveTableModel::newRow() const {
  return hasNewRow_ ? std::optional<int>(static_cast<int>(store_.rowCount())) : std::nullopt;
}

int ArchiveTableModel::appendNewRow() {
  const int row = static_cast<int>(store_.rowCount());
  if (hasNewRow_) return row;
  beginInsertRows({}, row, row);
  hasNewRow_ = true;
  endInsertRows();
  return row;
}

void ArchiveTableModel::dropNewRow() {
  if (!hasNewRow_) return;
  const int row = static_cast<int>(store_.rowCount());
  beginRemoveRows({}, row, row);
  hasNewRow_ = false;
  endRemoveRows();
}

void ArchiveTableModel::rowsAboutToBeAppended(std::size_t first, std::size_t last) {
  // The new row being stored is already on show, in the same place.
  if (storingNewRow_) return;
  beginInsertRows({}, static_cast<int>(first), static_cast<int>(last));
}

void ArchiveTableModel::rowsAppended() {
  if (!storingNewRow_) {
    endInsertRows();
    return;
  }
  hasNewRow_ = false;
  rowChanged(store_.rowCount() - 1);
}

void ArchiveTableModel::rowAboutToBeRemoved(std::size_t row) {
  beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
}

void ArchiveTableModel::rowRemoved() { endRemoveRows(); }

void ArchiveTableModel::rowChanged(std::size_t row) {
  const int r = static_cast<int>(row);
  emit dataChanged(index(r, 0), index(r, ColumnCount - 1), {Qt::DisplayRole, Qt::EditRole});
}

void ArchiveTableModel::aboutToReset() { beginResetModel(); }

// A new table has no unfilled row of the old one.
void ArchiveTableModel::reset() {
  hasNewRow_ = false;
  endResetModel();
}

}  // namespace korsi::ui
