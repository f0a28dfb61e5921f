#include "company_archive/pg_connection.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace korsi::company {

namespace {

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// A connection that could not be made, by the words libpq uses.
FailureKind connectionKind(std::string_view message) {
  if (contains(message, "certificate") || contains(message, "SSL error") || contains(message, "sslmode")) {
    return FailureKind::Certificate;
  }
  if (contains(message, "authentication failed") || contains(message, "does not exist") ||
      contains(message, "no pg_hba.conf entry") || contains(message, "no password supplied") ||
      contains(message, "permission denied for database")) {
    return FailureKind::Login;
  }
  return FailureKind::Unreachable;
}

std::string connectionMessage(FailureKind kind, const std::string& detail) {
  switch (kind) {
    case FailureKind::Certificate:
      return "Сертификат сервера архива компании отвергнут (соединение не установлено): " + detail;
    case FailureKind::Login:
      return "Сервер архива компании не принял вход: " + detail;
    default:
      return "Сервер архива компании недоступен: " + detail;
  }
}

}  // namespace

PgConnection::PgConnection(const std::string& uri) {
  // The URI comes last so that its own settings win over these defaults.
  const char* keys[] = {"connect_timeout", "application_name", "dbname", nullptr};
  const char* values[] = {"10", "korsi7", uri.c_str(), nullptr};
  conn_ = PQconnectdbParams(keys, values, 1);
  if (conn_ == nullptr) {
    failure_ = {FailureKind::Unreachable, {}, "Сервер архива компании недоступен: нет памяти"};
    return;
  }
  if (PQstatus(conn_) != CONNECTION_OK) {
    const std::string detail = trimmed(PQerrorMessage(conn_));
    const FailureKind kind = connectionKind(detail);
    failure_ = {kind, {}, connectionMessage(kind, detail)};
    return;
  }
  // The server's notices ("there is no transaction in progress") are no
  // concern of the user's; libpq would print them on standard error.
  PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
  // Messages in a form the program can read the same on any server, and
  // numbers written to their last bit.
  runScript("SET client_encoding = 'UTF8'; SET extra_float_digits = 3; SET DateStyle = 'ISO, YMD';"
            " SET TimeZone = 'UTC'");
}

PgConnection::~PgConnection() {
  if (conn_ != nullptr) PQfinish(conn_);
}

void PgConnection::failFromConnection(FailureKind fallback) {
  const std::string detail = trimmed(PQerrorMessage(conn_));
  if (PQstatus(conn_) == CONNECTION_BAD) {
    failure_ = {FailureKind::Unreachable, {}, "Связь с сервером архива компании прервана: " + detail};
  } else {
    failure_ = {fallback, {}, "Сервер архива компании отказал: " + detail};
  }
}

void PgConnection::failFromResult(const PGresult* result) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  if (state == nullptr || PQstatus(conn_) == CONNECTION_BAD) {
    failFromConnection(FailureKind::Refused);
    return;
  }
  const std::string code = state;
  const std::string detail = primary ? primary : trimmed(PQerrorMessage(conn_));
  ServerFailure f{FailureKind::Refused, code, {}};
  if (code == "42501") {
    f.kind = FailureKind::Permission;
    f.message = "Нет прав на это действие в архиве компании: " + detail;
  } else if (code.starts_with("08") || code == "57P01" || code == "57P02" || code == "57P03" ||
             code == "40001" || code == "40P01") {
    f.kind = FailureKind::Unreachable;
    f.message = "Связь с сервером архива компании прервана: " + detail;
  } else if (code == "3F000" || code == "42P01") {
    f.kind = FailureKind::NotInitialised;
    f.message = "Архив компании на сервере не создан (korsi7-transfer archive init): " + detail;
  } else {
    f.message = "Сервер архива компании отказал: " + detail;
  }
  failure_ = std::move(f);
}

Result PgConnection::run(const std::string& sql, const Params& params) {
  if (failure_) return nullptr;
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
  Result result(PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                             nullptr, 0));
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    failFromResult(result.get());
    return nullptr;
  }
  return result;
}

bool PgConnection::runScript(const std::string& sql) {
  if (failure_) return false;
  Result result(PQexec(conn_, sql.c_str()));
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    failFromResult(result.get());
    return false;
  }
  return true;
}

bool PgConnection::copyIn(const std::string& copySql, const std::string& rows) {
  if (failure_) return false;
  Result start(PQexec(conn_, copySql.c_str()));
  if (!start || PQresultStatus(start.get()) != PGRES_COPY_IN) {
    failFromResult(start.get());
    return false;
  }
  // In pieces, so that a large job is not one allocation inside libpq.
  constexpr std::size_t kPiece = 1 << 20;
  for (std::size_t at = 0; at < rows.size(); at += kPiece) {
    const std::size_t n = std::min(kPiece, rows.size() - at);
    if (PQputCopyData(conn_, rows.data() + at, static_cast<int>(n)) != 1) {
      failFromConnection(FailureKind::Unreachable);
      return false;
    }
  }
  if (PQputCopyEnd(conn_, nullptr) != 1) {
    failFromConnection(FailureKind::Unreachable);
    return false;
  }
  Result end(PQgetResult(conn_));
  bool ok = end && PQresultStatus(end.get()) == PGRES_COMMAND_OK;
  if (!ok) failFromResult(end.get());
  // libpq needs every result taken before the next statement.
  while (Result more{PQgetResult(conn_)}) {
  }
  return ok;
}

ServerFailure PgConnection::abandon() {
  ServerFailure first = failure_;
  failure_ = {};
  // A rollback on a broken connection fails too; the first cause is the one to tell.
  runScript("ROLLBACK");
  failure_ = {};
  return first;
}

std::string PgConnection::role() {
  Result r = run("SELECT current_user");
  return r && PQntuples(r.get()) == 1 ? PQgetvalue(r.get(), 0, 0) : std::string();
}

void appendCopyText(std::string& out, const std::string& text) {
  for (const char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c; break;
    }
  }
}

std::string textProblem(const std::string& text) {
  std::size_t i = 0;
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  while (i < text.size()) {
    const unsigned char c = byte(i);
    if (c == 0) return "текст содержит нулевой символ, который сервер не хранит";
    std::size_t extra = 0;
    std::uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return "текст не в кодировке UTF-8";
    }
    if (i + extra >= text.size()) return "текст не в кодировке UTF-8";
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((byte(i + k) & 0xC0) != 0x80) return "текст не в кодировке UTF-8";
      cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    const std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return "текст не в кодировке UTF-8";
    i += extra + 1;
  }
  return {};
}

}  // namespace korsi::company
