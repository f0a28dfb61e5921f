#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "instrument/converter_driver.h"
#include "link/port_resolver.h"
#include "tests/support/tempdir.h"

namespace {

namespace fs = std::filesystem;
using korsi::test::writeFile;

// A fake /sys, /proc/modules and /lib/modules/<release> in a temporary
// directory; nothing of it exists until a test writes it.
struct FakeTree {
  korsi::test::TempDir dir;
  fs::path sysfs = dir.path() / "sys";
  fs::path drivers = sysfs / "bus/usb-serial/drivers";
  fs::path procModules = dir.path() / "proc/modules";
  fs::path moduleDir = dir.path() / "lib/modules/6.1.0-test";

  korsi::ConverterPorts query(const std::vector<std::string>& config = {}) const {
    const auto driver = korsi::makeConverterDriver(korsi::PortResolver(config),
                                                   {sysfs.string(), procModules.string(), moduleDir.string()});
    return driver->query();
  }

  void write(const fs::path& file, const std::string& text) const {
    fs::create_directories(file.parent_path());
    writeFile(file.string(), text);
  }
};

struct InstalledCase {
  const char* what;
  std::function<void(const FakeTree&)> make;
  bool installed;
};

TEST(ConverterDriver, CountsAsInstalledWhenSysfsOrTheModuleListsNameIt) {
  const std::vector<InstalledCase> cases = {
      {"nothing at all", [](const FakeTree&) {}, false},
      {"registered in sysfs", [](const FakeTree& t) { fs::create_directories(t.drivers / "ftdi_sio"); }, true},
      {"loaded",
       [](const FakeTree& t) {
         t.write(t.procModules,
                 "usbserial 57344 1 ftdi_sio, Live 0x0000000000000000\n"
                 "ftdi_sio 61440 0 - Live 0x0000000000000000\n");
       },
       true},
      {"available as a compressed module",
       [](const FakeTree& t) {
         t.write(t.moduleDir / "modules.dep",
                 "kernel/drivers/usb/serial/pl2303.ko.xz: kernel/drivers/usb/serial/usbserial.ko.xz\n"
                 "kernel/drivers/usb/serial/ftdi_sio.ko.xz: kernel/drivers/usb/serial/usbserial.ko.xz\n");
       },
       true},
      {"available as a plain module",
       [](const FakeTree& t) { t.write(t.moduleDir / "modules.dep", "kernel/drivers/usb/serial/ftdi_sio.ko:\n"); },
       true},
      {"built into the kernel",
       [](const FakeTree& t) {
         t.write(t.moduleDir / "modules.builtin",
                 "kernel/drivers/usb/serial/usbserial.ko\nkernel/drivers/usb/serial/ftdi_sio.ko\n");
       },
       true},
      {"only other drivers and lookalike names",
       [](const FakeTree& t) {
         fs::create_directories(t.drivers / "pl2303");
         fs::create_directories(t.drivers / "ftdi_sio_extra");
         t.write(t.drivers / "ftdi_sio", "");  // not a directory
         // ftdi_sio as a user of another module is not ftdi_sio loaded.
         t.write(t.procModules,
                 "usbserial 57344 1 ftdi_sio, Live 0x0\nftdi_sio_extra 4096 0 - Live 0x0\nxftdi_sio 4096 0 - Live 0x0\n");
         t.write(t.moduleDir / "modules.dep",
                 "kernel/drivers/usb/serial/xftdi_sio.ko.xz:\n"
                 "kernel/drivers/usb/serial/ftdi_sio_extra.ko.xz: kernel/drivers/usb/serial/ftdi_sio.ko.xz\n");
         t.write(t.moduleDir / "modules.builtin", "kernel/drivers/usb/serial/ftdi_sio.kox\nftdi_sio\n");
       },
       false},
      {"module lists that are directories, not files",
       [](const FakeTree& t) {
         fs::create_directories(t.procModules);
         fs::create_directories(t.moduleDir / "modules.dep");
         fs::create_directories(t.moduleDir / "modules.builtin");
       },
       false},
  };
  for (const InstalledCase& c : cases) {
    const FakeTree tree;
    c.make(tree);
    const korsi::ConverterPorts found = tree.query();
    EXPECT_EQ(found.installed, c.installed) << c.what;
    EXPECT_TRUE(found.ports.empty()) << c.what;
  }
}

struct PortsCase {
  const char* what;
  std::vector<std::string> entries;  // names under the driver's sysfs directory
  std::vector<std::string> config;
  std::vector<std::int32_t> ports;
};

TEST(ConverterDriver, ListsThePortsOfItsTtyDevicesInNaturalOrder) {
  const std::vector<std::string> controls = {"bind", "unbind", "new_id", "remove_id", "uevent", "module"};
  const std::vector<PortsCase> cases = {
      {"natural order", {"ttyUSB30", "ttyUSB7", "ttyUSB0"}, {}, {33, 40, 63}},
      {"overridden number", {"ttyUSB7", "ttyUSB0"}, {"COM5 /dev/ttyUSB7"}, {33, 5}},
      {"no tty devices", {}, {}, {}},
      {"other names are not tty devices", {"ttyS0", "ttyUSB", "ttyUSBx", "ttyUSB1a", "ttyUSB-1", "ttyUSB2"}, {}, {35}},
      {"devices without a port number are skipped",
       {"ttyUSB64", "ttyUSB65", "ttyUSB7", "ttyUSB8"},
       {"COM300 /dev/ttyUSB65", "COM40 /dev/pts/4"},
       {41, 300}},
  };
  for (const PortsCase& c : cases) {
    const FakeTree tree;
    const fs::path driverDir = tree.drivers / "ftdi_sio";
    fs::create_directories(driverDir);
    for (const std::string& name : controls) tree.write(driverDir / name, "");
    // Real sysfs lists each device as a symlink; a fake one may hold anything.
    const fs::path devices = tree.sysfs / "devices";
    for (std::size_t i = 0; i < c.entries.size(); ++i) {
      const fs::path entry = driverDir / c.entries[i];
      switch (i % 3) {
        case 0:
          fs::create_directories(devices / c.entries[i]);
          fs::create_directory_symlink(devices / c.entries[i], entry);
          break;
        case 1:
          fs::create_directory(entry);
          break;
        default:
          tree.write(entry, "");
      }
    }
    const korsi::ConverterPorts found = tree.query(c.config);
    EXPECT_TRUE(found.installed) << c.what;
    EXPECT_EQ(found.ports, c.ports) << c.what;
  }
}

}  // namespace
