#pragma once
// The outbox: jobs waiting for the company archive, in a SQLite file of the
// user's (korsi7-outbox.sqlite). Every publication goes through it: the job
// is put in and made durable first, sent, and taken out only after the
// server has committed it. A program killed at any point leaves the job in
// the outbox, and sending it again adds nothing on the server (the same
// content of a job is stored once), so each job is stored exactly once.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inspection/inspection_job.h"

struct sqlite3;

namespace korsi::company {

inline constexpr const char* kOutboxFileName = "korsi7-outbox.sqlite";

struct OutboxEntry {
  std::int64_t seq = 0;  // the order of sending
  std::string jobId;
  std::string contentHash;
  std::string object;
  std::string queuedAt;   // ISO 8601, UTC
  std::string lastError;  // the server's last refusal, empty when none
};

class Outbox {
 public:
  // Opens the file, making it when missing; nothing and *error set when it
  // cannot be.
  static std::unique_ptr<Outbox> open(const std::string& path, std::string* error);
  ~Outbox();
  Outbox(const Outbox&) = delete;
  Outbox& operator=(const Outbox&) = delete;

  const std::string& path() const noexcept { return path_; }

  // Puts the job in (durably); a job whose same content already waits is not
  // put in twice (*alreadyWaiting). Empty on success, else why not.
  std::string add(const job::InspectionJob& job, bool* alreadyWaiting = nullptr);
  // The waiting jobs, oldest first; nothing with *error set when unreadable.
  std::optional<std::vector<OutboxEntry>> entries(std::string* error) const;
  std::optional<std::size_t> count(std::string* error) const;
  // The job of an entry as it was put in.
  std::optional<job::InspectionJob> job(std::int64_t seq, std::string* error) const;
  std::string remove(std::int64_t seq);
  std::string noteRefusal(std::int64_t seq, const std::string& text);

 private:
  Outbox(std::string path, sqlite3* db) : path_(std::move(path)), db_(db) {}
  std::string path_;
  sqlite3* db_;
};

}  // namespace korsi::company
