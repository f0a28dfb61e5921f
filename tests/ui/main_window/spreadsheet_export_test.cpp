// "&Экспорт в Excel" in the main window over a real archive table: the
// workbook read back with openpyxl, the messages, and what a failure leaves.

#include <gtest/gtest.h>

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/qt_helpers.h"
#include "tests/support/workbook_cells.h"
#include "tests/ui/main_window/archive_window.h"
#include "ui/main_window/spreadsheet_export.h"

namespace {

using korsi::test::ArchiveWindow;

class ExportWindow : public ArchiveWindow {
 protected:
  ExportWindow() { std::filesystem::create_directory(out); }

  std::vector<std::string> outFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path out = dir.path() / "out";
  korsi::test::Dialog exportDialog;
  korsi::SpreadsheetExport exporter{*store, form, exportDialog.asker()};
};

TEST_F(ExportWindow, WritesTheRowsUnderTheGridsTitlesAndPutsTheGridOnTheFirstRow) {
  addRows(3);
  ASSERT_TRUE(store->setNote(0, "крыло слева"));  // the note is not exported
  // A thickness still being typed is part of what is exported.
  QLineEdit* editor = openEditor(2, 2);
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("2,5"));
  moveTo(1, 1);
  const std::string path = (out / "archive.xlsx").string();
  exportDialog.answers = {path};

  trigger("Excel1");

  EXPECT_EQ(exportDialog.shown, 1);
  EXPECT_TRUE(boxes.boxes.empty());
  const korsi::test::WorkbookCells cells = korsi::test::readWorkbookCells(path);
  ASSERT_EQ(cells.error, "");
  EXPECT_EQ(cells.lines, (std::vector<std::string>{
                             "Лист1\tA1\ts\t№ измерения",
                             "Лист1\tB1\ts\tДата/Время",
                             "Лист1\tC1\ts\tТолщина, мм",
                             "Лист1\tD1\ts\tПримечание",
                             "Лист1\tA2\ts\t1",
                             "Лист1\tB2\ts\t09.03.2009 14:30:01",
                             "Лист1\tC2\tn\t0.125",
                             "Лист1\tA3\ts\t2",
                             "Лист1\tB3\ts\t09.03.2009 14:30:02",
                             "Лист1\tC3\tn\t0.25",
                             "Лист1\tA4\ts\t3",
                             "Лист1\tB4\ts\t09.03.2009 14:30:03",
                             "Лист1\tC4\tn\t2.5",
                         }));
  EXPECT_EQ(outFiles(), std::vector<std::string>{"archive.xlsx"});
  EXPECT_EQ(currentRow(), 0);
}

TEST_F(ExportWindow, AnEmptyTableIsRefusedWithoutADialog) {
  trigger("Excel1");

  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, "Ошибка");
  EXPECT_EQ(boxes.boxes[0].text, "Нет данных для экспорта");
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
  EXPECT_FALSE(boxes.boxes[0].hasParent);
  EXPECT_EQ(exportDialog.shown, 0);
  EXPECT_TRUE(outFiles().empty());
}

TEST_F(ExportWindow, ACancelledDialogWritesNothing) {
  addRows(2);
  exportDialog.answers = {std::nullopt};
  trigger("Excel1");
  EXPECT_EQ(exportDialog.shown, 1);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(outFiles().empty());
}

TEST_F(ExportWindow, AFailedWriteNamesTheFileAndTheReasonAndLeavesNoFile) {
  addRows(2);
  moveTo(1);
  std::filesystem::create_directory(out / "folder");
  struct Case {
    std::string path;
    const char* reason;
  };
  const Case cases[] = {
      {(out / "missing" / "archive.xlsx").string(), "Папка не существует"},
      // Written whole beside it, the workbook cannot take a folder's name.
      {(out / "folder").string(), "Под этим именем уже есть папка"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    boxes.boxes.clear();
    exportDialog.answers = {c.path};
    trigger("Excel1");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, "Ошибка");
    EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.boxes[0].text.toStdString(),
              "Не удалось сохранить таблицу в файл «" + c.path + "».\n" + c.reason);
    EXPECT_EQ(outFiles(), std::vector<std::string>{"folder"});
    EXPECT_TRUE(std::filesystem::is_empty(out / "folder"));
    EXPECT_EQ(currentRow(), 1);  // the grid stays where it was
  }
}

TEST(ExportDialog, OffersExcelWorkbooksAndAnyFile) {
  QWidget owner;
  QString name;
  QStringList filters;
  QString suffix;
  QTimer::singleShot(0, [&] {
    korsi::test::processUntil([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr; });
    if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      name = dialog->objectName();
      filters = dialog->nameFilters();
      suffix = dialog->defaultSuffix();
      dialog->reject();
    }
  });
  EXPECT_EQ(korsi::programExportDialog(&owner)(), std::nullopt);
  EXPECT_EQ(name, "SaveDialog2");
  EXPECT_EQ(filters, (QStringList{"Файлы Excel(*.xlsx)", "All files(*.*)"}));
  EXPECT_EQ(suffix, "xlsx");
}

}  // namespace
