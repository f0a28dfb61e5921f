#include <grp.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "storage/archive/archive_store.h"
#include "tests/storage/archive/database_files.h"
#include "tests/support/error_box_recorder.h"
#include "tests/support/log_capture.h"
#include "tests/support/tempdir.h"
#include "tests/support/time_limit.h"

namespace {

using korsi::ArchiveRow;
using korsi::DateTime;
using korsi::archive::ArchiveStore;
using korsi::archive::Backend;
using korsi::test::LogCapture;
using korsi::test::tableRows;
using Entry = LogCapture::Entry;

const std::vector<Entry> kRestoreLog = {{"ERR", "Не могу открыть базу данных"}, {"INF", "восстановим..."}};

class StoreStart : public ::testing::Test {
 protected:
  korsi::test::TempDir dir;
  korsi::archive::StorePaths paths{dir.file("korsi7.mdb"), dir.file("korsi7.mdb.backup")};
  LogCapture log;
  korsi::test::ErrorBoxRecorder boxes;

  void expectRestoreBox() {
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Ошибка при открытии файла базы данных. Перезапустите программу.");
    EXPECT_EQ(boxes.boxes[0].caption, "Ошибка");
    EXPECT_EQ(boxes.boxes[0].icon, korsi::BoxIcon::Error);
  }
};

TEST_F(StoreStart, AWorkingDatabaseIsEmptiedAtEveryStart) {
  korsi::test::makeDatabase(paths.database, "(1, '2009-03-09 14:30:05', 1.5, NULL), (2, NULL, NULL, 'x')");
  korsi::test::makeDatabase(paths.backup, "(9, NULL, NULL, NULL)");
  auto store = ArchiveStore::openAtStartup(paths);
  EXPECT_EQ(store->rowCount(), 0u);
  EXPECT_EQ(store->backend(), Backend::Database);
  EXPECT_TRUE(tableRows(paths.database).empty());
  EXPECT_TRUE(log.entries().empty());
  EXPECT_TRUE(boxes.boxes.empty());
}

struct BrokenDatabase {
  const char* name;
  void (*make)(const std::string& path);
};

class StoreRestore : public StoreStart, public ::testing::WithParamInterface<BrokenDatabase> {};

TEST_P(StoreRestore, ABrokenDatabaseIsRestoredFromTheBackupWithItsRows) {
  GetParam().make(paths.database);
  korsi::test::makeDatabase(paths.backup,
                            "(1, '2009-03-09 14:30:05', 1.5, NULL), (2, '2009-03-09 00:00:00', 'NaN', 'записка'),"
                            "(NULL, NULL, NULL, '')");
  auto store = ArchiveStore::openAtStartup(paths);

  EXPECT_EQ(log.entries(), kRestoreLog);
  expectRestoreBox();
  // The restored table is not emptied: it shows the backup's rows.
  ASSERT_EQ(store->rowCount(), 3u);
  EXPECT_EQ(store->row(0), (ArchiveRow{1, DateTime{2009, 3, 9, 14, 30, 5}, 1.5, {}}));
  EXPECT_EQ(store->row(1).prim, "записка");
  EXPECT_TRUE(std::isnan(*store->row(1).h));
  EXPECT_EQ(store->row(2), (ArchiveRow{{}, {}, {}, ""}));
  EXPECT_EQ(store->backend(), Backend::Database);
  // And it works as the database from then on.
  ASSERT_TRUE(store->addMeasurement(4, "05.03.2009 14:07:09", 0.5));
  EXPECT_EQ(tableRows(paths.database).back(), "4|2009-03-05 14:07:09|0.5|NULL");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, StoreRestore,
    ::testing::Values(BrokenDatabase{"missing", [](const std::string&) {}},
                      BrokenDatabase{"not_a_database",
                                     [](const std::string& p) { korsi::test::writeFile(p, std::string(4096, 'x')); }},
                      BrokenDatabase{"empty_file", [](const std::string& p) { korsi::test::writeFile(p, ""); }},
                      BrokenDatabase{"no_table",
                                     [](const std::string& p) {
                                       korsi::test::makeDatabase(p);
                                       korsi::test::execSql(p, "DROP TABLE archive; CREATE TABLE other (x)");
                                     }},
                      BrokenDatabase{"column_missing",
                                     [](const std::string& p) {
                                       korsi::test::makeDatabase(p);
                                       korsi::test::execSql(p, "DROP TABLE archive; CREATE TABLE archive (num, date, h)");
                                     }},
                      // A table with more than the program's own: nothing in it runs, it is restored.
                      BrokenDatabase{"a_trigger_that_refills_the_table",
                                     [](const std::string& p) {
                                       korsi::test::makeDatabase(p, "(1, NULL, 2.5, NULL)");
                                       korsi::test::execSql(p, "CREATE TRIGGER keep AFTER DELETE ON archive BEGIN "
                                                               "INSERT INTO archive VALUES (old.num, old.date, old.h, "
                                                               "old.Prim); END");
                                     }},
                      BrokenDatabase{"an_endless_view",
                                     [](const std::string& p) {
                                       korsi::test::makeDatabase(p);
                                       korsi::test::execSql(p, "CREATE VIEW v AS WITH RECURSIVE c(x) AS (SELECT 1 "
                                                               "UNION ALL SELECT x+1 FROM c) SELECT x FROM c");
                                     }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoreStart, TheRestoreRemovesTheBrokenDatabasesJournal) {
  // A database whose write-ahead journal still holds committed rows...
  korsi::test::makeDatabase(paths.database);
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(paths.database.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
                     "INSERT INTO archive VALUES (66, NULL, NULL, 'stale'), (67, NULL, NULL, 'stale')",
                 nullptr, nullptr, nullptr);
    std::filesystem::copy_file(paths.database + "-wal", dir.file("saved-wal"));
    sqlite3_close(db);
  }
  // ...is lost, and its journal lies there alone.
  std::filesystem::remove(paths.database);
  std::filesystem::copy_file(dir.file("saved-wal"), paths.database + "-wal",
                             std::filesystem::copy_options::overwrite_existing);
  korsi::test::makeDatabase(paths.backup, "(1, NULL, NULL, 'backup')");

  auto store = ArchiveStore::openAtStartup(paths);
  EXPECT_EQ(log.entries(), kRestoreLog);
  ASSERT_EQ(store->rowCount(), 1u);
  EXPECT_EQ(store->row(0).prim, "backup");
}

// SQLite's file layer without shared memory made the default, as on a file
// system where the write-ahead journal cannot be had.
class NoSharedMemory {
 public:
  NoSharedMemory() : previous_(sqlite3_vfs_find(nullptr)) {
    sqlite3_vfs* withoutShm = sqlite3_vfs_find("unix-dotfile");
    EXPECT_NE(withoutShm, nullptr);
    if (withoutShm) sqlite3_vfs_register(withoutShm, 1);
  }
  ~NoSharedMemory() { sqlite3_vfs_register(previous_, 1); }
  NoSharedMemory(const NoSharedMemory&) = delete;
  NoSharedMemory& operator=(const NoSharedMemory&) = delete;

 private:
  sqlite3_vfs* previous_;
};

TEST_F(StoreStart, WithoutTheWriteAheadJournalTheRollbackJournalKeepsEveryChange) {
  korsi::test::makeDatabase(paths.database, "(1, NULL, NULL, 'прошлый раз')");
  korsi::test::makeDatabase(paths.backup, "(9, NULL, NULL, 'backup')");
  const NoSharedMemory noWal;
  auto store = ArchiveStore::openAtStartup(paths);
  EXPECT_TRUE(boxes.boxes.empty()) << "no restore";
  EXPECT_EQ(log.entries(), (std::vector<Entry>{{"INF", korsi::archive::kRollbackJournalLog}}));
  EXPECT_TRUE(store->empty());
  ASSERT_TRUE(store->addMeasurement(4, "05.03.2009 14:07:09", 0.5));
  EXPECT_EQ(tableRows(paths.database), (std::vector<std::string>{"4|2009-03-05 14:07:09|0.5|NULL"}));
  EXPECT_EQ(korsi::test::queryRows(paths.database, "PRAGMA journal_mode"), (std::vector<std::string>{"delete"}));
  EXPECT_FALSE(std::filesystem::exists(paths.database + "-wal"));
}

// Runs `open` in a child process as a user who may not write what root made
// read-only here (root writes everything), and returns what it reports.
std::string asAnotherUser(const std::function<std::string()>& open) {
  int ends[2];
  if (pipe(ends) != 0) return "no pipe";
  const pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    std::string report;
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
      report = "cannot change user";
    } else {
      report = open();
    }
    [[maybe_unused]] const auto written = write(ends[1], report.data(), report.size());
    _exit(0);
  }
  close(ends[1]);
  std::string report;
  char buffer[512];
  for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<std::size_t>(n));
  close(ends[0]);
  waitpid(child, nullptr, 0);
  return report;
}

