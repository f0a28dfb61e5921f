#pragma once
// The archive table as the grid `MainDBGrid` shows it: four centred columns
// "№ измерения", "Дата/Время", "Толщина, мм" (three decimals after a comma) and
// "Примечание" (editable, at most 255 characters), one row per table row, in
// table order. The model follows every change of the store, whoever makes it.

#include <QAbstractTableModel>
#include <QString>

#include <array>

#include "services/archive/archive_store.h"

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
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Sets the note; a longer text is cut to 255 characters, and a text ending
  // inside a pair of surrogates loses that half. Returns false when the store
  // refuses the change.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  // The texts the grid shows.
  static QString thicknessText(double h);
  static QString dateText(const korsi::DateTime& date);

 private:
  void rowsAboutToBeAppended(std::size_t first, std::size_t last) override;
  void rowsAppended() override;
  void rowAboutToBeRemoved(std::size_t row) override;
  void rowRemoved() override;
  void rowChanged(std::size_t row) override;
  void aboutToReset() override;
  void reset() override;

  korsi::archive::ArchiveStore& store_;
};

}  // namespace korsi::ui
