#include "storage/archive/archive_store.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>

#include "services/logs.h"
#include "storage/archive/guarded_database.h"
#include "storage/archive/sqlite.h"
#include "services/atomic_file.h"
#include "services/error_box.h"
#include "services/file_platform.h"
#include "storage/recordset/text_codec.h"

namespace korsi::archive {

namespace {

// Another copy of the program may hold the file for a moment.
constexpr int kBusyTimeoutMs = 2000;

// SQLite stores a NaN as NULL, so a NaN thickness (any bit pattern can come
// from the gauge) is kept as this text.
constexpr std::string_view kNanText = "NaN";

int bindText(sqlite3_stmt* statement, int index, std::string_view text) {
  return sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

int bindRow(sqlite3_stmt* statement, const ArchiveRow& row) {
  int rc = row.num ? sqlite3_bind_int(statement, 1, *row.num) : sqlite3_bind_null(statement, 1);
  if (rc == SQLITE_OK) rc = row.date ? bindText(statement, 2, isoText(*row.date, ' ')) : sqlite3_bind_null(statement, 2);
  if (rc == SQLITE_OK) {
    if (!row.h) {
      rc = sqlite3_bind_null(statement, 3);
    } else if (std::isnan(*row.h)) {
      rc = bindText(statement, 3, kNanText);
    } else {
      rc = sqlite3_bind_double(statement, 3, *row.h);
    }
  }
  if (rc == SQLITE_OK) rc = row.prim ? bindText(statement, 4, *row.prim) : sqlite3_bind_null(statement, 4);
  return rc;
}

std::string_view columnText(sqlite3_stmt* statement, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
              : std::string_view();
}

// A row as the database holds it; values of a type the table does not use read as NULL.
ArchiveRow readRow(sqlite3_stmt* statement) {
  ArchiveRow row;
  if (sqlite3_column_type(statement, 1) == SQLITE_INTEGER) {
    const sqlite3_int64 num = sqlite3_column_int64(statement, 1);
    if (num >= std::numeric_limits<std::int32_t>::min() && num <= std::numeric_limits<std::int32_t>::max()) {
      row.num = static_cast<std::int32_t>(num);
    }
  }
  if (sqlite3_column_type(statement, 2) == SQLITE_TEXT) row.date = parseIsoText(columnText(statement, 2));
  switch (sqlite3_column_type(statement, 3)) {
    case SQLITE_FLOAT:
    case SQLITE_INTEGER:
      row.h = sqlite3_column_double(statement, 3);
      break;
    case SQLITE_TEXT:
      if (columnText(statement, 3) == kNanText) row.h = std::numeric_limits<double>::quiet_NaN();
      break;
    default:
      break;
  }
  if (sqlite3_column_type(statement, 4) != SQLITE_NULL) {
    const std::string_view note = columnText(statement, 4);
    if (text::isValidUtf8(note)) row.prim = std::string(note);
  }
  return row;
}

// Why the table cannot hold the row, or nothing when it can.
std::optional<std::string> rowProblem(const ArchiveRow& row) {
  if (row.prim && (!text::isValidUtf8(*row.prim) || text::utf16Length(*row.prim) > kNoteMaxUnits)) {
    return "примечание длиннее 255 знаков";
  }
  if (row.date && !isValid(*row.date)) return "такой даты нет";
  return std::nullopt;
}

std::string writeProblem(const std::error_code& error, const std::string& what) {
  if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted) {
    return "нет права на запись в " + what;
  }
  if (error == std::errc::read_only_file_system) return "диск только для чтения";
  return error.message();
}

// Why an existing database file cannot be written (the file, or the folder
// where its journal must go), or an empty text. A restore from the backup
// could not help then, and would overwrite a file that may be whole.
std::string readOnlyCause(const std::string& database) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(database, ec)) return {};
  if (const std::error_code error = platform::writeAccess(database)) return writeProblem(error, "файл");
  const std::filesystem::path folder = std::filesystem::absolute(database, ec).parent_path();
  if (const std::error_code error = platform::writeAccess(folder.string())) {
    return writeProblem(error, "папку " + folder.string());
  }
  return {};
}

// The archive's table exactly as the program makes it, and nothing else.
constexpr sqlite::ExpectedTable kArchiveTables[] = {{kTableName, kCreateTableSql}};