struct ReadOnlyCase {
  const char* name;
  std::string folder;  // under the test's folder
  mode_t folderMode;
  mode_t fileMode;
  std::string cause;  // "{folder}" stands for the folder's path
};

std::ostream& operator<<(std::ostream& out, const ReadOnlyCase& c) { return out << c.name; }

class StoreReadOnly : public StoreStart, public ::testing::WithParamInterface<ReadOnlyCase> {};

TEST_P(StoreReadOnly, ADatabaseThatMayNotBeWrittenIsNamedWithTheCauseAndNotRestored) {
  const ReadOnlyCase& c = GetParam();
  const std::filesystem::path folder = dir.path() / c.folder;
  std::filesystem::create_directories(folder);
  const korsi::archive::StorePaths here{(folder / "korsi7.mdb").string(), (folder / "korsi7.mdb.backup").string()};
  korsi::test::makeDatabase(here.database, "(1, NULL, NULL, 'прошлый раз')");
  korsi::test::makeDatabase(here.backup, "(9, NULL, NULL, 'backup')");
  ASSERT_EQ(chmod(here.database.c_str(), c.fileMode), 0);
  ASSERT_EQ(chmod(here.backup.c_str(), 0644), 0);
  ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);

  const std::string report = asAnotherUser([&] {
    korsi::test::ErrorBoxRecorder childBoxes;
    try {
      auto store = ArchiveStore::openAtStartup(here);
      return std::string("opened");
    } catch (const korsi::archive::OpenError& e) {
      return std::to_string(childBoxes.boxes.size()) + " boxes: " + e.what();
    }
  });
  std::string cause = c.cause;
  if (const std::size_t at = cause.find("{folder}"); at != std::string::npos) cause.replace(at, 8, folder.string());
  EXPECT_EQ(report, "0 boxes: " + korsi::archive::readOnlyDatabaseText(here.database, cause));
  EXPECT_EQ(tableRows(here.database), (std::vector<std::string>{"1|NULL|NULL|прошлый раз"})) << "left as it was";
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, StoreReadOnly,
    ::testing::Values(ReadOnlyCase{"FileReadOnly", "files", 0777, 0444, "нет права на запись в файл"},
                      ReadOnlyCase{"FolderReadOnly", "folder", 0555, 0666, "нет права на запись в папку {folder}"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Unrestorable {
  const char* name;
  void (*makeBackup)(const std::string& path);
  const char* cause;  // why the backup is not copied
};

// A backup that is no sound archive is never copied over the database (it
// may come from anywhere): the database stays as it was and start-up ends
// with the reason.
TEST_F(StoreStart, WithoutAUsableBackupTheSecondOpenEndsStartUp) {
  const std::vector<Unrestorable> cases = {
      {"no backup", [](const std::string&) {}, "unable to open database file"},
      {"backup not a database", [](const std::string& p) { korsi::test::writeFile(p, std::string(4096, 'y')); },
       "file is not a database"},
      {"backup with an endless view",
       [](const std::string& p) {
         korsi::test::makeDatabase(p);
         korsi::test::execSql(p, "DROP TABLE archive; CREATE VIEW archive AS WITH RECURSIVE c(x) AS (SELECT 1 UNION "
                                 "ALL SELECT x+1 FROM c) SELECT x AS num, NULL AS date, 0.1 AS h, NULL AS Prim FROM c");
       },
       "в файле есть представление «archive», а не таблица"},
      {"backup with a trigger",
       [](const std::string& p) {
         korsi::test::makeDatabase(p);
         korsi::test::execSql(p, "CREATE TRIGGER t AFTER DELETE ON archive BEGIN SELECT 1; END");
       },
       "в файле есть триггер «t»"},
  };
  for (const Unrestorable& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(paths.backup);
    korsi::test::writeFile(paths.database, "not a database, left as it is");
    c.makeBackup(paths.backup);
    LogCapture caseLog;
    korsi::test::ErrorBoxRecorder caseBoxes;
    const std::string why = "резервная копия " + paths.backup + " не годится: " + c.cause;
    try {
      korsi::test::returnsWithin(korsi::test::kHangLimit, [&] { return ArchiveStore::openAtStartup(paths); });
      ADD_FAILURE() << "opened";
    } catch (const korsi::archive::OpenError& e) {
      EXPECT_TRUE(std::string(e.what()).ends_with("; " + why)) << e.what();
    }
    EXPECT_EQ(caseLog.entries(),
              (std::vector<Entry>{kRestoreLog[0], kRestoreLog[1], {"ERR", "Database restore fail"}, {"ERR", why}}));
    EXPECT_EQ(caseBoxes.boxes.size(), 1u);
    EXPECT_EQ(korsi::test::readFile(paths.database), "not a database, left as it is");
  }
}

TEST_F(StoreStart, TheBuildsBackupRestoresAnEmptyWorkingTable) {
  std::filesystem::copy_file(KORSI_BUILT_BACKUP, paths.backup);
  auto store = ArchiveStore::openAtStartup(paths);
  EXPECT_EQ(log.entries(), kRestoreLog);
  EXPECT_TRUE(store->empty());
  ASSERT_TRUE(store->addMeasurement(1, "05.03.2009 14:07:09", 0.5));
  EXPECT_EQ(tableRows(paths.database).size(), 1u);
  // The backup itself is only read.
  EXPECT_TRUE(tableRows(paths.backup).empty());
}

TEST_F(StoreStart, FirstStartProvidesAMissingBackupAndKeepsAnExistingOne) {
  ASSERT_EQ(korsi::archive::provideBackup(paths.backup), "");
  EXPECT_TRUE(tableRows(paths.backup).empty());
  korsi::test::execSql(paths.backup, "INSERT INTO archive VALUES (1, NULL, NULL, 'kept')");
  ASSERT_EQ(korsi::archive::provideBackup(paths.backup), "");
  EXPECT_EQ(tableRows(paths.backup), (std::vector<std::string>{"1|NULL|NULL|kept"}));
  EXPECT_NE(korsi::archive::provideBackup(dir.file("no/such/dir/korsi7.mdb.backup")), "");
}

class StoreOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    korsi::test::makeDatabase(paths.database);
    store = ArchiveStore::openAtStartup(paths);
  }

  korsi::test::TempDir dir;
  korsi::archive::StorePaths paths{dir.file("korsi7.mdb"), dir.file("korsi7.mdb.backup")};
  LogCapture log;
  std::unique_ptr<ArchiveStore> store;
};

