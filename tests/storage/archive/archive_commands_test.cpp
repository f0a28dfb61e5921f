#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "storage/archive/archive_commands.h"
#include "storage/recordset/data_file.h"
#include "tests/storage/archive/database_files.h"
#include "tests/support/log_capture.h"
#include "tests/support/tempdir.h"

namespace {

using korsi::ArchiveRow;
using korsi::DateTime;
using korsi::archive::ArchiveCommands;
using korsi::archive::ArchiveStore;
using korsi::archive::Backend;
using korsi::test::readFile;
using korsi::test::writeFile;

// A file dialog that answers with a fixed name (or is cancelled) and counts
// how often it was shown.
struct Dialog {
  std::optional<std::string> answer;
  int shown = 0;
  ArchiveCommands::AskFileName asker() {
    return [this] {
      ++shown;
      return answer;
    };
  }
};

class Commands : public ::testing::Test {
 protected:
  static std::unique_ptr<ArchiveStore> openStore(const korsi::archive::StorePaths& paths) {
    korsi::test::makeDatabase(paths.database);
    return ArchiveStore::openAtStartup(paths);
  }

  void addRows(int count) {
    for (int i = 0; i < count; ++i) {
      ASSERT_TRUE(store->addMeasurement(100 + i, korsi::measurementDateText(9, 3, 9, 14, 30, i), 0.5 * i));
    }
  }

  std::vector<ArchiveRow> fileRows(const std::string& path) {
    const korsi::recordset::RowsResult read = korsi::recordset::readDataFile(path);
    EXPECT_TRUE(read.ok()) << read.error;
    return read.rows;
  }

