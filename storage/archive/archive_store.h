#pragma once
// The archive table `archive`: the measurements read from the gauge and the
// user's notes, in the order in which they were added.
//
// From start-up the table lives in the SQLite database "korsi7.mdb"; every
// added, changed or deleted row reaches the file before the call returns
// (write-ahead journal, so an added row costs a few hundredths of a
// millisecond; where the file system cannot have it, the rollback journal). After a data file has been loaded the table holds that
// file's rows in an in-memory database of the same shape; changes then stay
// in memory until saved, and the database file is not used again in this run.
//
// Rows are also kept in memory in table order, so the grid, the export and
// the report read them without a query. Equal rows stay separate rows: each
// is known by its hidden rowid, so editing or deleting one never touches its twin.
//
// Used on the user-interface thread only.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "storage/archive/archive_schema.h"
#include "storage/recordset/archive_row.h"

namespace korsi::archive {

inline constexpr const char* kOpenErrorLog = "Не могу открыть базу данных";
inline constexpr const char* kRestoreLog = "восстановим...";
inline constexpr const char* kRestoreBoxText = "Ошибка при открытии файла базы данных. Перезапустите программу.";
inline constexpr const char* kRestoreFailLog = "Database restore fail";
inline constexpr const char* kInsertErrorLog = "Ошибка insert";
inline constexpr const char* kRollbackJournalLog = "Журнал WAL недоступен, база данных работает с обычным журналом";

// The database cannot be opened even after it was restored from the backup,
// or it cannot be written at all; start-up ends with this error's message.
class OpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The message when the database file exists but may not be written.
inline std::string readOnlyDatabaseText(const std::string& database, const std::string& cause) {
  return "Файл базы данных " + database + " открыт только для чтения: " + cause +
         ". Программа не может хранить в нём измерения.";
}

enum class Backend { Database, DataFile };

// Told about every change, so that a view of the table can follow it. A
// change has already reached the database when the "about to" call comes;
// the rows in memory change between the two calls.
class ArchiveListener {
 public:
  virtual void rowsAboutToBeAppended(std::size_t /*first*/, std::size_t /*last*/) {}
  virtual void rowsAppended() {}
  virtual void rowAboutToBeRemoved(std::size_t /*row*/) {}
  virtual void rowRemoved() {}
  virtual void rowChanged(std::size_t /*row*/) {}
  virtual void aboutToReset() {}
  virtual void reset() {}

 protected:
  ~ArchiveListener() = default;
};

struct StorePaths {
  std::string database = kDatabaseFileName;
  std::string backup = kBackupFileName;
};

class ArchiveStore {
 public:
  // Opens table `archive` of the database and empties it. When that fails
  // (no file, not a database, no table, any error): logs "Не могу открыть
  // базу данных" and "восстановим...", shows the box "Ошибка при открытии
  // файла базы данных. Перезапустите программу.", copies the backup over the
  // database (removing a stale write-ahead journal and its index, which
  // would otherwise be mixed into the restored file), logs "Database restore
  // fail" when that copy fails, and opens again without emptying, so a
  // restored table shows the backup's rows. Throws OpenError when this
  // second open fails. Opening never creates the file or the table.
  // A database file that exists but may not be written (the file or its
  // folder) is not restored: after "Не могу открыть базу данных" OpenError
  // names the file and the cause (readOnlyDatabaseText).
  static std::unique_ptr<ArchiveStore> openAtStartup(const StorePaths& paths = {});

  ~ArchiveStore();
  ArchiveStore(const ArchiveStore&) = delete;
  ArchiveStore& operator=(const ArchiveStore&) = delete;

  Backend backend() const noexcept { return backend_; }
  std::size_t rowCount() const noexcept { return rows_.size(); }
  bool empty() const noexcept { return rows_.empty(); }
  const std::vector<ArchiveRow>& rows() const noexcept { return rows_; }
  const ArchiveRow& row(std::size_t index) const { return rows_.at(index); }

  // Each returns false and leaves the table as it was when the change cannot
  // be made; lastError() says why.

  // Deletes every row.
  bool clear();
  // Deletes the row at `index` (0-based, table order).
  bool removeRow(std::size_t index);
  // Deletes the rows at these indices (any order, repeats count once)
  // together: either all of them go or none does. Listeners hear of each
  // row, from the last one up.
  bool removeRows(std::vector<std::size_t> indices);
  // Appends a measurement read from the gauge. The date text is in the form
  // "DD.MM.YYYY HH:MM:SS" (see measurementDateText); a text that is not a
  // real date, or any failure to store the row, logs "Ошибка insert" and adds
  // nothing.
  bool addMeasurement(std::int32_t num, std::string_view dateText, double h);
  // Appends a row as it is; its date must exist and its note fit (as setNote).
  bool appendRow(const ArchiveRow& row);
  // Replaces every field of the row at `index` by those of `row` (an empty
  // field becomes NULL); the same checks as appendRow.
  bool updateRow(std::size_t index, const ArchiveRow& row);
  // Sets the note of the row at `index`; at most 255 UTF-16 code units of UTF-8 text.
  bool setNote(std::size_t index, std::string_view note);
  // Replaces the whole table by the rows of a loaded data file, held in
  // memory from now on (Backend::DataFile).
  bool replaceWithFileRows(std::vector<ArchiveRow> rows);

  const std::string& lastError() const noexcept { return lastError_; }

  void addListener(ArchiveListener* listener);
  void removeListener(ArchiveListener* listener);

 private:
  struct Connection;

  ArchiveStore();
  bool openDatabase(const std::string& path, std::string& error);
  bool loadRows(std::string& error);
  bool fail(const std::string& what);
  template <class Call>
  void notify(Call call);

  std::unique_ptr<Connection> connection_;
  Backend backend_ = Backend::Database;
  std::vector<ArchiveRow> rows_;
  std::vector<std::int64_t> rowids_;
  std::vector<ArchiveListener*> listeners_;
  std::string lastError_;
};

}  // namespace korsi::archive