TEST_F(StoreOperations, EveryChangeIsInTheFileBeforeTheCallReturns) {
  ASSERT_TRUE(store->addMeasurement(300, "09.03.2009 14:30:05", static_cast<double>(1.0f)));
  ASSERT_TRUE(store->addMeasurement(301, "09.03.2009 00:00:00", static_cast<double>(0.2f)));
  EXPECT_EQ(tableRows(paths.database),
            (std::vector<std::string>{"300|2009-03-09 14:30:05|1.0|NULL", "301|2009-03-09 00:00:00|0.200000002980232|NULL"}));
  ASSERT_TRUE(store->setNote(0, "Ж \xF0\x9F\x98\x80"));
  EXPECT_EQ(tableRows(paths.database)[0], "300|2009-03-09 14:30:05|1.0|Ж \xF0\x9F\x98\x80");
  ASSERT_TRUE(store->removeRow(0));
  EXPECT_EQ(tableRows(paths.database).size(), 1u);
  ASSERT_TRUE(store->clear());
  EXPECT_TRUE(tableRows(paths.database).empty());
  EXPECT_TRUE(store->empty());
  EXPECT_TRUE(log.entries().empty());
}

TEST_F(StoreOperations, EqualRowsAreEditedAndDeletedOneByOne) {
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(store->addMeasurement(5, "05.03.2009 14:07:09", 0.5));
  ASSERT_TRUE(store->setNote(1, "вторая"));
  EXPECT_EQ(tableRows(paths.database), (std::vector<std::string>{"5|2009-03-05 14:07:09|0.5|NULL",
                                                                 "5|2009-03-05 14:07:09|0.5|вторая",
                                                                 "5|2009-03-05 14:07:09|0.5|NULL"}));
  ASSERT_TRUE(store->removeRow(0));
  ASSERT_TRUE(store->removeRow(1));
  ASSERT_EQ(store->rowCount(), 1u);
  EXPECT_EQ(store->row(0).prim, "вторая");
  EXPECT_EQ(tableRows(paths.database), (std::vector<std::string>{"5|2009-03-05 14:07:09|0.5|вторая"}));
}

