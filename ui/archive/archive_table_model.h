#pragma once
// The archive table as the grid `MainDBGrid` shows it: four centred columns
// "№ измерения", "Дата/Время", "Толщина, мм" (three decimals after a comma) and
// "Примечание" (at most 255 characters), one row per table row, in table
// order. Every cell can be edited; a change reaches the table before setData
// returns. The model follows every change of the store, whoever makes it.
//
// Below the table's rows the model may show one new row that the user added
// and has not filled yet. It is not in the table: the first change of one of
// its cells appends it (with that field set and the others empty), and it can
// be dropped while still unchanged.

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <optional>

#include "storage/archive/archive_store.h"

namespace korsi::ui {

class ArchiveTableModel : public QAbstractTableModel, private korsi::archive::ArchiveListener {
  Q_OBJECT

 public:
  enum Column { NumColumn, DateColumn, ThicknessColumn, NoteColumn, ColumnCount };

  static constexpr std::array<const char*, ColumnCount> kTitles = {"№ измерения", "Дата/Время", "Толщина, мм",
                                                                    "Примечание"};
  // Column widths in pixels, for the grid's setColumnWidth.
  static constexpr std::array<int, ColumnCount> kWidths = {80, 293, 359, 518};
  // The note editor's maximum length (QLineEdit::setMaxLength counts UTF-16 units too).
  static constexpr int kNoteMaxLength = 255;

  // The store must outlive the model.
  explicit ArchiveTableModel(korsi::archive::ArchiveStore& store, QObject* parent = nullptr);
  ~ArchiveTableModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  // The display role gives what the grid shows; the edit role gives the
  // same as text, which is what an editor starts with.
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Reads the typed text into the cell's field and stores the row. A text
  // the field cannot take (see cell_text.h), or a change the store refuses,
  // returns false and emits editRefused with the reason; the cell keeps its
  // value. The text the cell already shows changes nothing. A longer note is
  // cut to 255 characters, and a note ending inside a pair of surrogates
  // loses that half.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  // The unfilled new row's row number, if there is one.
  std::optional<int> newRow() const;
  // Adds the new row below the table's rows (or keeps the one there) and
  // returns its row number.
  int appendNewRow();
  // Drops the new row while it is unfilled; a filled one is a table row.
  void dropNewRow();

 signals:
  // A typed value was not stored; `reason` is for the user.
  void editRefused(const QString& reason);

 private:
  bool refuse(const QString& reason);
  void rowsAboutToBeAppended(std::size_t first, std::size_t last) override;
  void rowsAppended() override;
  void rowAboutToBeRemoved(std::size_t row) override;
  void rowRemoved() override;
  void rowChanged(std::size_t row) override;
  void aboutToReset() override;
  void reset() override;

  korsi::archive::ArchiveStore& store_;
  bool hasNewRow_ = false;
  // The new row is being appended to the table: the model already shows it.
  bool storingNewRow_ = false;
};

}  // namespace korsi::ui
