#include "storage/archive/guarded_database.h"

#include <filesystem>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

namespace korsi::archive::sqlite {

namespace {

// The progress handler is called after this many virtual-machine steps of
// a statement, counted over all its rows.
constexpr int kStepsPerCall = 100;

// Far above what the program's own statements and files need, far below
// what would let a file make SQLite work for long or hold much memory.
struct Limit {
  int id;
  int value;
};
constexpr Limit kLimits[] = {
    {SQLITE_LIMIT_LENGTH, 1'000'000},        {SQLITE_LIMIT_SQL_LENGTH, 100'000},
    {SQLITE_LIMIT_COLUMN, 100},              {SQLITE_LIMIT_EXPR_DEPTH, 100},
    {SQLITE_LIMIT_COMPOUND_SELECT, 3},       {SQLITE_LIMIT_VDBE_OP, 100'000},
    {SQLITE_LIMIT_FUNCTION_ARG, 8},          {SQLITE_LIMIT_ATTACHED, 0},
    {SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 50},  {SQLITE_LIMIT_VARIABLE_NUMBER, 20},
    {SQLITE_LIMIT_TRIGGER_DEPTH, 1},         {SQLITE_LIMIT_WORKER_THREADS, 0},
};

bool configure(sqlite3* db, int option, int value) {
  int now = -1;
  return sqlite3_db_config(db, option, value, &now) == SQLITE_OK && now == value;
}

std::string_view text(sqlite3_stmt* st, int column) {
  const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
  return t ? std::string_view(t, static_cast<std::size_t>(sqlite3_column_bytes(st, column))) : std::string_view();
}

}  // namespace

GuardedDatabase::GuardedDatabase(const std::string& path, int flags, const ReadBudget& budget)
    : stop_(budget.stop) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  const std::uint64_t bytes = ec ? 0 : static_cast<std::uint64_t>(size);
  callsLeft_ = (budget.fixedSteps + budget.stepsPerByte * bytes) / kStepsPerCall;

  db_ = open(path, flags & ~SQLITE_OPEN_CREATE, openError_);
  if (!db_) return;
  sqlite3* db = db_.get();
  for (const Limit& limit : kLimits) sqlite3_limit(db, limit.id, limit.value);
  const bool guarded = configure(db, SQLITE_DBCONFIG_DEFENSIVE, 1) && configure(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0) &&
                       configure(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0) && configure(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0) &&
                       configure(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0);
  sqlite3_progress_handler(db, kStepsPerCall, &GuardedDatabase::onProgress, this);
  if (!guarded || !exec(db, "PRAGMA cell_size_check=ON; PRAGMA mmap_size=0", openError_)) {
    if (!guarded) openError_ = "SQLite не даёт открыть файл с защитой";
    db_.reset();
  }
}

GuardedDatabase::~GuardedDatabase() {
  if (db_) sqlite3_progress_handler(db_.get(), 0, nullptr, nullptr);
}

int GuardedDatabase::onProgress(void* self) {
  auto* guard = static_cast<GuardedDatabase*>(self);
  if (guard->stop_ && guard->stop_->load(std::memory_order_relaxed)) {
    guard->stopped_ = true;
    return 1;
  }
  if (guard->callsLeft_ == 0) {
    guard->exhausted_ = true;
    return 1;
  }
  --guard->callsLeft_;
  return 0;
}

bool GuardedDatabase::stopRequested() {
  if (stop_ && stop_->load(std::memory_order_relaxed)) stopped_ = true;
  return stopped_;
}

Connection GuardedDatabase::release() {
  if (db_) sqlite3_progress_handler(db_.get(), 0, nullptr, nullptr);
  return std::move(db_);
}

std::string GuardedDatabase::errorText() const {
  if (stopped_) return kReadStoppedText;
  if (exhausted_) return kReadTooLongText;
  return sqlite::errorText(db_.get());
}

std::string GuardedDatabase::schemaProblem(std::span<const ExpectedTable> tables) const {
  std::string error;
  Statement st = prepare(db_.get(), "SELECT type, name, tbl_name, sql FROM sqlite_schema ORDER BY rowid", error);
  if (!st) return errorText();
  std::set<std::string, std::less<>> found;
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    const std::string_view type = text(st.get(), 0);
    const std::string_view name = text(st.get(), 1);
    const std::string_view table = text(st.get(), 2);
    const bool hasSql = sqlite3_column_type(st.get(), 3) != SQLITE_NULL;
    const std::string_view sql = text(st.get(), 3);
    const auto expected = [&](std::string_view of) -> const ExpectedTable* {
      for (const ExpectedTable& t : tables) {
        if (of == t.name) return &t;
      }
      return nullptr;
    };
    if (type == "table") {
      const ExpectedTable* t = expected(name);
      if (!t) return "лишняя таблица «" + std::string(name) + "»";
      if (sql != t->createSql) return "таблица «" + std::string(name) + "» устроена не так, как её создаёт программа";
      if (!found.emplace(name).second) return "таблица «" + std::string(name) + "» записана дважды";
    } else if (type == "index" && !hasSql && name.starts_with("sqlite_autoindex_") && expected(table)) {
      // The index SQLite makes itself for a primary key that is not the row number.
    } else if (type == "view") {
      return "в файле есть представление «" + std::string(name) + "»" + (expected(name) ? ", а не таблица" : "");
    } else if (type == "trigger") {
      return "в файле есть триггер «" + std::string(name) + "»";
    } else {
      return "лишний объект «" + std::string(name) + "» (" + std::string(type) + ")";
    }
  }
  if (rc != SQLITE_DONE) return errorText();
  for (const ExpectedTable& t : tables) {
    if (!found.contains(std::string_view(t.name))) return "нет таблицы «" + std::string(t.name) + "»";
  }
  return {};
}

}  // namespace korsi::archive::sqlite
