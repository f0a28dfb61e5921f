#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QSignalSpy>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "storage/archive/archive_commands.h"
#include "tests/storage/archive/database_files.h"
#include "tests/support/log_capture.h"
#include "tests/support/tempdir.h"
#include "ui/archive/archive_table_model.h"

namespace {

using korsi::ArchiveRow;
using korsi::DateTime;
using korsi::archive::ArchiveStore;
using korsi::ui::ArchiveTableModel;

class ModelFixture : public ::testing::Test {
 protected:
  static std::unique_ptr<ArchiveStore> openStore(const korsi::archive::StorePaths& paths) {
    korsi::test::makeDatabase(paths.database);
    return ArchiveStore::openAtStartup(paths);
  }

  void add(std::int32_t num, const char* date, double h) { ASSERT_TRUE(store->addMeasurement(num, date, h)); }
  QString text(int row, int column) { return model.data(model.index(row, column)).toString(); }

  korsi::test::TempDir dir;
  korsi::archive::StorePaths paths{dir.file("korsi7.mdb"), dir.file("korsi7.mdb.backup")};
  korsi::test::LogCapture log;
  std::unique_ptr<ArchiveStore> store = openStore(paths);
  ArchiveTableModel model{*store};
  // Checks every change signal of the model against its contents.
  QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(ModelFixture, ColumnsHaveTheGridsTitlesAndAlignment) {
  ASSERT_EQ(model.columnCount(), 4);
  const char* titles[] = {"№ измерения", "Дата/Время", "Толщина, мм", "Примечание"};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), QString::fromUtf8(titles[c]));
    EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignCenter);
  }
}

TEST_F(ModelFixture, CellsShowTheFixedFormsCentred) {
  add(300, "09.03.2009 14:30:05", static_cast<double>(1.0f));
  add(7, "09.03.2009 06:22:05", static_cast<double>(0.2f));
  add(8, "09.03.2009 00:00:00", 1e-3);
  add(9, "09.03.2009 00:00:00", 0.0);
  ASSERT_TRUE(store->setNote(0, "Ж"));

  EXPECT_EQ(text(0, ArchiveTableModel::NumColumn), "300");
  EXPECT_EQ(text(0, ArchiveTableModel::DateColumn), "09.03.2009 14:30:05");
  EXPECT_EQ(text(0, ArchiveTableModel::ThicknessColumn), "1,000");
  EXPECT_EQ(text(0, ArchiveTableModel::NoteColumn), QString::fromUtf8("Ж"));
  EXPECT_EQ(text(1, ArchiveTableModel::DateColumn), "09.03.2009 6:22:05");
  EXPECT_EQ(text(1, ArchiveTableModel::ThicknessColumn), "0,200");
  EXPECT_EQ(text(2, ArchiveTableModel::DateColumn), "09.03.2009");
  EXPECT_EQ(text(2, ArchiveTableModel::ThicknessColumn), "0,001");
  EXPECT_EQ(text(3, ArchiveTableModel::ThicknessColumn), "0,000");
  EXPECT_EQ(text(3, ArchiveTableModel::NoteColumn), "");
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(model.data(model.index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignCenter);
  }
}

TEST_F(ModelFixture, EveryCellIsEditableAndTheNoteKeeps255Characters) {
  add(1, "09.03.2009 14:30:05", 1.0);
  for (int c = 0; c < 4; ++c) EXPECT_TRUE(model.flags(model.index(0, c)).testFlag(Qt::ItemIsEditable));
  const QModelIndex note = model.index(0, ArchiveTableModel::NoteColumn);

  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  ASSERT_TRUE(model.setData(note, QString(300, QChar(u'Ж'))));
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(model.data(note).toString(), QString(255, QChar(u'Ж')));
  EXPECT_EQ(korsi::test::tableRows(paths.database)[0], "1|2009-03-09 14:30:05|1.0|" + QString(255, QChar(u'Ж')).toStdString());

  // A cut never splits a character outside the basic plane.
  const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
  ASSERT_TRUE(model.setData(note, QString(254, QChar(u'x')) + smile));
  EXPECT_EQ(model.data(note).toString(), QString(254, QChar(u'x')));
  ASSERT_TRUE(model.setData(note, QString(253, QChar(u'x')) + smile));
  EXPECT_EQ(model.data(note).toString(), QString(253, QChar(u'x')) + smile);
}

TEST_F(ModelFixture, FollowsEveryChangeOfTheTable) {
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

  add(1, "09.03.2009 14:30:05", 1.0);
  add(2, "09.03.2009 14:30:06", 2.0);
  add(3, "09.03.2009 14:30:07", 3.0);
  EXPECT_FALSE(store->addMeasurement(4, korsi::measurementDateText(5, 3, 105, 14, 7, 9), 1.0));
  EXPECT_EQ(inserted.count(), 3);
  EXPECT_EQ(model.rowCount(), 3);

  ASSERT_TRUE(store->setNote(2, "x"));
  EXPECT_EQ(changed.count(), 1);
  ASSERT_TRUE(store->removeRow(1));
  EXPECT_EQ(removed.count(), 1);
  EXPECT_EQ(text(1, ArchiveTableModel::NumColumn), "3");

  ASSERT_TRUE(store->replaceWithFileRows({ArchiveRow{10, DateTime{2009, 1, 1, 0, 0, 0}, 0.5, "файл"}}));
  EXPECT_EQ(reset.count(), 1);
  EXPECT_EQ(model.rowCount(), 1);
  EXPECT_EQ(text(0, ArchiveTableModel::NoteColumn), QString::fromUtf8("файл"));
}

