#pragma once
// The database file of the archive table and its backup copy.

#include <string>

namespace korsi::archive {

inline constexpr const char* kDatabaseFileName = "korsi7.mdb";
inline constexpr const char* kBackupFileName = "korsi7.mdb.backup";
inline constexpr const char* kTableName = "archive";

// The table as the program creates it. The hidden rowid keeps the order in
// which rows were added and tells equal rows apart.
inline constexpr const char* kCreateTableSql =
    "CREATE TABLE archive (num INTEGER, date DATETIME, h DOUBLE, Prim VARCHAR(255))";

// Writes an empty database holding the table to `path` (through a temporary
// file beside it, replacing what was there). Returns an empty text on
// success, else why it failed.
std::string createArchiveDatabase(const std::string& path);

// Creates the backup copy at `path` when there is no file there yet; an
// existing file is left alone. Returns an empty text on success.
std::string provideBackup(const std::string& path = kBackupFileName);

}  // namespace korsi::archive
