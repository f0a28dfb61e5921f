#pragma once
// What the workers need around them, as start-up makes it: a temporary
// kestro.conf (its log file and, when given, "default_comport"), the process
// log, the serial port, the idle slave and the master. Every port number from
// 1 to 255 names a device path that does not exist, so a search passes them
// silently and at once; a test attaches the simulated gauge or a scripted peer
// to the numbers it wants.

#include <cstdint>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "link/comm_port.h"
#include "link/modbus_master.h"
#include "link/port_resolver.h"
#include "services/config.h"
#include "services/logs.h"
#include "tests/support/tempdir.h"

namespace korsi::test {

class GaugeBench {
 public:
  explicit GaugeBench(std::optional<std::int32_t> defaultPort = std::nullopt) {
    std::string text = "log_file " + dir_.file("korsi.log") + "\n";
    if (defaultPort) text += "default_comport " + std::to_string(*defaultPort) + "\n";
    writeFile(dir_.file("kestro.conf"), text);
    config_ = std::make_unique<Config>(dir_.file("kestro.conf"));
    log_ = std::make_unique<logstream>(*config_);
    setProcessLog(log_.get());
    for (std::int32_t n = 1; n <= 255; ++n) resolver_.setPath(n, dir_.file("no-device-COM" + std::to_string(n)));
    port_ = std::make_unique<TCommPort>(resolver_);
    slave_ = std::make_unique<Modbus::MBSlave>(*port_);
    master_ = std::make_unique<Modbus::MBMaster>(*port_);
  }
  ~GaugeBench() {
    master_.reset();
    slave_.reset();
    port_.reset();
    setProcessLog(nullptr);
    log_.reset();
  }
  GaugeBench(const GaugeBench&) = delete;
  GaugeBench& operator=(const GaugeBench&) = delete;

  // Port n opens devicePath from its next open on.
  void attach(std::int32_t n, const std::string& devicePath) {
    resolver_.setPath(n, devicePath);
    port_->setPortResolver(resolver_);
  }
  // Opens port n, as a search that found the gauge there leaves it.
  void open(std::int32_t n) {
    port_->setPortNumber(n);
    port_->setActive(true);
  }

  // Every log line so far as "LEVEL message", for example "INF findinconfig".
  std::vector<std::string> logLines() const { return linesOf(""); }
  // Only the lines written by one source file ("device_found_thread.cpp"):
  // a worker's own log, without the port's and the master's lines.
  std::vector<std::string> logLinesOf(const std::string& sourceFile) const { return linesOf(sourceFile); }
  // The log lines that start with prefix ("ERR ", "INF Обработка порта").
  std::vector<std::string> logLinesStartingWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (std::string& line : logLines()) {
      if (line.rfind(prefix, 0) == 0) out.push_back(std::move(line));
    }
    return out;
  }

  Config& config() { return *config_; }
  TCommPort& port() { return *port_; }
  Modbus::MBMaster& master() { return *master_; }

 private:
  // Lines are "date time : LEVEL : file(line) : message".
  std::vector<std::string> linesOf(const std::string& sourceFile) const {
    std::vector<std::string> lines;
    std::istringstream in(readFile(dir_.file("korsi.log")));
    for (std::string line; std::getline(in, line);) {
      const std::size_t level = line.find(" : ");
      const std::size_t file = line.find(" : ", level + 3);
      const std::size_t message = line.find(") : ", file);
      if (level == std::string::npos || file == std::string::npos || message == std::string::npos) continue;
      if (!sourceFile.empty() && line.compare(file + 3, sourceFile.size() + 1, sourceFile + "(") != 0) continue;
      lines.push_back(line.substr(level + 3, 3) + " " + line.substr(message + 4));
    }
    return lines;
  }

  TempDir dir_;
  std::unique_ptr<Config> config_;
  std::unique_ptr<logstream> log_;
  PortResolver resolver_;
  std::unique_ptr<TCommPort> port_;
  std::unique_ptr<Modbus::MBSlave> slave_;
  std::unique_ptr<Modbus::MBMaster> master_;
};

}  // namespace korsi::test
