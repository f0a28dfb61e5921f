#include "company_archive/archive_outbox.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "company_archive/job_rows.h"
#include "inspection/job_file.h"
#include "storage/archive/sqlite.h"

namespace korsi::company {

namespace {

namespace sqlite = korsi::archive::sqlite;

constexpr const char* kSchemaSql =
    "CREATE TABLE IF NOT EXISTS outbox (seq INTEGER PRIMARY KEY AUTOINCREMENT, job_id TEXT NOT NULL,"
    " content_hash TEXT NOT NULL, object TEXT NOT NULL,"
    " queued_at TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%SZ', 'now')),"
    " job BLOB NOT NULL, last_error TEXT NOT NULL DEFAULT '', UNIQUE (job_id, content_hash))";

std::string columnText(sqlite3_stmt* st, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
  return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(st, column))) : std::string();
}

// A name of its own beside the outbox for a job file on its way in or out.
std::string scratchName(const std::string& outbox) {
  std::random_device entropy;
  return outbox + "." + std::to_string(entropy()) + std::to_string(entropy()) + ".kjob";
}

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace

std::unique_ptr<Outbox> Outbox::open(const std::string& path, std::string* error) {
  std::string why;
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    *error = "Не удалось открыть очередь на отправку «" + path + "»: " + sqlite::errorText(raw);
    sqlite3_close_v2(raw);
    return nullptr;
  }
  std::unique_ptr<Outbox> box(new Outbox(path, raw));
  // The desktop program and korsi7-transfer may use one outbox at once; a
  // job put in survives a crash of the program and of the machine.
  sqlite3_busy_timeout(raw, 10000);
  if (!sqlite::exec(raw, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL", why) ||
      !sqlite::exec(raw, kSchemaSql, why)) {
    *error = "Не удалось открыть очередь на отправку «" + path + "»: " + why;
    return nullptr;
  }
  return box;
}

Outbox::~Outbox() { sqlite3_close_v2(db_); }

std::string Outbox::add(const job::InspectionJob& j, bool* alreadyWaiting) {
  const auto failed = [&](const std::string& why) { return "Не удалось поставить проверку в очередь «" + path_ + "»: " + why; };
  // The job goes in as its own job file, so that it comes out as it went in.
  const std::string scratch = scratchName(path_);
  if (const std::string why = job::saveJob(scratch, j); !why.empty()) return failed(why);
  const std::string bytes = readWhole(scratch);
  std::error_code ignored;
  std::filesystem::remove(scratch, ignored);
  if (bytes.empty()) return failed("файл проверки не прочитан");

  std::string why;
  sqlite::Statement st = sqlite::prepare(
      db_, "INSERT INTO outbox (job_id, content_hash, object, job) VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING", why);
  if (!st) return failed(why);
  const std::string hash = contentHash(j);
  sqlite3_bind_text(st.get(), 1, j.id.data(), static_cast<int>(j.id.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(st.get(), 2, hash.data(), static_cast<int>(hash.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(st.get(), 3, j.header.object.data(), static_cast<int>(j.header.object.size()), SQLITE_TRANSIENT);
  sqlite3_bind_blob(st.get(), 4, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(st.get()) != SQLITE_DONE) return failed(sqlite::errorText(db_));
  if (alreadyWaiting != nullptr) *alreadyWaiting = sqlite3_changes(db_) == 0;
  return {};
}

std::optional<std::vector<OutboxEntry>> Outbox::entries(std::string* error) const {
  std::string why;
  sqlite::Statement st = sqlite::prepare(
      db_, "SELECT seq, job_id, content_hash, object, queued_at, last_error FROM outbox ORDER BY seq", why);
  std::vector<OutboxEntry> out;
  int rc = SQLITE_ERROR;
  if (st) {
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
      out.push_back({sqlite3_column_int64(st.get(), 0), columnText(st.get(), 1), columnText(st.get(), 2),
                     columnText(st.get(), 3), columnText(st.get(), 4), columnText(st.get(), 5)});
    }
  }
  if (rc != SQLITE_DONE) {
    *error = "Не удалось прочитать очередь на отправку «" + path_ + "»: " + (st ? sqlite::errorText(db_) : why);
    return std::nullopt;
  }
  return out;
}

std::optional<std::size_t> Outbox::count(std::string* error) const {
  const auto all = entries(error);
  if (!all) return std::nullopt;
  return all->size();
}

std::optional<job::InspectionJob> Outbox::job(std::int64_t seq, std::string* error) const {
  std::string why;
  sqlite::Statement st = sqlite::prepare(db_, "SELECT job FROM outbox WHERE seq = ?", why);
  if (!st) {
    *error = why;
    return std::nullopt;
  }
  sqlite3_bind_int64(st.get(), 1, seq);
  if (sqlite3_step(st.get()) != SQLITE_ROW) {
    *error = "в очереди нет записи " + std::to_string(seq);
    return std::nullopt;
  }
  const auto* bytes = static_cast<const char*>(sqlite3_column_blob(st.get(), 0));
  const std::string blob(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(st.get(), 0)));
  const std::string scratch = scratchName(path_);
  {
    std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
    out.write(blob.data(), static_cast<std::streamsize>(blob.size()));
    if (!out.flush()) {
      *error = "не удалось записать «" + scratch + "»";
      return std::nullopt;
    }
  }
  job::OpenedJob opened = job::openJob(scratch);
  std::error_code ignored;
  std::filesystem::remove(scratch, ignored);
  if (!opened.ok()) {
    *error = opened.error;
    return std::nullopt;
  }
  return std::move(opened.job);
}

std::string Outbox::remove(std::int64_t seq) {
  std::string why;
  sqlite::Statement st = sqlite::prepare(db_, "DELETE FROM outbox WHERE seq = ?", why);
  if (!st) return why;
  sqlite3_bind_int64(st.get(), 1, seq);
  return sqlite3_step(st.get()) == SQLITE_DONE ? std::string() : sqlite::errorText(db_);
}

std::string Outbox::noteRefusal(std::int64_t seq, const std::string& text) {
  std::string why;
  sqlite::Statement st = sqlite::prepare(db_, "UPDATE outbox SET last_error = ? WHERE seq = ?", why);
  if (!st) return why;
  sqlite3_bind_text(st.get(), 1, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  sqlite3_bind_int64(st.get(), 2, seq);
  return sqlite3_step(st.get()) == SQLITE_DONE ? std::string() : sqlite::errorText(db_);
}

}  // namespace korsi::company