// Why a database file is no sound archive (read guarded: a backup may come
// from anywhere), or an empty text when it is one.
std::string archiveFileProblem(const std::string& path) {
  const sqlite::GuardedDatabase file(path, SQLITE_OPEN_READONLY, sqlite::ReadBudget{});
  if (!file) return file.openError();
  if (std::string problem = file.schemaProblem(kArchiveTables); !problem.empty()) return problem;
  std::string error;
  sqlite::Statement check = sqlite::prepare(file.get(), "PRAGMA quick_check", error);
  if (!check) return file.errorText();
  if (sqlite3_step(check.get()) != SQLITE_ROW) return file.errorText();
  if (columnText(check.get(), 0) != "ok") return std::string(columnText(check.get(), 0));
  return {};
}

// Copies the backup over the database when the backup is a sound archive;
// otherwise says why and leaves the database as it is.
std::string restoreFromBackup(const StorePaths& paths) {
  if (const std::string problem = archiveFileProblem(paths.backup); !problem.empty()) {
    return "резервная копия " + paths.backup + " не годится: " + problem;
  }
  std::error_code ec;
  std::string bytes;
  {
    std::ifstream in(std::filesystem::path(paths.backup), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) return "не удалось прочитать " + paths.backup;
  }
  bool ok = true;
  for (const char* suffix : {"-wal", "-shm"}) {
    std::filesystem::remove(paths.database + suffix, ec);
    if (ec) ok = false;
  }
  // The restored file is whole or the old one stays, whatever cuts the copy short.
  const ReplaceOutcome replaced = replaceFileAtomically(paths.database, bytes);
  if (!replaced.ok()) return replaced.error.message();
  return ok ? std::string() : "не удалось удалить журнал " + paths.database + "-wal";
}

}  // namespace

// The open database and the statements prepared on it; the statements are
// finalised before the connection closes.
struct ArchiveStore::Connection {
  sqlite::Connection db;
  sqlite::Statement insert;
  sqlite::Statement remove;
  sqlite::Statement update;
  sqlite::Statement clear;

  ~Connection() {
    insert.reset();
    remove.reset();
    update.reset();
    clear.reset();
  }

  bool prepareStatements(std::string& error) {
    insert = sqlite::prepare(db.get(), "INSERT INTO archive (num, date, h, Prim) VALUES (?1, ?2, ?3, ?4)", error);
    remove = sqlite::prepare(db.get(), "DELETE FROM archive WHERE rowid = ?1", error);
    update = sqlite::prepare(db.get(), "UPDATE archive SET num = ?1, date = ?2, h = ?3, Prim = ?4 WHERE rowid = ?5",
                             error);
    clear = sqlite::prepare(db.get(), "DELETE FROM archive", error);
    return insert && remove && update && clear;
  }

  // Runs a prepared statement to its end and makes it ready for the next use.
  bool run(sqlite3_stmt* statement, std::string& error) {
    const int rc = sqlite3_step(statement);
    if (rc != SQLITE_DONE) error = sqlite::errorText(db.get());
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return rc == SQLITE_DONE;
  }
};

ArchiveStore::ArchiveStore() = default;
ArchiveStore::~ArchiveStore() = default;

std::unique_ptr<ArchiveStore> ArchiveStore::openAtStartup(const StorePaths& paths) {
  std::unique_ptr<ArchiveStore> store(new ArchiveStore);
  std::string error;
  if (store->openDatabase(paths.database, error) && store->clear()) return store;

  store->connection_.reset();
  LOG_ERR(kOpenErrorLog);
  if (const std::string cause = readOnlyCause(paths.database); !cause.empty()) {
    throw OpenError(readOnlyDatabaseText(paths.database, cause));
  }
  LOG_INF(kRestoreLog);
  showErrorBox(kRestoreBoxText, kErrorCaption);
  const std::string restore = restoreFromBackup(paths);
  if (!restore.empty()) {
    LOG_ERR(kRestoreFailLog);
    LOG_ERR(restore);
  }
  error.clear();
  if (!store->openDatabase(paths.database, error) || !store->loadRows(error)) {
    throw OpenError(std::string(kOpenErrorLog) + " " + paths.database + ": " + error +
                    (restore.empty() ? "" : "; " + restore));
  }
  return store;
}

