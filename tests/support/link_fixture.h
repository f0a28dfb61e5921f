#pragma once
// A temporary working directory with a configuration file whose log goes to a
// temporary file (installed as the process log) and whose "COM7" entry points
// at a scripted peer on a real pseudo-terminal.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "link/comm_port.h"
#include "link/port_resolver.h"
#include "services/config.h"
#include "services/logs.h"
#include "tests/support/pty_peer.h"
#include "tests/support/tempdir.h"

namespace korsi::test {

struct LogLine {
  std::string level;
  std::string message;
  bool operator==(const LogLine&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const LogLine& line) {
  return out << line.level << " \"" << line.message << "\"";
}

// Waits until at least n received bytes wait in the port's ring; false if
// they never come (a guard against a hung test, not a measurement).
inline bool waitUntilWaiting(TCommPort& port, std::uint32_t n) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (port.waitingCount() < n) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class LinkFixture : public ::testing::Test {
 protected:
  static constexpr int kPort = 7;

  LinkFixture() {
    writeFile(dir.file("kestro.conf"), "log_file " + logPath + "\n" + peer.configEntry(kPort) + "\n");
    config.emplace(dir.file("kestro.conf"));
    log = std::make_unique<logstream>(*config);
    setProcessLog(log.get());
  }
  ~LinkFixture() override { setProcessLog(nullptr); }

  PortResolver resolver() const { return PortResolver::fromConfig(*config); }

  // Level and message of every line in the log so far.
  std::vector<LogLine> logLines() const {
    std::vector<LogLine> lines;
    std::istringstream in(readFile(logPath));
    for (std::string line; std::getline(in, line);) {
      const std::size_t level = line.find(" : ");
      const std::size_t message = line.find(") : ", level);
      if (level == std::string::npos || message == std::string::npos) continue;
      lines.push_back({line.substr(level + 3, 3), line.substr(message + 4)});
    }
    return lines;
  }

  // Waits until at least n received bytes wait in the port's ring; false if
  // they never come (a guard against a hung test, not a measurement).
  static bool waitForWaiting(TCommPort& port, std::uint32_t n) { return waitUntilWaiting(port, n); }

  TempDir dir;
  std::string logPath = dir.file("korsi.log");
  PtyPeer peer;
  std::optional<Config> config;
  std::unique_ptr<logstream> log;
};

}  // namespace korsi::test
