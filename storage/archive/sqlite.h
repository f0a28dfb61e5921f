#pragma once
// Owning handles for SQLite's C interface.

#include <sqlite3.h>

#include <memory>
#include <string>

namespace korsi::archive::sqlite {

struct ConnectionCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

inline std::string errorText(sqlite3* db) { return db ? sqlite3_errmsg(db) : "нет памяти"; }

// Opens with the given flags; on failure returns nothing and says why.
inline Connection open(const std::string& path, int flags, std::string& error) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  Connection db(raw);
  if (rc != SQLITE_OK) {
    error = errorText(raw);
    return nullptr;
  }
  sqlite3_extended_result_codes(raw, 1);
  return db;
}

inline Statement prepare(sqlite3* db, const char* sql, std::string& error) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) {
    error = errorText(db);
    sqlite3_finalize(raw);
    return nullptr;
  }
  return Statement(raw);
}

inline bool exec(sqlite3* db, const char* sql, std::string& error) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
    error = errorText(db);
    return false;
  }
  return true;
}

}  // namespace korsi::archive::sqlite
