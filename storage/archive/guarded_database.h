#pragma once
// A database file that comes from outside the program (a job file by e-mail
// or on a USB stick, the archive's backup copy) is opened so that nothing in
// it can run code of its own, read without bound or run for ever:
//
//   - SQLite's defensive mode, an untrusted schema, no views and no
//     triggers, no memory-mapped reads, cell sizes checked;
//   - small limits on the length of a value and of a statement, on columns,
//     expression depth, compound selects, attached files;
//   - the schema compared with the expected one before any query touches a
//     table: exactly the expected tables made by the expected statements,
//     and nothing else (no view, no trigger, no index of its own);
//   - a budget of virtual-machine steps for the whole read, a fixed part and
//     a part for each byte of the file, so that a damaged or hostile file is
//     refused within a second while the largest real file reads whole; and a
//     stop flag (Ctrl+C) that ends the read at once.

#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "storage/archive/sqlite.h"

namespace korsi::archive::sqlite {

// One table as the program makes it: its name and its CREATE statement as
// SQLite keeps it in the schema.
struct ExpectedTable {
  const char* name;
  const char* createSql;
};

// A job file of 65,535 readings (2.6 MB) opens in under a million steps;
// the budget leaves a margin of some fifty times that, and a file made to
// run for ever is ended within a fraction of a second.
struct ReadBudget {
  std::uint64_t fixedSteps = 20'000'000;
  std::uint64_t stepsPerByte = 20;
  // Set from another thread to end the read now; nothing: never.
  const std::atomic<bool>* stop = nullptr;
};

// The reasons a read ended early, as the user reads them.
inline constexpr const char* kReadStoppedText = "чтение прервано";
inline constexpr const char* kReadTooLongText = "файл читается слишком долго: он повреждён или составлен намеренно";

// Opens `path` with `flags` (never SQLITE_OPEN_CREATE) and guards the
// connection; the budget lives as long as the connection. On failure
// returns nothing and says why.
class GuardedDatabase {
 public:
  GuardedDatabase(const std::string& path, int flags, const ReadBudget& budget);
  ~GuardedDatabase();
  GuardedDatabase(const GuardedDatabase&) = delete;
  GuardedDatabase& operator=(const GuardedDatabase&) = delete;

  sqlite3* get() const noexcept { return db_.get(); }
  explicit operator bool() const noexcept { return db_ != nullptr; }
  const std::string& openError() const noexcept { return openError_; }

  // Why the last statement failed: the budget's reason when the budget
  // ended it, SQLite's own text otherwise.
  std::string errorText() const;
  bool stopped() const noexcept { return stopped_; }
  // Whether the budget or the stop flag ended a statement.
  bool cutShort() const noexcept { return stopped_ || exhausted_; }
  // Whether the stop flag is set, for a check between statements (a short
  // statement may end before the handler is first called).
  bool stopRequested();

  // Empty when the schema is exactly `tables` (each with the automatic index
  // of its text primary key, if any); else what is wrong, in words.
  std::string schemaProblem(std::span<const ExpectedTable> tables) const;

  // The connection without its budget, for a database the program goes on
  // using for its own statements (the archive); the guards stay.
  Connection release();

 private:
  static int onProgress(void* self);

  Connection db_;
  std::string openError_;
  const std::atomic<bool>* stop_ = nullptr;
  std::uint64_t callsLeft_ = 0;
  bool stopped_ = false;
  bool exhausted_ = false;
};

}  // namespace korsi::archive::sqlite
