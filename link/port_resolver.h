#pragma once
// Which device a port number names. The configuration may map any number to
// any device path with an entry "COM<n> <path>"; otherwise the platform's
// default applies (port_names.h). On termios systems three fixed blocks:
// COM1-COM32 = /dev/ttyS0-31, COM33-COM96 = /dev/ttyUSB0-63,
// COM97-COM160 = /dev/ttyACM0-63; on Windows COM1-COM255 = \\.\COMn. Other
// numbers have no device.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/serial_device.h"

namespace korsi {

class Config;

class PortResolver {
 public:
  // Only the fixed blocks.
  PortResolver() = default;
  // The fixed blocks, overridden by the "COM<n> <path>" lines among entries
  // (the first line for a number wins; lines of another shape are ignored).
  explicit PortResolver(const std::vector<std::string>& entries);
  static PortResolver fromConfig(const Config& config);

  // Maps port n to path, in place of what it named before.
  void setPath(std::int32_t n, std::string path);
  // Maps port n to a device of the program's own, called name (what
  // devicePath gives and the log shows), opened by open.
  void setDevice(std::int32_t n, std::string name, serial::DeviceFactory open);

  // Opens the device of port n found at path (devicePath(n)): the program's
  // own device when one is mapped to n, else the platform's device.
  serial::OpenResult openDevice(std::int32_t n, const std::string& path) const;

  // The device path of port n, or none when the number names no device.
  std::optional<std::string> devicePath(std::int32_t n) const;

  // The number whose device is path: the lowest overridden number that names
  // it, else its fixed-block number unless that number now names another
  // path; none for a path that no number names.
  std::optional<std::int32_t> portNumberOf(const std::string& devicePath) const;

  // The path of a number under the fixed blocks alone.
  static std::optional<std::string> defaultPath(std::int32_t n);

 private:
  std::map<std::int32_t, std::string> overrides_;
  std::map<std::int32_t, serial::DeviceFactory> ownDevices_;
};

}  // namespace korsi