TEST_F(StoreOperations, ADateThePatternRefusesIsReportedAndNothingIsAdded) {
  struct Case {
    const char* name;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"year 105", korsi::measurementDateText(5, 3, 105, 14, 7, 9)},
      {"31 February", korsi::measurementDateText(31, 2, 9, 14, 7, 9)},
      {"hour 24", korsi::measurementDateText(5, 3, 9, 24, 0, 0)},
      {"month 0", korsi::measurementDateText(5, 0, 9, 14, 7, 9)},
  };
  for (const Case& c : cases) {
    LogCapture caseLog;
    EXPECT_FALSE(store->addMeasurement(7, c.text, 1.0)) << c.name;
    EXPECT_EQ(caseLog.entries(), (std::vector<Entry>{{"ERR", "Ошибка insert"}})) << c.name;
    EXPECT_TRUE(store->empty()) << c.name;
    EXPECT_TRUE(tableRows(paths.database).empty()) << c.name;
  }
  // Nothing was left half-filled to be stored with the next row.
  ASSERT_TRUE(store->addMeasurement(8, korsi::measurementDateText(5, 3, 9, 14, 7, 9), 2.0));
  EXPECT_EQ(tableRows(paths.database), (std::vector<std::string>{"8|2009-03-05 14:07:09|2.0|NULL"}));
}

