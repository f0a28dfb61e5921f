#pragma once
// What the transfer talks to the gauge with, made in the desktop program's
// order: the configuration (a file only when there is one, never written
// back unless asked), the log (only with --log), the serial port with its
// idle slave and its master, and the converter's driver; destroyed in the
// reverse order. Also names ports for the user's messages.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "instrument/converter_driver.h"
#include "link/comm_port.h"
#include "link/modbus_master.h"
#include "link/port_resolver.h"
#include "services/config.h"
#include "services/logs.h"
#include "tools/transfer/transfer_options.h"

namespace korsi::transfer {

// Why the link could not be made, or a port not named: a line for the user
// and the exit status.
struct Refusal {
  int exitStatus = kExitUsage;
  std::string message;
};

class TransferLink {
 public:
  // Nothing, with *refusal set, when the configuration cannot be read, the
  // log not created, or --remember has nowhere to store the port.
  static std::unique_ptr<TransferLink> make(const TransferOptions& options, Refusal* refusal);
  ~TransferLink();
  TransferLink(const TransferLink&) = delete;
  TransferLink& operator=(const TransferLink&) = delete;

  // The port number that --port names. A path that no number names gets a
  // number of its own above the search's range for this run; such a port
  // cannot be remembered.
  std::int32_t namePort(const std::string& argument);

  // "COM5 (/dev/ttyUSB4)", or the path alone for a port only this run knows.
  std::string portLabel(std::int32_t n) const;

  // Stores n as default_comport and writes the configuration file; empty on
  // success, else why not.
  std::string rememberPort(std::int32_t n);

  Config& config() noexcept { return *config_; }
  TCommPort& port() noexcept { return *port_; }
  Modbus::MBMaster& master() noexcept { return *master_; }
  const ConverterDriver& driver() const noexcept { return *driver_; }

 private:
  TransferLink() = default;

  std::unique_ptr<Config> config_;
  std::unique_ptr<logstream> log_;
  PortResolver resolver_;
  std::optional<std::int32_t> unnamedPort_;
  std::unique_ptr<TCommPort> port_;
  std::unique_ptr<Modbus::MBSlave> slave_;
  std::unique_ptr<Modbus::MBMaster> master_;
  std::unique_ptr<ConverterDriver> driver_;
};

}  // namespace korsi::transfer
