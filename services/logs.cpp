#include "services/logs.h"

#include <atomic>
#include <cstdio>
#include <stdexcept>

#include "services/error_box.h"

namespace korsi {

namespace {

std::atomic<logstream*> theProcessLog{nullptr};

std::tm localNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace

void setProcessLog(logstream* log) noexcept { theProcessLog.store(log); }
logstream* processLog() noexcept { return theProcessLog.load(); }

std::string formatLogTime(const std::tm& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %d:%02d:%02d", t.tm_mday, t.tm_mon + 1,
                t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

logstream::logstream(const Config& config) : logstream(config.getString("log_file")) {}

logstream::logstream(const std::string& name) : clock_(localNow) {
  open(name, std::ios::out | std::ios::trunc);
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

void logstream::statement(std::string_view level, std::string_view sourceFile, int sourceLine,
                          std::string_view message) {
  std::lock_guard lock(mutex_);
  *this << formatLogTime(clock_()) << " : " << level << " : " << sourceFile << '(' << sourceLine
        << ") : " << message << '\n';
  flush();
}

}  // namespace korsi
