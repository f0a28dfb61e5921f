#pragma once
// The USB-to-serial converter's driver, as the device search sees it: whether
// it is installed at all, and which port numbers its devices have. Each
// platform answers in its own file (converter_driver_linux.cpp for Linux).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/port_resolver.h"

namespace korsi {

// What the USB-to-serial converter's driver tells the device search.
struct ConverterPorts {
  bool installed = false;            // false: the driver is not installed
  std::vector<std::int32_t> ports;   // its devices' port numbers, in a stable order
};

class ConverterDriver {
 public:
  virtual ~ConverterDriver() = default;
  virtual ConverterPorts query() const = 0;
};

// Where the Linux implementation looks; tests point these at a fake tree.
struct ConverterDriverRoots {
  std::string sysfs = "/sys";
  std::string procModules = "/proc/modules";
  std::string moduleDir;  // empty: /lib/modules/<running kernel release> (uname)
};

// The converter's driver on this platform (Linux: ftdi_sio).
std::unique_ptr<ConverterDriver> makeConverterDriver(PortResolver resolver, ConverterDriverRoots roots = {});

}  // namespace korsi