TEST_F(ModelFixture, ClearEmptiesTheTableWhereverTheCursorStands) {
  for (int i = 0; i < 5; ++i) add(i, "09.03.2009 14:30:05", 1.0);
  QItemSelectionModel cursor(&model);
  // The grid's Ctrl+End: the cursor on the last row.
  cursor.setCurrentIndex(model.index(4, 0), QItemSelectionModel::ClearAndSelect);
  korsi::archive::ArchiveCommands commands(*store);
  EXPECT_EQ(commands.clearTable(), std::nullopt);
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_FALSE(cursor.currentIndex().isValid());
  EXPECT_TRUE(korsi::test::tableRows(paths.database).empty());
}

TEST_F(ModelFixture, AfterDeletingTheCurrentRowTheCursorMovesToTheNextOrThePreviousRow) {
  for (int i = 0; i < 3; ++i) add(i, "09.03.2009 14:30:05", 1.0);
  QItemSelectionModel cursor(&model);
  korsi::archive::ArchiveCommands commands(*store);
  // What the window does for "Удалить строку".
  const auto deleteCurrent = [&] {
    const QModelIndex current = cursor.currentIndex();
    if (!current.isValid()) return commands.deleteRow(std::nullopt);
    auto error = commands.deleteRow(static_cast<std::size_t>(current.row()));
    if (const auto next = korsi::archive::rowAfterDelete(static_cast<std::size_t>(current.row()), store->rowCount())) {
      cursor.setCurrentIndex(model.index(static_cast<int>(*next), current.column()), QItemSelectionModel::ClearAndSelect);
    }
    return error;
  };

  cursor.setCurrentIndex(model.index(1, 0), QItemSelectionModel::ClearAndSelect);
  EXPECT_EQ(deleteCurrent(), std::nullopt);
  EXPECT_EQ(cursor.currentIndex().row(), 1);
  EXPECT_EQ(text(1, ArchiveTableModel::NumColumn), "2");

  EXPECT_EQ(deleteCurrent(), std::nullopt);  // the last row
  EXPECT_EQ(cursor.currentIndex().row(), 0);
  EXPECT_EQ(text(0, ArchiveTableModel::NumColumn), "0");

  EXPECT_EQ(deleteCurrent(), std::nullopt);
  EXPECT_FALSE(cursor.currentIndex().isValid());
  EXPECT_EQ(deleteCurrent(), std::nullopt);  // empty table: nothing happens
  EXPECT_EQ(model.rowCount(), 0);
}

struct CellEdit {
  const char* name;
  int column;
  const char* typed;
  // What the table's file holds afterwards; empty when the value is refused.
  const char* stored;
};

std::ostream& operator<<(std::ostream& out, const CellEdit& c) { return out << c.name; }

class ModelCellEdit : public ModelFixture, public ::testing::WithParamInterface<CellEdit> {};