bool ArchiveStore::openDatabase(const std::string& path, std::string& error) {
  auto connection = std::make_unique<Connection>();
  {
    // Without SQLITE_OPEN_CREATE a missing file is an error, not a new
    // database. Guarded, and its schema checked before anything runs: a
    // file that holds a trigger or a view besides the table is restored
    // from the backup like a damaged one.
    sqlite::GuardedDatabase file(path, SQLITE_OPEN_READWRITE, sqlite::ReadBudget{});
    if (!file) {
      error = file.openError();
      return false;
    }
    if (std::string problem = file.schemaProblem(kArchiveTables); !problem.empty()) {
      error = std::move(problem);
      return false;
    }
    connection->db = file.release();
  }
  sqlite3* db = connection->db.get();
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  if (sqlite3_db_readonly(db, "main") == 1) {
    error = "файл базы данных только для чтения";
    return false;
  }
  // Reading the table's columns also proves that the file is a database.
  sqlite::Statement probe = sqlite::prepare(db, "SELECT num, date, h, Prim FROM archive LIMIT 0", error);
  if (!probe) return false;
  probe.reset();
  // Write-ahead journal with normal sync: each change reaches the file at
  // once, yet a row costs no sync of its own.
  sqlite::Statement journal = sqlite::prepare(db, "PRAGMA journal_mode=WAL", error);
  if (!journal) return false;
  const bool wal = sqlite3_step(journal.get()) == SQLITE_ROW && columnText(journal.get(), 0) == "wal";
  journal.reset();
  if (wal) {
    if (!sqlite::exec(db, "PRAGMA synchronous=NORMAL", error)) return false;
  } else {
    // A file system without the shared memory WAL needs (a network share,
    // some mounted disks): the rollback journal, with a sync per change,
    // keeps every change in the file at once as well, only slower.
    if (!sqlite::exec(db, "PRAGMA journal_mode=DELETE", error) || !sqlite::exec(db, "PRAGMA synchronous=FULL", error)) {
      return false;
    }
    LOG_INF(kRollbackJournalLog);
  }
  if (!connection->prepareStatements(error)) return false;
  connection_ = std::move(connection);
  backend_ = Backend::Database;
  return true;
}

bool ArchiveStore::loadRows(std::string& error) {
  sqlite::Statement select =
      sqlite::prepare(connection_->db.get(), "SELECT rowid, num, date, h, Prim FROM archive ORDER BY rowid", error);
  if (!select) return false;
  std::vector<ArchiveRow> rows;
  std::vector<std::int64_t> rowids;
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(select.get())) == SQLITE_ROW) {
    rowids.push_back(sqlite3_column_int64(select.get(), 0));
    rows.push_back(readRow(select.get()));
  }
  if (rc != SQLITE_DONE) {
    error = sqlite::errorText(connection_->db.get());
    return false;
  }
  rows_ = std::move(rows);
  rowids_ = std::move(rowids);
  return true;
}

bool ArchiveStore::fail(const std::string& what) {
  lastError_ = "Ошибка таблицы archive: " + what;
  LOG_ERR(lastError_);
  return false;
}

template <class Call>
void ArchiveStore::notify(Call call) {
  for (ArchiveListener* listener : listeners_) call(*listener);
}

void ArchiveStore::addListener(ArchiveListener* listener) {
  if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) listeners_.push_back(listener);
}

