#pragma once
// The main window over a real archive database in a temporary folder, with
// the table's commands and the grid's editing connected, for the tests of
// both.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTableView>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "storage/archive/archive_store.h"
#include "storage/recordset/data_file.h"
#include "tests/storage/archive/database_files.h"
#include "tests/support/log_capture.h"
#include "tests/support/qt_helpers.h"
#include "tests/support/tempdir.h"
#include "ui/main_window/archive_actions.h"
#include "ui/main_window/main_window.h"

namespace korsi::test {

// A file dialog answered by the test: the queued names in turn (nothing for
// a cancelled dialog), counting how often it was shown.
struct Dialog {
  std::deque<std::optional<std::string>> answers;
  int shown = 0;
  korsi::archive::ArchiveCommands::AskFileName asker() {
    return [this]() -> std::optional<std::string> {
      ++shown;
      if (answers.empty()) return std::nullopt;
      auto answer = answers.front();
      answers.pop_front();
      return answer;
    };
  }
};

class ArchiveWindow : public ::testing::Test {
 protected:
  static std::unique_ptr<korsi::archive::ArchiveStore> openStore(const korsi::archive::StorePaths& paths) {
    korsi::test::makeDatabase(paths.database);
    return korsi::archive::ArchiveStore::openAtStartup(paths);
  }

  ArchiveWindow() { form.show(); }

  void addRows(int count) {
    for (int i = 1; i <= count; ++i) {
      ASSERT_TRUE(actions.addMeasurement(i, korsi::measurementDateText(9, 3, 9, 14, 30, i), 0.125 * i));
    }
  }

  std::vector<int> nums() const {
    std::vector<int> out;
    for (const korsi::ArchiveRow& row : store->rows()) out.push_back(row.num.value_or(-1));
    return out;
  }

  std::vector<korsi::ArchiveRow> fileRows(const std::string& path) const {
    const korsi::recordset::RowsResult read = korsi::recordset::readDataFile(path);
    EXPECT_TRUE(read.ok()) << read.error;
    return read.rows;
  }

  bool enabled(const char* name) const { return korsi::test::enabledInItself(form.command(name)); }
  void trigger(const char* name) { form.command(name)->trigger(); }
  QTableView* grid() const { return form.grid(); }
  std::optional<int> currentRow() const {
    const QModelIndex current = grid()->currentIndex();
    return current.isValid() ? std::optional<int>(current.row()) : std::nullopt;
  }
  void moveTo(int row, int column = 0) { grid()->setCurrentIndex(grid()->model()->index(row, column)); }

  // Opens the grid's editor on a cell; nullptr when the cell cannot be edited.
  // The editor has the keyboard focus, as after a double click.
  QLineEdit* openEditor(int row, int column) {
    const QModelIndex cell = grid()->model()->index(row, column);
    grid()->setCurrentIndex(cell);
    grid()->edit(cell);
    auto* editor = qobject_cast<QLineEdit*>(grid()->indexWidget(cell));
    if (editor != nullptr) editor->setFocus();
    return editor;
  }

  korsi::test::TempDir dir;
  korsi::archive::StorePaths paths{dir.file("korsi7.mdb"), dir.file("korsi7.mdb.backup")};
  korsi::test::LogCapture log;
  std::unique_ptr<korsi::archive::ArchiveStore> store = openStore(paths);
  korsi::TMainForm form;
  Dialog saveDialog;
  Dialog openDialog;
  korsi::ArchiveActions actions{*store, form, korsi::FileDialogs{saveDialog.asker(), openDialog.asker()}};
  korsi::test::BoxCloser boxes;
};

}  // namespace korsi::test
