#pragma once
// Direct access to database files, beside the store under test: what a
// second program (or the next start) would find in the file.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "storage/archive/archive_schema.h"

namespace korsi::test {

// Runs SQL on the file (which must exist).
inline void execSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
      sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << path << ": " << sqlite3_errmsg(db) << " in " << sql;
  }
  sqlite3_close(db);
}

// Each result row as its values joined by '|', NULL as "NULL".
inline std::vector<std::string> queryRows(const std::string& path, const std::string& sql) {
  std::vector<std::string> rows;
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << path << ": " << sqlite3_errmsg(db) << " in " << sql;
  } else {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      std::string row;
      for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        if (c > 0) row += '|';
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
        row += text ? text : "NULL";
      }
      rows.push_back(row);
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

inline std::vector<std::string> tableRows(const std::string& path) {
  return queryRows(path, "SELECT num, date, h, Prim FROM archive ORDER BY rowid");
}

// A database with the table and the given rows ("(1, '2009-03-09 14:30:05', 1.5, NULL), ...").
inline void makeDatabase(const std::string& path, const std::string& values = "") {
  ASSERT_EQ(korsi::archive::createArchiveDatabase(path), "");
  if (!values.empty()) execSql(path, "INSERT INTO archive (num, date, h, Prim) VALUES " + values);
}

}  // namespace korsi::test
