#include <gtest/gtest.h>

#include "tests/support/qt_helpers.h"

#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPointer>
#include <QStatusBar>
#include <optional>
#include <string>
#include <vector>

#include "tests/ui/main_window/archive_window.h"
#include "ui/archive/archive_table_model.h"
#include "ui/archive/cell_text.h"

namespace {

using korsi::test::ArchiveWindow;
using korsi::test::tableRows;
using Column = korsi::ui::ArchiveTableModel::Column;

class GridWindow : public ArchiveWindow {
 protected:
  // Replaces the editor's text and presses `key`, as the user finishes typing;
  // returns once the grid has closed the editor and shown any box that follows.
  void typeAndPress(QLineEdit* editor, const QString& text, Qt::Key key = Qt::Key_Return) {
    editor->selectAll();
    editor->insert(text);
    QPointer<QLineEdit> watched(editor);
    korsi::test::pressKey(editor, key);
    korsi::test::processUntil([&] { return watched.isNull() || !watched->isVisible(); });
    QCoreApplication::processEvents();
  }

  QString shown(int row, int column) const { return grid()->model()->index(row, column).data().toString(); }

  // Another field of the window, to take the keyboard focus from the grid.
  QLineEdit* elsewhere() {
    if (other_ == nullptr) {
      other_ = new QLineEdit(form.StatusBar);
      form.StatusBar->addWidget(other_);
      other_->show();
    }
    return other_;
  }

  void focusGrid() {
    form.activateWindow();
    EXPECT_TRUE(korsi::test::waitForWindowActive(&form));
    grid()->setFocus();
    korsi::test::processUntil([&] { return grid()->hasFocus(); });
  }

 private:
  QLineEdit* other_ = nullptr;
};

struct TypedValue {
  const char* name;
  int column;
  const char* typed;
  const char* refusal;  // nullptr: accepted
  const char* shownAfter;
  const char* storedAfter;
};

std::ostream& operator<<(std::ostream& out, const TypedValue& c) { return out << c.name; }

class TypedIntoACell : public GridWindow, public ::testing::WithParamInterface<TypedValue> {};

TEST_P(TypedIntoACell, IsStoredOrRefusedWithABoxAndTheOldValueStays) {
  const TypedValue& c = GetParam();
  addRows(1);  // 1 | 09.03.2009 14:30:01 | 0,125
  QLineEdit* editor = openEditor(0, c.column);
  ASSERT_NE(editor, nullptr);
  typeAndPress(editor, QString::fromUtf8(c.typed));

  EXPECT_EQ(shown(0, c.column).toStdString(), c.shownAfter);
  EXPECT_EQ(tableRows(paths.database), (std::vector<std::string>{c.storedAfter}));
  if (c.refusal == nullptr) {
    EXPECT_TRUE(boxes.boxes.empty());
    return;
  }
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title.toStdString(), "Ошибка");
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(boxes.boxes[0].text.toStdString(), c.refusal);
}

constexpr const char* kRowBefore = "1|2009-03-09 14:30:01|0.125|NULL";

