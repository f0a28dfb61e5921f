#pragma once
// The objects that exist once for the whole run of the program: the
// configuration, the log, the serial port with its idle slave and its master,
// and the references to the current workers. They are made before any window
// and destroyed after the windows, in the reverse order of making.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "instrument/worker.h"
#include "link/comm_port.h"
#include "link/modbus_master.h"
#include "services/config.h"
#include "services/file_platform.h"
#include "services/logs.h"

namespace korsi {

// The configuration key that turns on the master's fast exchange.
inline constexpr const char* kFastExchangeKey = "fast_exchange";

// Another copy of the program works with the same folder; it has been told
// to the user.
class AlreadyRunningError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The message when the working folder is held by another copy.
std::string alreadyRunningText(const std::string& folder);

class ProcessObjects {
 public:
  // The steps of making and destroying, in the order of making.
  enum class Stage { Config, Log, Port, Slave, Master, Workers };
  // Told after each object has been made (made = true) and after each has
  // been destroyed (made = false).
  using StageObserver = std::function<void(Stage stage, bool made)>;

  // A port number mapped to a device for this run only (the simulated gauge
  // of the training mode): the search tries it first, and the configuration
  // written back at exit keeps no trace of it.
  struct TemporaryPort {
    std::int32_t number = 0;
    std::string path;  // the device, or the name of the program's own device
    // Opens the program's own device (the simulated gauge on a line inside
    // the program); empty: the platform's device at path.
    serial::DeviceFactory open = {};
  };

  struct Options {
    std::string configPath = kConfigFileName;
    StageObserver observer;
    std::optional<TemporaryPort> temporaryPort = {};
  };

  // First holds the folder of the configuration file (the working folder)
  // for this copy of the program: when another copy holds it, the box
  // alreadyRunningText(folder) is shown and AlreadyRunningError thrown before
  // anything is made, so the other copy's log, configuration and database
  // are left alone. Where the folder cannot be held at all the program
  // starts without the hold.
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
  // The remembered port that the temporary port stood in for.
  std::optional<std::int32_t> rememberedPort_;
  platform::FolderLock folderLock_;
  std::optional<Config> config_;
  std::optional<logstream> log_;
  std::optional<TCommPort> commPort_;
  std::optional<Modbus::MBSlave> modbusSlave_;
  std::optional<Modbus::MBMaster> modbusMaster_;
  std::optional<CurrentWorkers> workers_;
};

}  // namespace korsi
