#pragma once
// A process log in a temporary directory, installed for the life of the
// object, and the messages written to it.

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "services/config.h"
#include "services/logs.h"
#include "tests/support/tempdir.h"

namespace korsi::test {

class LogCapture {
 public:
  struct Entry {
    std::string level;
    std::string message;
    friend bool operator==(const Entry&, const Entry&) = default;
  };

  LogCapture() {
    writeFile(dir_.file("kestro.conf"), "log_file " + dir_.file("korsi.log") + "\n");
    config_.emplace(dir_.file("kestro.conf"));
    log_ = std::make_unique<logstream>(*config_);
    setProcessLog(log_.get());
  }
  ~LogCapture() { setProcessLog(nullptr); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Level and message of each line "date time : LEVEL : file(line) : message".
  std::vector<Entry> entries() const {
    std::vector<Entry> out;
    std::istringstream in(readFile(dir_.file("korsi.log")));
    for (std::string line; std::getline(in, line);) {
      const std::size_t levelStart = line.find(" : ");
      const std::size_t levelEnd = line.find(" : ", levelStart + 3);
      const std::size_t messageStart = line.find(") : ", levelEnd);
      if (levelStart == std::string::npos || levelEnd == std::string::npos || messageStart == std::string::npos) {
        continue;
      }
      out.push_back({line.substr(levelStart + 3, levelEnd - levelStart - 3), line.substr(messageStart + 4)});
    }
    return out;
  }

 private:
  TempDir dir_;
  std::optional<Config> config_;
  std::unique_ptr<logstream> log_;
};

}  // namespace korsi::test