INSTANTIATE_TEST_SUITE_P(
    Cases, TypedIntoACell,
    ::testing::Values(
        TypedValue{"Num", Column::NumColumn, "3", nullptr, "3", "3|2009-03-09 14:30:01|0.125|NULL"},
        TypedValue{"NumOutOfRange", Column::NumColumn, "2147483648", korsi::ui::kNumRefused, "1", kRowBefore},
        TypedValue{"NumNotANumber", Column::NumColumn, "1a", korsi::ui::kNumRefused, "1", kRowBefore},
        TypedValue{"DateAndTime", Column::DateColumn, "09.03.2009 6:22:05", nullptr, "09.03.2009 6:22:05",
                   "1|2009-03-09 06:22:05|0.125|NULL"},
        TypedValue{"DateAlone", Column::DateColumn, "09.03.2009", nullptr, "09.03.2009",
                   "1|2009-03-09 00:00:00|0.125|NULL"},
        TypedValue{"Date31February", Column::DateColumn, "31.02.2009", korsi::ui::kDateRefused,
                   "09.03.2009 14:30:01", kRowBefore},
        TypedValue{"DateOtherForm", Column::DateColumn, "2009-03-09", korsi::ui::kDateRefused, "09.03.2009 14:30:01",
                   kRowBefore},
        TypedValue{"DateYear20105", Column::DateColumn, "09.03.20105 6:22:05", korsi::ui::kDateRefused,
                   "09.03.2009 14:30:01", kRowBefore},
        TypedValue{"ThicknessComma", Column::ThicknessColumn, "0,5", nullptr, "0,500",
                   "1|2009-03-09 14:30:01|0.5|NULL"},
        TypedValue{"ThicknessPoint", Column::ThicknessColumn, "1.5", nullptr, "1,500",
                   "1|2009-03-09 14:30:01|1.5|NULL"},
        TypedValue{"ThicknessWord", Column::ThicknessColumn, "abc", korsi::ui::kThicknessRefused, "0,125", kRowBefore},
        TypedValue{"ThicknessInfinite", Column::ThicknessColumn, "inf", korsi::ui::kThicknessRefused, "0,125",
                   kRowBefore}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridWindow, TabStoresTheCellAndMovesToTheNextOneWithItsEditorOpen) {
  addRows(2);
  QLineEdit* editor = openEditor(0, Column::NumColumn);
  ASSERT_NE(editor, nullptr);
  typeAndPress(editor, QStringLiteral("42"), Qt::Key_Tab);
  EXPECT_EQ(store->row(0).num, 42);
  EXPECT_EQ(grid()->currentIndex(), grid()->model()->index(0, Column::DateColumn));
  auto* next = qobject_cast<QLineEdit*>(grid()->indexWidget(grid()->currentIndex()));
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->text().toStdString(), "09.03.2009 14:30:01");

  // A refused value is not stored, yet Tab still moves on.
  typeAndPress(next, QStringLiteral("31.02.2009"), Qt::Key_Tab);
  EXPECT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(tableRows(paths.database)[0], "42|2009-03-09 14:30:01|0.125|NULL");
  EXPECT_EQ(grid()->currentIndex(), grid()->model()->index(0, Column::ThicknessColumn));
}

struct DeleteCase {
  const char* name;
  std::vector<int> selected;  // rows; none: only the cursor's row
  QMessageBox::StandardButton answer;
  const char* question;
  std::vector<int> left;
};

std::ostream& operator<<(std::ostream& out, const DeleteCase& c) { return out << c.name; }