TEST_F(StoreOperations, NotesLongerThan255UnitsAreRefused) {
  ASSERT_TRUE(store->addMeasurement(1, "05.03.2009 14:07:09", 1.0));
  EXPECT_TRUE(store->setNote(0, std::string(255, 'x')));
  EXPECT_FALSE(store->setNote(0, std::string(256, 'x')));
  std::string wide;
  for (int i = 0; i < 128; ++i) wide += "\xF0\x9F\x98\x80";  // 256 UTF-16 units
  EXPECT_FALSE(store->setNote(0, wide));
  EXPECT_EQ(store->row(0).prim, std::string(255, 'x'));
}

TEST_F(StoreOperations, LoadedRowsLiveInMemoryAndTheDatabaseIsNotUsedAgain) {
  ASSERT_TRUE(store->addMeasurement(1, "05.03.2009 14:07:09", 1.0));
  const std::vector<ArchiveRow> fileRows = {ArchiveRow{10, DateTime{2009, 1, 1, 0, 0, 0}, 0.1, "из файла"},
                                            ArchiveRow{10, DateTime{2009, 1, 1, 0, 0, 0}, 0.1, "из файла"}};
  ASSERT_TRUE(store->replaceWithFileRows(fileRows));
  EXPECT_EQ(store->backend(), Backend::DataFile);
  EXPECT_EQ(store->rows(), fileRows);
  ASSERT_TRUE(store->setNote(1, "другая"));
  ASSERT_TRUE(store->addMeasurement(11, "05.03.2009 14:07:09", 2.0));
  ASSERT_TRUE(store->removeRow(0));
  EXPECT_EQ(store->rowCount(), 2u);
  EXPECT_EQ(store->row(0).prim, "другая");
  EXPECT_EQ(tableRows(paths.database), (std::vector<std::string>{"1|2009-03-05 14:07:09|1.0|NULL"}));
}

