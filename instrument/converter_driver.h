#pragma once
// The USB-to-serial converter's driver, as the device search sees it: whether
// it is installed at all, and which port numbers its devices have. Each
// platform answers in its own file (converter_driver_linux.cpp,
// converter_driver_windows.cpp).

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

// Where each platform looks; tests point these at a fake tree or fake keys.
struct ConverterDriverRoots {
  // Linux.
  std::string sysfs = "/sys";
  std::string procModules = "/proc/modules";
  std::string moduleDir;  // empty: /lib/modules/<running kernel release> (uname)
  // Windows: registry keys, "HKLM\..." or "HKCU\...". The driver's service
  // key (there when the driver is installed); the devices the driver has
  // enumerated, each with "<device>\0000\Device Parameters" holding its
  // PortName; and the map of the serial devices present now to their COM
  // names, where the driver's are named \Device\VCP<n>.
  std::string driverKey = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\FTDIBUS";
  std::string enumKey = "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS";
  std::string serialCommKey = "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM";
};

// The converter's driver on this platform (Linux: ftdi_sio; Windows: FTDIBUS).
std::unique_ptr<ConverterDriver> makeConverterDriver(PortResolver resolver, ConverterDriverRoots roots = {});

}  // namespace korsi