class CtrlDelete : public GridWindow, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(CtrlDelete, AsksAndDeletesTheSelectedRowsOnYesOnly) {
  const DeleteCase& c = GetParam();
  addRows(4);
  moveTo(1, Column::NoteColumn);
  grid()->selectionModel()->clearSelection();
  for (const int row : c.selected) {
    grid()->selectionModel()->select(grid()->model()->index(row, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  boxes.answer = c.answer;
  korsi::test::pressKey(grid(), Qt::Key_Delete, Qt::ControlModifier);

  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title.toStdString(), "Подтверждение");
  EXPECT_EQ(boxes.boxes[0].text.toStdString(), c.question);
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Question);
  EXPECT_EQ(nums(), c.left);
  EXPECT_EQ(tableRows(paths.database).size(), c.left.size());
  EXPECT_EQ(grid()->model()->rowCount(), static_cast<int>(c.left.size()));
  EXPECT_TRUE(grid()->currentIndex().isValid());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CtrlDelete,
    ::testing::Values(DeleteCase{"CurrentRowYes", {}, QMessageBox::Yes, "Удалить запись?", {1, 3, 4}},
                      DeleteCase{"CurrentRowNo", {}, QMessageBox::No, "Удалить запись?", {1, 2, 3, 4}},
                      DeleteCase{"SelectedRowsYes", {0, 2, 3}, QMessageBox::Yes, "Удалить выбранные записи (3)?", {2}},
                      DeleteCase{"SelectedRowsNo", {0, 2, 3}, QMessageBox::No, "Удалить выбранные записи (3)?",
                                 {1, 2, 3, 4}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GridWindow, ANewRowLeftUnfilledIsDroppedWhenTheGridLosesFocus) {
  addRows(2);
  focusGrid();
  moveTo(1, Column::ThicknessColumn);
  korsi::test::pressKey(grid(), Qt::Key_Down);  // Down on the last row
  EXPECT_EQ(grid()->model()->rowCount(), 3);
  EXPECT_EQ(grid()->currentIndex(), grid()->model()->index(2, Column::ThicknessColumn));
  korsi::test::pressKey(grid(), Qt::Key_Down);  // one new row at a time
  EXPECT_EQ(grid()->model()->rowCount(), 3);
  EXPECT_EQ(store->rowCount(), 2u);

  // Opening its editor and leaving it unchanged keeps it unfilled.
  QLineEdit* editor = openEditor(2, Column::NumColumn);
  ASSERT_NE(editor, nullptr);
  typeAndPress(editor, QString());
  EXPECT_EQ(grid()->model()->rowCount(), 3);

  elsewhere()->setFocus();
  korsi::test::processUntil([&] { return grid()->model()->rowCount() == 2; });
  EXPECT_EQ(grid()->model()->rowCount(), 2);
  EXPECT_EQ(tableRows(paths.database).size(), 2u);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(GridWindow, ANewRowIsDroppedWhenTheCursorMovesOffIt) {
  addRows(2);
  moveTo(1);
  korsi::test::pressKey(grid(), Qt::Key_Insert);
  EXPECT_EQ(grid()->model()->rowCount(), 3);
  EXPECT_EQ(grid()->currentIndex().row(), 2);
  korsi::test::pressKey(grid(), Qt::Key_Up);
  korsi::test::processUntil([&] { return grid()->model()->rowCount() == 2; });
  EXPECT_EQ(grid()->model()->rowCount(), 2);
  EXPECT_EQ(grid()->currentIndex().row(), 1);

  // Ctrl+Delete on it drops it without a question.
  korsi::test::pressKey(grid(), Qt::Key_Insert);
  grid()->selectionModel()->clearSelection();
  korsi::test::pressKey(grid(), Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(grid()->model()->rowCount(), 2);
  EXPECT_EQ(store->rowCount(), 2u);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(GridWindow, ANewRowIsStoredByItsFirstChangeAndStaysAfterwards) {
  addRows(1);
  focusGrid();
  korsi::test::pressKey(grid(), Qt::Key_Insert);
  ASSERT_EQ(grid()->model()->rowCount(), 2);

  QLineEdit* editor = openEditor(1, Column::ThicknessColumn);
  ASSERT_NE(editor, nullptr);
  typeAndPress(editor, QStringLiteral("abc"));  // refused: still not in the table
  EXPECT_EQ(tableRows(paths.database).size(), 1u);
  EXPECT_EQ(boxes.boxes.size(), 1u);

  editor = openEditor(1, Column::ThicknessColumn);
  ASSERT_NE(editor, nullptr);
  typeAndPress(editor, QStringLiteral("0,25"), Qt::Key_Tab);
  EXPECT_EQ(tableRows(paths.database).back(), "NULL|NULL|0.25|NULL");
  EXPECT_EQ(grid()->currentIndex(), grid()->model()->index(1, Column::NoteColumn));

  auto* note = qobject_cast<QLineEdit*>(grid()->indexWidget(grid()->currentIndex()));
  ASSERT_NE(note, nullptr);
  typeAndPress(note, QStringLiteral("новая"));
  EXPECT_EQ(tableRows(paths.database),
            (std::vector<std::string>{"1|2009-03-09 14:30:01|0.125|NULL", "NULL|NULL|0.25|новая"}));

  elsewhere()->setFocus();
  QCoreApplication::processEvents();
  EXPECT_EQ(grid()->model()->rowCount(), 2);
  EXPECT_EQ(store->rowCount(), 2u);
}

TEST_F(GridWindow, DownWhileEditingTheLastRowStoresItsCellAndAddsANewRow) {
  addRows(1);
  QLineEdit* editor = openEditor(0, Column::NumColumn);
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  editor->insert(QStringLiteral("9"));
  korsi::test::pressKey(editor, Qt::Key_Down);
  korsi::test::processUntil([&] { return grid()->model()->rowCount() == 2; });
  EXPECT_EQ(store->row(0).num, 9);
  EXPECT_EQ(grid()->model()->rowCount(), 2);
  EXPECT_EQ(grid()->currentIndex(), grid()->model()->index(1, Column::NumColumn));
  EXPECT_EQ(store->rowCount(), 1u);
}

}  // namespace
