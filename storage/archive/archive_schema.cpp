#include "storage/archive/archive_schema.h"

#include <filesystem>
#include <system_error>

#include "storage/archive/sqlite.h"

namespace korsi::archive {

std::string createArchiveDatabase(const std::string& path) {
  const std::string temporary = path + ".tmp";
  std::error_code ec;
  std::filesystem::remove(temporary, ec);
  std::string error;
  {
    sqlite::Connection db = sqlite::open(temporary, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
    // A rollback journal, so that the file is the whole database and can be copied alone.
    if (!db || !sqlite::exec(db.get(), "PRAGMA journal_mode=DELETE", error) ||
        !sqlite::exec(db.get(), kCreateTableSql, error)) {
      db.reset();
      std::filesystem::remove(temporary, ec);
      return "Не удалось создать базу данных " + path + ": " + error;
    }
  }
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return "Не удалось создать базу данных " + path + ": " + ec.message();
  }
  return {};
}

std::string provideBackup(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) return {};
  return createArchiveDatabase(path);
}

}  // namespace korsi::archive
