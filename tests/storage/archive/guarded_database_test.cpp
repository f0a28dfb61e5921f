// A database file from outside, opened guarded: a statement that would run
// for ever ends on the budget, a stop ends it at once from another thread,
// and a file with more than the expected tables is told apart. Each endless
// statement has a time limit of its own inside the test.

#include "storage/archive/guarded_database.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/storage/archive/database_files.h"
#include "tests/support/tempdir.h"
#include "tests/support/time_limit.h"

namespace {

namespace sqlite = korsi::archive::sqlite;

constexpr const char* kEndless =
    "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c) SELECT count(*) FROM c";

// Steps an endless statement; returns the guard's reason it ended.
std::string runEndless(sqlite::GuardedDatabase& file) {
  std::string error;
  sqlite::Statement st = sqlite::prepare(file.get(), kEndless, error);
  if (!st) return "not prepared: " + error;
  const int rc = sqlite3_step(st.get());
  return rc == SQLITE_ROW ? "a row" : file.errorText();
}

TEST(GuardedDatabase, AStatementThatRunsForEverEndsOnTheBudget) {
  korsi::test::TempDir dir;
  korsi::test::makeDatabase(dir.file("a.db"));
  sqlite::GuardedDatabase file(dir.file("a.db"), SQLITE_OPEN_READONLY, sqlite::ReadBudget{});
  ASSERT_TRUE(file) << file.openError();
  EXPECT_EQ(korsi::test::returnsWithin(korsi::test::kHangLimit, [&] { return runEndless(file); }),
            sqlite::kReadTooLongText);
  EXPECT_TRUE(file.cutShort());
  EXPECT_FALSE(file.stopped());
}

TEST(GuardedDatabase, AStopFromAnotherThreadEndsTheStatement) {
  korsi::test::TempDir dir;
  korsi::test::makeDatabase(dir.file("a.db"));
  std::atomic<bool> stop{false};
  sqlite::ReadBudget budget;
  budget.fixedSteps = ~std::uint64_t{0} / 2;  // no end of its own
  budget.stop = &stop;
  sqlite::GuardedDatabase file(dir.file("a.db"), SQLITE_OPEN_READONLY, budget);
  ASSERT_TRUE(file) << file.openError();
  std::thread stopper([&] { stop = true; });
  EXPECT_EQ(korsi::test::returnsWithin(korsi::test::kHangLimit, [&] { return runEndless(file); }),
            sqlite::kReadStoppedText);
  stopper.join();
  EXPECT_TRUE(file.stopped());
}

TEST(GuardedDatabase, TheSchemaMustBeExactlyTheExpectedTables) {
  const sqlite::ExpectedTable tables[] = {{"t", "CREATE TABLE t (key TEXT PRIMARY KEY, v)"}};
  struct Case {
    const char* sql;
    std::string problem;
  };
  const Case cases[] = {
      {"CREATE TABLE t (key TEXT PRIMARY KEY, v)", ""},
      {"CREATE TABLE t (key TEXT PRIMARY KEY, v, w)", "таблица «t» устроена не так, как её создаёт программа"},
      {"CREATE TABLE u (x)", "лишняя таблица «u»"},
      {"CREATE TABLE t (key TEXT PRIMARY KEY, v); CREATE INDEX i ON t(v)", "лишний объект «i» (index)"},
      {"CREATE TABLE t (key TEXT PRIMARY KEY, v); CREATE TRIGGER g AFTER INSERT ON t BEGIN SELECT 1; END",
       "в файле есть триггер «g»"},
      {"CREATE VIEW t AS SELECT 1 AS key, 2 AS v", "в файле есть представление «t», а не таблица"},
      {"CREATE TABLE other (x); DROP TABLE other", "нет таблицы «t»"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    korsi::test::TempDir dir;
    const std::string path = dir.file("a.db");
    korsi::test::writeFile(path, "");
    korsi::test::execSql(path, c.sql);
    const sqlite::GuardedDatabase file(path, SQLITE_OPEN_READONLY, sqlite::ReadBudget{});
    ASSERT_TRUE(file) << file.openError();
    EXPECT_EQ(file.schemaProblem(tables), c.problem);
  }
}

}  // namespace
