#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QSignalSpy>

#include <memory>
#include <string>

#include "services/archive/archive_commands.h"
#include "tests/services/archive/database_files.h"
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

TEST_F(ModelFixture, OnlyTheNoteIsEditableAndItKeeps255Characters) {
  add(1, "09.03.2009 14:30:05", 1.0);
  for (int c = 0; c < 3; ++c) {
    EXPECT_FALSE(model.flags(model.index(0, c)).testFlag(Qt::ItemIsEditable));
    EXPECT_FALSE(model.setData(model.index(0, c), "5"));
  }
  const QModelIndex note = model.index(0, ArchiveTableModel::NoteColumn);
  EXPECT_TRUE(model.flags(note).testFlag(Qt::ItemIsEditable));

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

}  // namespace