// Each typed value either reaches the file or is refused with its reason,
// leaving the row as it was.
TEST_P(ModelCellEdit, StoresAcceptedTextAndRefusesTheRest) {
  const CellEdit& c = GetParam();
  add(300, "09.03.2009 14:30:05", 0.5);
  const std::string before = korsi::test::tableRows(paths.database)[0];
  QSignalSpy refused(&model, &ArchiveTableModel::editRefused);

  const bool accepted = model.setData(model.index(0, c.column), QString::fromUtf8(c.typed));
  const std::string after = korsi::test::tableRows(paths.database)[0];
  if (*c.stored != '\0') {
    EXPECT_TRUE(accepted);
    EXPECT_EQ(after, c.stored);
    EXPECT_EQ(refused.count(), 0);
  } else {
    EXPECT_FALSE(accepted);
    EXPECT_EQ(after, before);
    ASSERT_EQ(refused.count(), 1);
    EXPECT_FALSE(refused[0][0].toString().isEmpty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModelCellEdit,
    ::testing::Values(
        CellEdit{"Num", ArchiveTableModel::NumColumn, "3", "3|2009-03-09 14:30:05|0.5|NULL"},
        CellEdit{"NumNegative", ArchiveTableModel::NumColumn, " -2147483648 ", "-2147483648|2009-03-09 14:30:05|0.5|NULL"},
        CellEdit{"NumBlankEmptiesIt", ArchiveTableModel::NumColumn, "", "NULL|2009-03-09 14:30:05|0.5|NULL"},
        CellEdit{"NumTooLarge", ArchiveTableModel::NumColumn, "2147483648", ""},
        CellEdit{"NumFraction", ArchiveTableModel::NumColumn, "3,5", ""},
        CellEdit{"NumWord", ArchiveTableModel::NumColumn, "три", ""},
        CellEdit{"DateAndTime", ArchiveTableModel::DateColumn, "09.03.2009 6:22:05", "300|2009-03-09 06:22:05|0.5|NULL"},
        CellEdit{"DateAlone", ArchiveTableModel::DateColumn, "10.03.2009", "300|2009-03-10 00:00:00|0.5|NULL"},
        CellEdit{"Date31February", ArchiveTableModel::DateColumn, "31.02.2009", ""},
        CellEdit{"DateIsoForm", ArchiveTableModel::DateColumn, "2009-03-09 06:22:05", ""},
        CellEdit{"DateYear20105", ArchiveTableModel::DateColumn, "09.03.20105 6:22:05", ""},
        CellEdit{"ThicknessComma", ArchiveTableModel::ThicknessColumn, "0,125", "300|2009-03-09 14:30:05|0.125|NULL"},
        CellEdit{"ThicknessPoint", ArchiveTableModel::ThicknessColumn, "1.5", "300|2009-03-09 14:30:05|1.5|NULL"},
        CellEdit{"ThicknessWord", ArchiveTableModel::ThicknessColumn, "abc", ""},
        CellEdit{"ThicknessInfinite", ArchiveTableModel::ThicknessColumn, "inf", ""},
        CellEdit{"ThicknessNotANumber", ArchiveTableModel::ThicknessColumn, "nan", ""},
        CellEdit{"ThicknessTwoCommas", ArchiveTableModel::ThicknessColumn, "1,2,3", ""},
        CellEdit{"Note", ArchiveTableModel::NoteColumn, "крыло", "300|2009-03-09 14:30:05|0.5|крыло"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModelFixture, EditorsStartWithTheShownTextWhichChangesNothing) {
  add(7, "09.03.2009 06:22:05", static_cast<double>(0.2f));
  const std::string before = korsi::test::tableRows(paths.database)[0];
  const char* shown[] = {"7", "09.03.2009 6:22:05", "0,200", ""};
  for (int c = 0; c < 4; ++c) {
    const QModelIndex cell = model.index(0, c);
    EXPECT_EQ(model.data(cell, Qt::EditRole).toString(), QString::fromUtf8(shown[c])) << c;
    // Storing the shown text again would round the thickness to its three decimals.
    EXPECT_TRUE(model.setData(cell, model.data(cell, Qt::EditRole))) << c;
  }
  EXPECT_EQ(korsi::test::tableRows(paths.database)[0], before);
  EXPECT_EQ(store->row(0).prim, std::nullopt);
}

TEST_F(ModelFixture, ANewRowReachesTheTableOnlyWhenACellIsChanged) {
  add(1, "09.03.2009 14:30:05", 1.0);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  EXPECT_EQ(model.appendNewRow(), 1);
  EXPECT_EQ(model.appendNewRow(), 1);  // one new row at a time
  EXPECT_EQ(inserted.count(), 1);
  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.newRow(), 1);
  EXPECT_EQ(text(1, ArchiveTableModel::NumColumn), "");
  EXPECT_EQ(store->rowCount(), 1u);

  // Blank text and a refused value leave it unfilled.
  EXPECT_TRUE(model.setData(model.index(1, ArchiveTableModel::NoteColumn), QString()));
  EXPECT_FALSE(model.setData(model.index(1, ArchiveTableModel::ThicknessColumn), "abc"));
  EXPECT_EQ(model.newRow(), 1);
  EXPECT_EQ(korsi::test::tableRows(paths.database).size(), 1u);

  // A row from the gauge arriving meanwhile goes above it.
  add(2, "09.03.2009 14:30:06", 2.0);
  EXPECT_EQ(model.newRow(), 2);
  EXPECT_EQ(text(1, ArchiveTableModel::NumColumn), "2");

  ASSERT_TRUE(model.setData(model.index(2, ArchiveTableModel::ThicknessColumn), "0,125"));
  EXPECT_EQ(model.newRow(), std::nullopt);
  EXPECT_EQ(model.rowCount(), 3);
  ASSERT_TRUE(model.setData(model.index(2, ArchiveTableModel::NumColumn), "3"));
  EXPECT_EQ(korsi::test::tableRows(paths.database),
            (std::vector<std::string>{"1|2009-03-09 14:30:05|1.0|NULL", "2|2009-03-09 14:30:06|2.0|NULL",
                                      "3|NULL|0.125|NULL"}));

  // An unfilled one can be dropped; a new table drops it too.
  model.appendNewRow();
  model.dropNewRow();
  EXPECT_EQ(model.rowCount(), 3);
  model.appendNewRow();
  ASSERT_TRUE(store->replaceWithFileRows({}));
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(model.newRow(), std::nullopt);
}

}  // namespace