  korsi::test::TempDir dir;
  korsi::archive::StorePaths paths{dir.file("korsi7.mdb"), dir.file("korsi7.mdb.backup")};
  korsi::test::LogCapture log;
  std::unique_ptr<ArchiveStore> store = openStore(paths);
  ArchiveCommands commands{*store};
};

TEST_F(Commands, TheDialogTextsAreTheSameForQt) {
  // The Qt forms list the descriptions of the Windows forms, which carry
  // their patterns in parentheses.
  const auto descriptions = [](std::string filter) {
    std::string out;
    for (int part = 0; !filter.empty(); ++part) {
      const std::size_t bar = filter.find('|');
      const std::string piece = filter.substr(0, bar);
      filter = bar == std::string::npos ? "" : filter.substr(bar + 1);
      if (part % 2 == 0) out += (out.empty() ? "" : ";;") + piece;
    }
    return out;
  };
  EXPECT_EQ(descriptions(korsi::archive::kSaveDialogFilter), korsi::archive::kSaveDialogQtFilter);
  EXPECT_EQ(descriptions(korsi::archive::kOpenDialogFilter), korsi::archive::kOpenDialogQtFilter);
}

TEST_F(Commands, ClearAndDeleteOnAnEmptyTableDoNothing) {
  EXPECT_EQ(commands.clearTable(), std::nullopt);
  EXPECT_EQ(commands.deleteRow(std::nullopt), std::nullopt);
  EXPECT_EQ(commands.deleteRow(0), std::nullopt);
  EXPECT_TRUE(store->empty());
}

TEST_F(Commands, DeleteTakesTheCurrentRowAndClearTakesEveryRow) {
  addRows(4);
  EXPECT_EQ(commands.deleteRow(1), std::nullopt);
  ASSERT_EQ(store->rowCount(), 3u);
  EXPECT_EQ(store->row(1).num, 102);
  EXPECT_EQ(commands.clearTable(), std::nullopt);
  EXPECT_TRUE(store->empty());
  EXPECT_TRUE(korsi::test::tableRows(paths.database).empty());
}

TEST_F(Commands, FirstSaveAsksAndSetsTheCaptionLaterSavesWriteToTheSameFile) {
  addRows(2);
  const std::string first = dir.file("first.ks");
  Dialog dialog{first};
  auto outcome = commands.save(dialog.asker());
  EXPECT_TRUE(outcome.saved);
  EXPECT_EQ(outcome.caption, first);
  EXPECT_EQ(outcome.error, std::nullopt);
  EXPECT_EQ(dialog.shown, 1);
  EXPECT_EQ(commands.rememberedName(), first);
  EXPECT_EQ(fileRows(first), store->rows());

  addRows(1);
  dialog.answer = dir.file("never.ks");
  outcome = commands.save(dialog.asker());
  EXPECT_TRUE(outcome.saved);
  EXPECT_EQ(outcome.caption, std::nullopt);
  EXPECT_EQ(dialog.shown, 1);
  EXPECT_EQ(fileRows(first).size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(dir.file("never.ks")));

  // Loading another file changes neither the name nor the caption: Save
  // still writes to the first file.
  const std::string other = dir.file("other.ks");
  ASSERT_EQ(korsi::recordset::writeDataFile(other, {ArchiveRow{1, DateTime{2001, 1, 1, 0, 0, 0}, 9.0, "чужой"}}), "");
  Dialog openDialog{other};
  EXPECT_TRUE(commands.load(openDialog.asker()).loaded);
  outcome = commands.save(dialog.asker());
  EXPECT_TRUE(outcome.saved);
  EXPECT_EQ(outcome.caption, std::nullopt);
  EXPECT_EQ(dialog.shown, 1);
  EXPECT_EQ(fileRows(first), fileRows(other));
}

TEST_F(Commands, ACancelledOrFailedFirstSaveRemembersNothing) {
  addRows(1);
  Dialog dialog;
  auto outcome = commands.save(dialog.asker());
  EXPECT_FALSE(outcome.saved);
  EXPECT_EQ(outcome.error, std::nullopt);
  EXPECT_EQ(outcome.caption, std::nullopt);

  writeFile(dir.file("plain"), "a file, not a folder");
  dialog.answer = dir.file("plain") + "/data.ks";
  outcome = commands.save(dialog.asker());
  EXPECT_FALSE(outcome.saved);
  ASSERT_TRUE(outcome.error);
  EXPECT_EQ(outcome.error->caption, "Ошибка");
  EXPECT_EQ(outcome.error->text.rfind("Не удалось сохранить файл " + *dialog.answer + "\n", 0), 0u)
      << outcome.error->text;
  EXPECT_EQ(outcome.caption, std::nullopt);
  EXPECT_EQ(commands.rememberedName(), "");

  dialog.answer = dir.file("good.ks");
  outcome = commands.save(dialog.asker());
  EXPECT_TRUE(outcome.saved);
  EXPECT_EQ(dialog.shown, 3);
  EXPECT_EQ(commands.rememberedName(), dir.file("good.ks"));
}

TEST_F(Commands, ANameWithoutExtensionGetsKs) {
  addRows(1);
  std::filesystem::create_directory(dir.file("v1.2"));
  Dialog dialog{dir.file("v1.2") + "/data"};
  const auto outcome = commands.save(dialog.asker());
  EXPECT_EQ(outcome.caption, dir.file("v1.2") + "/data.ks");
  EXPECT_TRUE(std::filesystem::exists(dir.file("v1.2") + "/data.ks"));
  EXPECT_EQ(korsi::archive::withDefaultSuffix("data.xml"), "data.xml");
  EXPECT_EQ(korsi::archive::withDefaultSuffix("C:\\a.b\\data"), "C:\\a.b\\data.ks");
}

TEST_F(Commands, ASaveIntoAnUnwritablePlaceLeavesTheOldFileWhole) {
  addRows(2);
  const std::string path = dir.file("kept.ks");
  Dialog dialog{path};
  ASSERT_TRUE(commands.save(dialog.asker()).saved);
  const std::string before = readFile(path);

  addRows(3);
  std::filesystem::create_directory(path + ".tmp");  // root ignores permissions; a folder blocks the write
  const auto outcome = commands.save(dialog.asker());
  EXPECT_FALSE(outcome.saved);
  ASSERT_TRUE(outcome.error);
  EXPECT_EQ(outcome.error->caption, "Ошибка");
  EXPECT_EQ(readFile(path), before);
}

class CommandsRoundTrip : public Commands, public ::testing::WithParamInterface<const char*> {};

TEST_P(CommandsRoundTrip, SavedRowsLoadBackIntoTheTable) {
  std::string note255;
  for (int i = 0; i < 255; ++i) note255 += "Ж";
  std::string wide255 = "a";
  for (int i = 0; i < 127; ++i) wide255 += "\xF0\x9F\x98\x80";
  const std::vector<ArchiveRow> rows = {
      ArchiveRow{300, DateTime{2009, 3, 9, 14, 30, 5}, 1.0, {}},
      ArchiveRow{INT32_MIN, DateTime{2009, 3, 9, 0, 0, 0}, 0.0, ""},
      ArchiveRow{INT32_MAX, DateTime{2099, 12, 31, 23, 59, 59}, 1e-3, note255},
      ArchiveRow{65535, DateTime{2000, 1, 1, 0, 0, 0}, static_cast<double>(0.2f), wide255},
      ArchiveRow{-7, DateTime{2009, 3, 9, 6, 22, 5}, -1.5, "Кириллица 'и' \"знаки\" <&>"},
      ArchiveRow{-7, DateTime{2009, 3, 9, 6, 22, 5}, -1.5, "Кириллица 'и' \"знаки\" <&>"},
  };
  for (const ArchiveRow& row : rows) ASSERT_TRUE(store->appendRow(row));

  const std::string path = dir.file(GetParam());
  Dialog dialog{path};
  ASSERT_TRUE(commands.save(dialog.asker()).saved);
  const bool xml = korsi::recordset::formatForFileName(path) == korsi::recordset::DataFormat::Xml;
  EXPECT_EQ(readFile(path).rfind(xml ? "<xml " : "\x01\x07TG!", 0), 0u);

  ASSERT_EQ(commands.clearTable(), std::nullopt);
  const auto loaded = commands.load(dialog.asker());
  EXPECT_TRUE(loaded.loaded);
  EXPECT_EQ(loaded.error, std::nullopt);
  EXPECT_EQ(store->rows(), rows);
  EXPECT_EQ(store->backend(), Backend::DataFile);
}

INSTANTIATE_TEST_SUITE_P(Names, CommandsRoundTrip, ::testing::Values("rows.ks", "rows.xml", "ROWS.XML"));

struct BadFile {
  const char* name;
  std::string fileName;
  void (*make)(const std::string& path);
};

TEST_F(Commands, AFailedLoadLeavesTheTableWithItsRowsAndBackEnd) {
  addRows(2);
  const std::vector<ArchiveRow> before = store->rows();
  const std::string own = korsi::recordset::encodeDataFile(korsi::recordset::DataFormat::Adtg, before);
  writeFile(dir.file("own.ks"), own);
  const std::vector<BadFile> cases = {
      {"missing", "missing.ks", [](const std::string&) {}},
      {"empty", "empty.ks", [](const std::string& p) { writeFile(p, ""); }},
      {"truncated", "truncated.ks",
       [](const std::string& p) {
         const std::string bytes = readFile(p.substr(0, p.rfind('/')) + "/own.ks");
         writeFile(p, bytes.substr(0, bytes.size() - 3));
       }},
      {"foreign text", "letter.ks", [](const std::string& p) { writeFile(p, "Dear user,\n"); }},
      {"another table", "publishers.ks",
       [](const std::string& p) { writeFile(p, readFile(KORSI_TEST_DATA_DIR "/adtg-ms-example-4.5.bin")); }},
      {"broken xml", "broken.xml", [](const std::string& p) { writeFile(p, "<xml><rs:data>"); }},
      {"folder", "folder.ks", [](const std::string& p) { std::filesystem::create_directory(p); }},
  };
  for (const BadFile& c : cases) {
    const std::string path = dir.file(c.fileName);
    c.make(path);
    Dialog dialog{path};
    const auto outcome = commands.load(dialog.asker());
    EXPECT_FALSE(outcome.loaded) << c.name;
    ASSERT_TRUE(outcome.error) << c.name;
    EXPECT_EQ(outcome.error->caption, "Ошибка") << c.name;
    EXPECT_EQ(outcome.error->text.rfind("Не удалось открыть файл " + path + "\n", 0), 0u) << outcome.error->text;
    EXPECT_EQ(store->rows(), before) << c.name;
    EXPECT_EQ(store->backend(), Backend::Database) << c.name;
  }
  // The database is still the table's back end.
  addRows(1);
  EXPECT_EQ(korsi::test::tableRows(paths.database).size(), 3u);
  // A cancelled dialog does nothing.
  Dialog cancelled;
  const auto outcome = commands.load(cancelled.asker());
  EXPECT_FALSE(outcome.loaded);
  EXPECT_EQ(outcome.error, std::nullopt);
}

}  // namespace
