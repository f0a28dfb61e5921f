#include "services/logs.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <stdexcept>

#include "services/error_box.h"
#include "services/utf8_path.h"

namespace korsi {

namespace {

std::atomic<logstream*> theProcessLog{nullptr};
thread_local StatementGate* theThreadGate = nullptr;

std::tm localNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace

void setProcessLog(logstream* log) noexcept { theProcessLog.store(log); }
logstream* processLog() noexcept { return theProcessLog.load(); }

void setThreadStatementGate(StatementGate* gate) noexcept { theThreadGate = gate; }
StatementGate* threadStatementGate() noexcept { return theThreadGate; }

std::string formatLogTime(const std::tm& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %d:%02d:%02d", t.tm_mday, t.tm_mon + 1,
                t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

std::string logWriteFailureText(const std::string& fileName, const std::string& reason) {
  return "Не могу записать в файл логов " + fileName + ": " + reason;
}

logstream::logstream(const Config& config) : logstream(config.getString("log_file")) {}

logstream::logstream(const std::string& name) : clock_(localNow) {
  fileName_ = name;
  // Unbuffered: each line goes to the file in one write, so a write that
  // fails leaves nothing behind in the stream to come out later.
  rdbuf()->pubsetbuf(nullptr, 0);
  // Binary: the lines end in LF on every platform, as the program writes them.
  open(utf8Path(name), std::ios::out | std::ios::trunc | std::ios::binary);
  if (!is_open()) {
    showErrorBox("Не могу создать файл логов на запись");
    throw std::runtime_error("log file cannot be created: " + name);
  }
}

logstream::~logstream() {
  // A log destroyed while still set as the process log must not be written to.
  logstream* self = this;
  theProcessLog.compare_exchange_strong(self, nullptr);
}

void logstream::setClock(Clock clock) {
  std::lock_guard lock(mutex_);
  clock_ = std::move(clock);
}

void logstream::setFailureReport(FailureReport report) {
  std::lock_guard lock(mutex_);
  failureReport_ = std::move(report);
}

bool logstream::writeLine(const std::string& line) {
  // A stream that failed before is in its error state; without clearing it
  // every later statement would write nothing.
  clear();
  write(line.data(), static_cast<std::streamsize>(line.size()));
  flush();
  return good();
}

void logstream::statement(std::string_view level, std::string_view sourceFile, int sourceLine,
                          std::string_view message) {
  FailureReport report;
  std::string text;
  {
    std::lock_guard lock(mutex_);
    std::string line = formatLogTime(clock_ ? clock_() : localNow());
    line.append(" : ").append(level).append(" : ").append(sourceFile);
    line.append("(").append(std::to_string(sourceLine)).append(") : ").append(message).append("\n");
    if (writeLine(line)) return;
    errno = 0;
    if (writeLine(line)) return;
    if (failureReported_) return;
    failureReported_ = true;
    const int code = errno;
    text = logWriteFailureText(fileName_, code != 0 ? std::generic_category().message(code) : "ошибка записи");
    report = failureReport_;
  }
  if (report) {
    report(text);
  } else {
    showErrorBox(text);
  }
}

}  // namespace korsi