// Edits of the grid's cells and its deletion of several rows, on either back
// end: what the table holds afterwards, and for the database what another
// connection reads from the file.
class StoreEdits : public StoreOperations, public ::testing::WithParamInterface<Backend> {
 protected:
  void SetUp() override {
    StoreOperations::SetUp();
    for (int i = 1; i <= 3; ++i) {
      ASSERT_TRUE(store->addMeasurement(i, korsi::measurementDateText(9, 3, 9, 14, 30, static_cast<unsigned>(i)),
                                        0.5 * i));
    }
    if (GetParam() == Backend::DataFile) {
      ASSERT_TRUE(store->replaceWithFileRows(store->rows()));
    }
    databaseBefore = tableRows(paths.database);
  }

  // The rows as the database file holds them, or (after a data file was
  // loaded) the unchanged file beside the rows in memory.
  std::vector<std::string> stored() const {
    if (GetParam() == Backend::DataFile) {
      EXPECT_EQ(tableRows(paths.database), databaseBefore);
      std::vector<std::string> out;
      for (const ArchiveRow& row : store->rows()) {
        out.push_back((row.num ? std::to_string(*row.num) : "NULL") + "|" +
                      (row.date ? korsi::isoText(*row.date, ' ') : "NULL") + "|" +
                      (row.h ? std::to_string(*row.h) : "NULL") + "|" + row.prim.value_or("NULL"));
      }
      return out;
    }
    return tableRows(paths.database);
  }

  std::vector<std::string> databaseBefore;
};

TEST_P(StoreEdits, AnUpdatedRowIsStoredWholeAndEmptyFieldsBecomeNull) {
  const std::vector<std::string> before = stored();
  ASSERT_TRUE(store->updateRow(1, ArchiveRow{-7, DateTime{2010, 1, 2, 3, 4, 5}, 0.125, "правка"}));
  ASSERT_TRUE(store->updateRow(2, ArchiveRow{}));
  const std::vector<std::string> after = stored();
  EXPECT_EQ(after[0], before[0]);
  EXPECT_EQ(store->row(1), (ArchiveRow{-7, DateTime{2010, 1, 2, 3, 4, 5}, 0.125, "правка"}));
  EXPECT_EQ(store->row(2), ArchiveRow{});
  if (GetParam() == Backend::Database) {
    EXPECT_EQ(after, (std::vector<std::string>{before[0], "-7|2010-01-02 03:04:05|0.125|правка", "NULL|NULL|NULL|NULL"}));
  }
}

TEST_P(StoreEdits, ARefusedUpdateLeavesTheRowAsItWas) {
  const std::vector<std::string> before = stored();
  const std::vector<ArchiveRow> rows = store->rows();
  struct Case {
    const char* name;
    std::size_t index;
    ArchiveRow row;
  };
  const std::vector<Case> cases = {
      {"no such row", 3, ArchiveRow{1, {}, {}, {}}},
      {"31 February", 0, ArchiveRow{1, DateTime{2009, 2, 31, 0, 0, 0}, {}, {}}},
      {"year 20105", 0, ArchiveRow{1, DateTime{20105, 3, 9, 0, 0, 0}, {}, {}}},
      {"note of 256", 0, ArchiveRow{1, {}, {}, std::string(256, 'x')}},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(store->updateRow(c.index, c.row)) << c.name;
    EXPECT_FALSE(store->lastError().empty()) << c.name;
    EXPECT_EQ(store->rows(), rows) << c.name;
    EXPECT_EQ(stored(), before) << c.name;
  }
}

TEST_P(StoreEdits, SeveralRowsAreDeletedTogether) {
  const std::vector<std::string> before = stored();
  EXPECT_FALSE(store->removeRows({0, 3}));  // one of them does not exist: none goes
  EXPECT_EQ(stored(), before);
  ASSERT_TRUE(store->removeRows({2, 0, 2}));
  EXPECT_EQ(stored(), (std::vector<std::string>{before[1]}));
  EXPECT_EQ(store->row(0).num, 2);
  ASSERT_TRUE(store->removeRows({}));
  EXPECT_EQ(store->rowCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreEdits, ::testing::Values(Backend::Database, Backend::DataFile),
                         [](const auto& info) { return info.param == Backend::Database ? "Database" : "DataFile"; });

}  // namespace
