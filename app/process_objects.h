#pragma once
// The objects that exist once for the whole run of the program: the
// configuration, the log, the serial port with its idle slave and its master,
// and the references to the current workers. They are made before any window
// and destroyed after the windows, in the reverse order of making.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "instrument/worker.h"
#include "link/comm_port.h"
#include "link/modbus_master.h"
#include "services/config.h"
#include "services/logs.h"

namespace korsi {

// The configuration key that turns on the master's fast exchange.
inline constexpr const char* kFastExchangeKey = "fast_exchange";

class ProcessObjects {
 public:
  // The steps of making and destroying, in the order of making.
  enum class Stage { Config, Log, Port, Slave, Master, Workers };
  // Told after each object has been made (made = true) and after each has
  // been destroyed (made = false).
  using StageObserver = std::function<void(Stage stage, bool made)>;

  struct Options {
    std::string configPath = kConfigFileName;
    StageObserver observer;
  };

  // Makes the objects in order: configuration (reads the file), log (creates
  // or empties the file named by "log_file" and makes it the process log),
  // port (closed; its port numbers resolved through the configuration's
  // "COM<n> <path>" lines), slave, master (which set the port to 115200
  // bit/s; its fast exchange is on when "fast_exchange" is a number other
  // than 0, off when the key is missing), worker references. A failure leaves as the
  // configuration's or the log's own exception, after the message box they
  // show; whatever was made by then is destroyed again in reverse.
  explicit ProcessObjects(Options options);
  ProcessObjects();
  // Stops every worker and waits for it, then destroys master and slave (each
  // closes the port), port and log, and last the configuration, which writes
  // its file back.
  ~ProcessObjects();
  ProcessObjects(const ProcessObjects&) = delete;
  ProcessObjects& operator=(const ProcessObjects&) = delete;

  Config& config() noexcept { return *config_; }
  logstream& log() noexcept { return *log_; }
  TCommPort& commPort() noexcept { return *commPort_; }
  Modbus::MBMaster& modbusMaster() noexcept { return *modbusMaster_; }
  CurrentWorkers& workers() noexcept { return *workers_; }

 private:
  void made(Stage stage) const;
  // Destroys what exists, in reverse order; also undoes a failed construction.
  void teardown() noexcept;

  Options options_;
  std::optional<Config> config_;
  std::optional<logstream> log_;
  std::optional<TCommPort> commPort_;
  std::optional<Modbus::MBSlave> modbusSlave_;
  std::optional<Modbus::MBMaster> modbusMaster_;
  std::optional<CurrentWorkers> workers_;
};

}  // namespace korsi
