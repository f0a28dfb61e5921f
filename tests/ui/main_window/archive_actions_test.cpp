#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "storage/recordset/data_file.h"
#include "tests/storage/archive/database_files.h"
#include "tests/support/log_capture.h"
#include "tests/support/qt_helpers.h"
#include "tests/support/tempdir.h"
#include "tests/ui/main_window/archive_window.h"
#include "ui/archive/archive_table_model.h"
#include "ui/main_window/archive_actions.h"
#include "ui/main_window/main_window.h"

namespace {

using korsi::ArchiveRow;
using korsi::DateTime;
using korsi::archive::Backend;
using korsi::test::ArchiveWindow;
using korsi::recordset::DataFormat;
using korsi::test::readFile;
using korsi::test::writeFile;

constexpr const char* kWindowTitle = "Толщиномер КОРСИ-7 ";

TEST_F(ArchiveWindow, RowsFromTheGaugeShowTheGridAndOfferSave) {
  EXPECT_FALSE(grid()->isVisible());
  EXPECT_FALSE(enabled("N6"));
  EXPECT_FALSE(enabled("ToolButton2"));
  EXPECT_TRUE(enabled("Excel1"));

  // A refused date adds nothing to an empty table: still nothing to save.
  EXPECT_FALSE(actions.addMeasurement(1, korsi::measurementDateText(31, 2, 9, 0, 0, 0), 1.0));
  EXPECT_FALSE(grid()->isVisible());
  EXPECT_FALSE(enabled("N6"));

  addRows(2);
  EXPECT_TRUE(grid()->isVisible());
  EXPECT_TRUE(enabled("N6"));
  EXPECT_TRUE(enabled("ToolButton2"));
  EXPECT_EQ(currentRow(), 0);  // the cursor stands on a row once there are rows
  // The titles' row is tall enough for its text.
  EXPECT_GE(grid()->horizontalHeader()->height(), grid()->horizontalHeader()->fontMetrics().height());
  EXPECT_EQ(grid()->model()->headerData(0, Qt::Horizontal).toString().toStdString(), "№ измерения");
  EXPECT_EQ(grid()->model()->index(1, 2).data().toString(), "0,250");
  EXPECT_EQ(grid()->model()->index(1, 1).data().toString(), "09.03.2009 14:30:02");

  // Clearing keeps what is offered: the commands follow the rows' arrival only.
  trigger("N23");
  EXPECT_TRUE(grid()->isVisible());
  EXPECT_TRUE(enabled("N6"));
  EXPECT_FALSE(currentRow());
}

TEST_F(ArchiveWindow, ClearAfterMovingToTheLastRowEmptiesTheTable) {
  addRows(3);
  grid()->setFocus();
  korsi::test::pressKey(grid(), Qt::Key_End, Qt::ControlModifier);
  ASSERT_EQ(currentRow(), 2);

  trigger("N23");
  EXPECT_TRUE(store->empty());
  EXPECT_EQ(grid()->model()->rowCount(), 0);
  EXPECT_TRUE(korsi::test::tableRows(paths.database).empty());

  trigger("N23");  // on an empty table: nothing happens
  EXPECT_TRUE(store->empty());
  EXPECT_TRUE(boxes.boxes.empty());
}

struct DeleteCase {
  const char* name;
  int rows;
  std::optional<int> current;
  std::vector<int> left;
  std::optional<int> currentAfter;
};

std::ostream& operator<<(std::ostream& out, const DeleteCase& c) { return out << c.name; }

class DeleteRow : public ArchiveWindow, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteRow, TakesTheCurrentRowAndMovesToTheNextOrThePrevious) {
  const DeleteCase& c = GetParam();
  addRows(c.rows);
  if (c.current) moveTo(*c.current, 3);
  trigger("N22");
  EXPECT_EQ(nums(), c.left);
  EXPECT_EQ(korsi::test::tableRows(paths.database).size(), c.left.size());
  EXPECT_EQ(currentRow(), c.currentAfter);
  if (c.currentAfter) {
    EXPECT_EQ(grid()->currentIndex().column(), 3);
  }
  EXPECT_TRUE(boxes.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, DeleteRow,
                         ::testing::Values(DeleteCase{"FirstRow", 3, 0, {2, 3}, 0},
                                           DeleteCase{"MiddleRow", 3, 1, {1, 3}, 1},
                                           DeleteCase{"LastRow", 3, 2, {1, 2}, 1},
                                           DeleteCase{"OnlyRow", 1, 0, {}, std::nullopt},
                                           DeleteCase{"EmptyTable", 0, std::nullopt, {}, std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

struct RoundTripCase {
  const char* name;
  const char* fileName;
  DataFormat format;
};

std::ostream& operator<<(std::ostream& out, const RoundTripCase& c) { return out << c.name; }

class SaveAndLoad : public ArchiveWindow, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(SaveAndLoad, ThroughTheMenuAndTheToolbar) {
  const std::string path = dir.file(GetParam().fileName);
  addRows(3);
  // A note still being typed when Save is chosen is saved with the rest.
  QLineEdit* editor = openEditor(1, korsi::ui::ArchiveTableModel::NoteColumn);
  ASSERT_NE(editor, nullptr);
  korsi::test::typeText(editor, QStringLiteral("крыло слева"));

  saveDialog.answers = {path};
  trigger("N6");
  EXPECT_EQ(saveDialog.shown, 1);
  EXPECT_EQ(form.windowTitle().toStdString(), path);
  const std::string bytes = readFile(path);
  EXPECT_EQ(korsi::recordset::detectFormat(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                      bytes.size())),
            GetParam().format);
  std::vector<ArchiveRow> saved = fileRows(path);
  ASSERT_EQ(saved.size(), 3u);
  EXPECT_EQ(saved[1].prim, "крыло слева");
  EXPECT_EQ(saved, store->rows());

  // The second save writes to the same file without asking.
  addRows(1);
  trigger("ToolButton2");
  EXPECT_EQ(saveDialog.shown, 1);
  saved = fileRows(path);
  EXPECT_EQ(saved.size(), 4u);

  trigger("N23");
  openDialog.answers = {path};
  trigger("ToolButton1");
  EXPECT_EQ(openDialog.shown, 1);
  EXPECT_EQ(store->rows(), saved);
  EXPECT_EQ(store->backend(), Backend::DataFile);
  EXPECT_EQ(grid()->model()->rowCount(), 4);
  EXPECT_EQ(grid()->model()->index(1, 3).data().toString().toStdString(), "крыло слева");
  EXPECT_EQ(currentRow(), 0);
  EXPECT_EQ(form.windowTitle().toStdString(), path);  // loading leaves the caption alone
  EXPECT_TRUE(boxes.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, SaveAndLoad,
                         ::testing::Values(RoundTripCase{"Ks", "rows.ks", DataFormat::Adtg},
                                           RoundTripCase{"UpperCaseXml", "rows.XML", DataFormat::Xml}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArchiveWindow, LoadShowsTheGridAndOffersSaveAndExport) {
  const std::string empty = dir.file("empty.ks");
  const std::string two = dir.file("two.xml");
  ASSERT_EQ(korsi::recordset::writeDataFile(empty, {}), "");
  ASSERT_EQ(korsi::recordset::writeDataFile(
                two, {ArchiveRow{7, DateTime{2009, 3, 9, 0, 0, 0}, 0.001, std::nullopt},
                      ArchiveRow{-8, DateTime{2009, 3, 9, 6, 22, 5}, 0.0, "Ж"}}),
            "");
  form.command("Excel1")->setEnabled(false);

  // A file without rows still shows the (empty) grid.
  openDialog.answers = {empty};
  trigger("N8");
  EXPECT_TRUE(grid()->isVisible());
  EXPECT_TRUE(enabled("N6"));
  EXPECT_TRUE(enabled("ToolButton2"));
  EXPECT_TRUE(enabled("Excel1"));
  EXPECT_FALSE(currentRow());

  openDialog.answers = {two};
  trigger("N8");
  EXPECT_EQ(nums(), (std::vector<int>{7, -8}));
  for (std::size_t column = 0; column < 4; ++column) {  // a new table keeps the columns' widths
    EXPECT_EQ(grid()->columnWidth(static_cast<int>(column)), form.gridColumnWidth(column));
  }
  EXPECT_EQ(currentRow(), 0);
  EXPECT_EQ(grid()->model()->index(0, 1).data().toString(), "09.03.2009");
  EXPECT_EQ(grid()->model()->index(0, 2).data().toString(), "0,001");
  EXPECT_EQ(grid()->model()->index(1, 1).data().toString(), "09.03.2009 6:22:05");
  EXPECT_EQ(form.windowTitle().toStdString(), kWindowTitle);
  EXPECT_TRUE(boxes.boxes.empty());
}

struct FailedLoadCase {
  const char* name;
  std::function<std::optional<std::string>(const korsi::test::TempDir&)> prepare;  // the dialog's answer
  bool errorShown;
};

std::ostream& operator<<(std::ostream& out, const FailedLoadCase& c) { return out << c.name; }

class LoadThatChangesNothing : public ArchiveWindow, public ::testing::WithParamInterface<FailedLoadCase> {};

TEST_P(LoadThatChangesNothing, KeepsTheRowsAndTellsWhy) {
  addRows(2);
  const std::vector<ArchiveRow> before = store->rows();
  openDialog.answers = {GetParam().prepare(dir)};
  trigger("ToolButton1");

  EXPECT_EQ(store->rows(), before);
  EXPECT_EQ(store->backend(), Backend::Database);
  EXPECT_EQ(korsi::test::tableRows(paths.database).size(), 2u);
  EXPECT_EQ(grid()->model()->rowCount(), 2);
  if (!GetParam().errorShown) {
    EXPECT_TRUE(boxes.boxes.empty());
    return;
  }
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title.toStdString(), "Ошибка");
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral("Не удалось открыть файл")))
      << boxes.boxes[0].text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadThatChangesNothing,
    ::testing::Values(
        FailedLoadCase{"Cancelled", [](const korsi::test::TempDir&) { return std::optional<std::string>(); },
                       false},
        FailedLoadCase{"TruncatedFile",
                       [](const korsi::test::TempDir& d) {
                         const std::string path = d.file("cut.ks");
                         std::vector<ArchiveRow> rows(3, ArchiveRow{1, DateTime{2009, 3, 9, 1, 2, 3}, 0.5, "x"});
                         EXPECT_EQ(korsi::recordset::writeDataFile(path, rows), "");
                         const std::string whole = readFile(path);
                         writeFile(path, whole.substr(0, whole.size() / 2));
                         return std::optional<std::string>(path);
                       },
                       true},
        FailedLoadCase{"ForeignFile",
                       [](const korsi::test::TempDir& d) {
                         writeFile(d.file("notes.txt"), "Толщина 0,125 мм\n");
                         return std::optional<std::string>(d.file("notes.txt"));
                       },
                       true},
        FailedLoadCase{"MissingFile",
                       [](const korsi::test::TempDir& d) { return std::optional<std::string>(d.file("none.ks")); },
                       true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArchiveWindow, AFailedSaveTellsWhyAndKeepsTheOldFileWhole) {
  const std::string path = dir.file("rows.ks");
  const std::string temporary = path + ".tmp";
  addRows(2);

  // The first save cannot write: no caption, nothing remembered.
  std::filesystem::create_directory(temporary);
  saveDialog.answers = {path};
  trigger("N6");
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title.toStdString(), "Ошибка");
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral("Не удалось сохранить файл")));
  EXPECT_EQ(form.windowTitle().toStdString(), kWindowTitle);
  EXPECT_FALSE(std::filesystem::exists(path));

  // Asked again, it writes; a later save that fails leaves that file whole.
  std::filesystem::remove(temporary);
  saveDialog.answers = {path};
  trigger("N6");
  EXPECT_EQ(saveDialog.shown, 2);
  ASSERT_TRUE(std::filesystem::exists(path));
  const std::string written = readFile(path);

  addRows(1);
  std::filesystem::create_directory(temporary);
  trigger("ToolButton2");
  EXPECT_EQ(saveDialog.shown, 2);
  EXPECT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(readFile(path), written);
  EXPECT_EQ(form.windowTitle().toStdString(), path);
}

TEST_F(ArchiveWindow, ACancelledSaveDoesNothing) {
  addRows(1);
  saveDialog.answers = {std::nullopt};
  trigger("N6");
  EXPECT_EQ(saveDialog.shown, 1);
  EXPECT_EQ(form.windowTitle().toStdString(), kWindowTitle);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(actions.commands().rememberedName().empty());
}

TEST_F(ArchiveWindow, EveryCellOpensWithItsShownTextAndTheNoteHoldsAtMost255Characters) {
  addRows(1);
  const char* shown[] = {"1", "09.03.2009 14:30:01", "0,125"};
  for (int column = 0; column < 3; ++column) {
    QLineEdit* editor = openEditor(0, column);
    ASSERT_NE(editor, nullptr) << "column " << column;
    EXPECT_EQ(editor->text().toStdString(), shown[column]);
    EXPECT_EQ(editor->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_NE(editor->maxLength(), 255);
  }
  QLineEdit* editor = openEditor(0, korsi::ui::ArchiveTableModel::NoteColumn);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->maxLength(), 255);
  EXPECT_EQ(editor->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

  const auto pasteAndStore = [&](const QString& text) {
    editor->clear();
    editor->insert(text);  // as a paste puts it in
    korsi::test::pressKey(editor, Qt::Key_Return);  // the grid stores the text once events run
    korsi::test::processUntil([&] { return grid()->indexWidget(grid()->currentIndex()) == nullptr; });
    return QString::fromStdString(store->row(0).prim.value_or(""));
  };
  EXPECT_EQ(pasteAndStore(QString(300, QChar(u'Ж'))), QString(255, QChar(u'Ж')));
  // The whole note, cut in its cell, shows when pointed at.
  EXPECT_EQ(grid()->model()->index(0, 3).data(Qt::ToolTipRole).toString(), QString(255, QChar(u'Ж')));

  // The editor's cut at 255 never leaves half of a character outside the basic plane.
  editor = openEditor(0, korsi::ui::ArchiveTableModel::NoteColumn);
  ASSERT_NE(editor, nullptr);
  const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
  EXPECT_EQ(pasteAndStore(QString(254, QChar(u'x')) + smile), QString(254, QChar(u'x')));
  editor = openEditor(0, korsi::ui::ArchiveTableModel::NoteColumn);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(pasteAndStore(QString(253, QChar(u'x')) + smile), QString(253, QChar(u'x')) + smile);
}

}  // namespace
