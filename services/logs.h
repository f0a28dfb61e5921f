#pragma once
// The one log file of the program. Every statement is one line:
//   24.02.2009 6:22:05 : INF : modbus.cpp(120) : message
// written whole under one lock and flushed before the statement returns, so
// the file is complete up to the last statement even if the process dies.
//
// Write statements with LOG_INF(pieces...) and LOG_ERR(pieces...). Pieces are
// texts and integers (decimal, minus sign when negative), written one after the
// other with nothing between them. Without a process log they write nothing.

#include <concepts>
#include <ctime>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>

#include "services/config.h"

namespace korsi {

class logstream : public std::ofstream {
 public:
  // Local date and time of a statement; tests fix it.
  using Clock = std::function<std::tm()>;

  // Opens (creates or empties) the file named by the key "log_file". A missing
  // key lets ConfigException(1) pass; a file that cannot be created shows the
  // error box "Не могу создать файл логов на запись" and throws std::runtime_error.
  explicit logstream(const Config& config);
  // Opens (creates or empties) fileName itself, with the same failure.
  explicit logstream(const std::string& fileName);
  ~logstream() override;

  void setClock(Clock clock);

  // Told once, on the first statement that cannot be written, why (the text
  // names the file). It runs on the thread of that statement, outside the
  // log's lock. Without one the error box shows the text.
  using FailureReport = std::function<void(const std::string& text)>;
  void setFailureReport(FailureReport report);

  // Writes one whole line and flushes it. Safe from any thread. A write that
  // fails is tried once more at once, and every later statement tries again,
  // so the log goes on as soon as the file can be written again (a full disk
  // that has room again).
  void statement(std::string_view level, std::string_view sourceFile, int sourceLine,
                 std::string_view message);

 private:
  bool writeLine(const std::string& line);

  std::mutex mutex_;
  Clock clock_;
  std::string fileName_;
  FailureReport failureReport_;
  bool failureReported_ = false;
};

// The text of the one report of a log that cannot be written.
std::string logWriteFailureText(const std::string& fileName, const std::string& reason);

// "24.02.2009 6:22:05": day.month.year, hours without a leading zero.
std::string formatLogTime(const std::tm& time);

// The part of a compiler-recorded path after its last '/' or '\'.
constexpr std::string_view sourceBaseName(std::string_view path) {
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// The log that statements go to; the start-up code sets it right after making
// the log and clears it before destroying it.
void setProcessLog(logstream* log) noexcept;
logstream* processLog() noexcept;

// Decides, for every statement made on one thread, whether it is written: a
// worker that has been stopped writes nothing more, neither its own lines nor
// those of the master and the port it was using on its thread.
class StatementGate {
 public:
  // Calls write unless the gate is closed, as one step against closing it.
  virtual void pass(const std::function<void()>& write) = 0;

 protected:
  ~StatementGate() = default;
};

// The gate of the calling thread (none: every statement is written).
void setThreadStatementGate(StatementGate* gate) noexcept;
StatementGate* threadStatementGate() noexcept;

namespace detail {

template <class T>
void appendPiece(std::string& out, const T& piece) {
  if constexpr (std::is_same_v<T, char>) {
    out += piece;
  } else if constexpr (std::is_same_v<T, bool>) {
    out += piece ? '1' : '0';
  } else if constexpr (std::signed_integral<T>) {
    out += std::to_string(static_cast<long long>(piece));
  } else if constexpr (std::unsigned_integral<T>) {
    out += std::to_string(static_cast<unsigned long long>(piece));
  } else {
    out += std::string_view(piece);
  }
}

template <class... Pieces>
void logLine(std::string_view level, std::string_view file, int line, const Pieces&... pieces) {
  logstream* log = processLog();
  if (log == nullptr) return;
  std::string message;
  (appendPiece(message, pieces), ...);
  if (StatementGate* gate = threadStatementGate()) {
    gate->pass([&] { log->statement(level, sourceBaseName(file), line, message); });
  } else {
    log->statement(level, sourceBaseName(file), line, message);
  }
}

}  // namespace detail
}  // namespace korsi

#define LOG_INF(...) ::korsi::detail::logLine("INF", __FILE__, __LINE__, __VA_ARGS__)
#define LOG_ERR(...) ::korsi::detail::logLine("ERR", __FILE__, __LINE__, __VA_ARGS__)