void ArchiveStore::removeListener(ArchiveListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

bool ArchiveStore::clear() {
  std::string error;
  if (!connection_->run(connection_->clear.get(), error)) return fail(error);
  if (rows_.empty()) return true;
  notify([](ArchiveListener& l) { l.aboutToReset(); });
  rows_.clear();
  rowids_.clear();
  notify([](ArchiveListener& l) { l.reset(); });
  return true;
}

bool ArchiveStore::removeRow(std::size_t index) { return removeRows({index}); }

bool ArchiveStore::removeRows(std::vector<std::size_t> indices) {
  std::sort(indices.begin(), indices.end(), std::greater<>());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  if (indices.empty()) return true;
  if (indices.front() >= rows_.size()) return fail("нет строки " + std::to_string(indices.front() + 1));

  // Several rows go in one transaction, so that a failure half-way leaves
  // every row in place.
  const bool together = indices.size() > 1;
  sqlite3* db = connection_->db.get();
  std::string error;
  if (together && !sqlite::exec(db, "BEGIN", error)) return fail(error);
  const auto rollBack = [&] {
    std::string ignored;
    if (together) sqlite::exec(db, "ROLLBACK", ignored);
  };
  sqlite3_stmt* statement = connection_->remove.get();
  for (const std::size_t index : indices) {
    if (sqlite3_bind_int64(statement, 1, rowids_[index]) != SQLITE_OK || !connection_->run(statement, error)) {
      if (error.empty()) error = sqlite::errorText(db);
      rollBack();
      return fail(error);
    }
  }
  if (together && !sqlite::exec(db, "COMMIT", error)) {
    rollBack();
    return fail(error);
  }
  // From the last row up, so that each index still names its row.
  for (const std::size_t index : indices) {
    notify([index](ArchiveListener& l) { l.rowAboutToBeRemoved(index); });
    const auto offset = static_cast<std::ptrdiff_t>(index);
    rows_.erase(rows_.begin() + offset);
    rowids_.erase(rowids_.begin() + offset);
    notify([](ArchiveListener& l) { l.rowRemoved(); });
  }
  return true;
}

bool ArchiveStore::addMeasurement(std::int32_t num, std::string_view dateText, double h) {
  const auto date = parseMeasurementDate(dateText);
  if (!date) {
    lastError_ = "неверная дата " + std::string(dateText);
    LOG_ERR(kInsertErrorLog);
    return false;
  }
  ArchiveRow row;
  row.num = num;
  row.date = *date;
  row.h = h;
  if (!appendRow(row)) {
    LOG_ERR(kInsertErrorLog);
    return false;
  }
  return true;
}

bool ArchiveStore::appendRow(const ArchiveRow& row) {
  if (const auto problem = rowProblem(row)) return fail(*problem);
  sqlite3_stmt* statement = connection_->insert.get();
  std::string error;
  if (bindRow(statement, row) != SQLITE_OK || !connection_->run(statement, error)) {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return fail(error.empty() ? sqlite::errorText(connection_->db.get()) : error);
  }
  const std::size_t index = rows_.size();
  notify([index](ArchiveListener& l) { l.rowsAboutToBeAppended(index, index); });
  rows_.push_back(row);
  rowids_.push_back(sqlite3_last_insert_rowid(connection_->db.get()));
  notify([](ArchiveListener& l) { l.rowsAppended(); });
  return true;
}

bool ArchiveStore::setNote(std::size_t index, std::string_view note) {
  if (index >= rows_.size()) return fail("нет строки " + std::to_string(index + 1));
  ArchiveRow row = rows_[index];
  row.prim = std::string(note);
  return updateRow(index, row);
}

bool ArchiveStore::updateRow(std::size_t index, const ArchiveRow& row) {
  if (index >= rows_.size()) return fail("нет строки " + std::to_string(index + 1));
  if (const auto problem = rowProblem(row)) return fail(*problem);
  sqlite3_stmt* statement = connection_->update.get();
  std::string error;
  if (bindRow(statement, row) != SQLITE_OK || sqlite3_bind_int64(statement, 5, rowids_[index]) != SQLITE_OK ||
      !connection_->run(statement, error)) {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return fail(error.empty() ? sqlite::errorText(connection_->db.get()) : error);
  }
  rows_[index] = row;
  notify([index](ArchiveListener& l) { l.rowChanged(index); });
  return true;
}

bool ArchiveStore::replaceWithFileRows(std::vector<ArchiveRow> rows) {
  for (const ArchiveRow& row : rows) {
    if (const auto problem = rowProblem(row)) return fail(*problem);
  }
  // The new back end is built whole before it takes the old one's place, so
  // a failure leaves the table with its previous rows and back end.
  auto memory = std::make_unique<Connection>();
  std::string error;
  memory->db = sqlite::open(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
  if (!memory->db || !sqlite::exec(memory->db.get(), kCreateTableSql, error) ||
      !memory->prepareStatements(error) || !sqlite::exec(memory->db.get(), "BEGIN", error)) {
    return fail(error);
  }
  std::vector<std::int64_t> rowids;
  rowids.reserve(rows.size());
  for (const ArchiveRow& row : rows) {
    if (bindRow(memory->insert.get(), row) != SQLITE_OK || !memory->run(memory->insert.get(), error)) {
      return fail(error.empty() ? sqlite::errorText(memory->db.get()) : error);
    }
    rowids.push_back(sqlite3_last_insert_rowid(memory->db.get()));
  }
  if (!sqlite::exec(memory->db.get(), "COMMIT", error)) return fail(error);

  notify([](ArchiveListener& l) { l.aboutToReset(); });
  connection_ = std::move(memory);
  backend_ = Backend::DataFile;
  rows_ = std::move(rows);
  rowids_ = std::move(rowids);
  notify([](ArchiveListener& l) { l.reset(); });
  return true;
}

}  // namespace korsi::archive
