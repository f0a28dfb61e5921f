#pragma once
// A connection to the company archive's PostgreSQL server through libpq:
// owning handles, statements with parameters sent apart from the text (never
// spliced into it), COPY of rows, and every failure turned into a
// ServerFailure that says in Russian what the user meets: the server not
// reached, the certificate refused, no permission, the archive not made.

#include <libpq-fe.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korsi::company {

// What went wrong, by what the user can do about it.
enum class FailureKind {
  None,
  Unreachable,      // no connection, or it broke: the job waits in the outbox
  Certificate,      // the server's certificate was refused (sslmode=verify-*)
  Login,            // the server refused the role (no such role, password, pg_hba)
  Permission,       // the role may not do this (SQLSTATE 42501)
  NotInitialised,   // no archive schema on the server
  SchemaTooNew,     // the server's archive is newer than this program
  Refused,          // any other error of the server's
};

struct ServerFailure {
  FailureKind kind = FailureKind::None;
  std::string sqlState;  // five characters when the server gave one
  std::string message;   // Russian, for the user, with the server's own words
  explicit operator bool() const { return kind != FailureKind::None; }
  // Whether the work may succeed later unchanged (the outbox keeps it).
  bool transient() const { return kind == FailureKind::Unreachable; }
};

struct ResultClear {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultClear>;

// A statement's parameters as text; nothing is NULL.
using Params = std::vector<std::optional<std::string>>;

class PgConnection {
 public:
  // Connects with a libpq connection string or URI; check failure() after.
  // Passwords come from libpq's own files (~/.pgpass, PGPASSFILE, a service
  // file), never from the program's configuration.
  explicit PgConnection(const std::string& uri);
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  const ServerFailure& failure() const noexcept { return failure_; }
  bool ok() const noexcept { return !failure_; }
  PGconn* raw() const noexcept { return conn_; }

  // Runs one statement (with $1, $2 ... parameters); nothing and failure()
  // set when the server refused it. Once failed, a connection runs nothing
  // more until clearFailure().
  Result run(const std::string& sql, const Params& params = {});
  // Runs statements without parameters (several, separated by ';').
  bool runScript(const std::string& sql);

  // COPY ... FROM STDIN with rows already in COPY's text format.
  bool copyIn(const std::string& copySql, const std::string& rows);

  void clearFailure() { failure_ = {}; }
  // Rolls back the transaction under way and returns the failure that ended
  // it; the connection runs statements again (when it still can).
  ServerFailure abandon();
  // The current user's role name as the server knows it.
  std::string role();

 private:
  void failFromResult(const PGresult* result);
  void failFromConnection(FailureKind fallback);

  PGconn* conn_ = nullptr;
  ServerFailure failure_;
};

// COPY's text format: backslash, tab, newline and carriage return escaped;
// other bytes pass as they are.
void appendCopyText(std::string& out, const std::string& text);
inline constexpr const char* kCopyNull = "\\N";

// Why a text cannot be stored by PostgreSQL (a NUL character, not UTF-8);
// empty when it can.
std::string textProblem(const std::string& text);

}  // namespace korsi::company
