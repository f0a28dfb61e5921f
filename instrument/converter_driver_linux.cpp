// The converter's driver on Linux: ftdi_sio. It counts as installed when the
// usb-serial bus has it registered (loaded, devices or not), or when the
// running kernel lists it as loaded, built in or available as a module. Its
// ports are the tty devices sysfs lists under the driver. Nothing here throws:
// a file or directory that cannot be read counts as not there.

#include <sys/utsname.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <utility>

#include "instrument/converter_driver.h"

namespace korsi {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDriver = "ftdi_sio";

// Where the kernel keeps its module lists: /lib/modules/<release>.
std::string runningModuleDir() {
  utsname name{};
  if (uname(&name) != 0) return {};
  return std::string("/lib/modules/") + name.release;
}

// Whether some line of the file passes the test; a missing or unreadable file
// has no lines.
template <typename Test>
bool anyLine(const fs::path& file, Test test) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (test(line)) return true;
  }
  return false;
}

// A line of /proc/modules starts with the loaded module's name.
bool loadedModule(std::string_view line) { return line.substr(0, line.find(' ')) == kDriver; }

// A line of modules.builtin or modules.dep starts with the module's file,
// "kernel/drivers/usb/serial/ftdi_sio.ko", maybe compressed (".ko.xz"); in
// modules.dep the modules it needs follow after a colon.
bool moduleFile(std::string_view line) {
  line = line.substr(0, line.find(':'));
  const std::string_view base = line.substr(line.rfind('/') + 1);  // npos + 1 is 0: no folder
  const std::string file = std::string(kDriver) + ".ko";
  return base == file || (base.starts_with(file) && base[file.size()] == '.');
}

// "ttyUSB12" gives 12; any other name gives none.
std::optional<unsigned long> ttyNumber(const std::string& name) {
  constexpr std::string_view kPrefix = "ttyUSB";
  if (name.size() <= kPrefix.size() || !name.starts_with(kPrefix)) return std::nullopt;
  if (name[kPrefix.size()] < '0' || name[kPrefix.size()] > '9') return std::nullopt;
  unsigned long n = 0;
  const auto [end, error] = std::from_chars(name.data() + kPrefix.size(), name.data() + name.size(), n);
  if (error != std::errc() || end != name.data() + name.size()) return std::nullopt;
  return n;
}

class LinuxConverterDriver final : public ConverterDriver {
 public:
  LinuxConverterDriver(PortResolver resolver, ConverterDriverRoots roots)
      : resolver_(std::move(resolver)), roots_(std::move(roots)) {
    if (roots_.moduleDir.empty()) roots_.moduleDir = runningModuleDir();
  }

  ConverterPorts query() const override {
    const fs::path driverDir = fs::path(roots_.sysfs) / "bus/usb-serial/drivers" / kDriver;
    std::error_code ignored;
    const bool registered = fs::is_directory(driverDir, ignored);
    // An unloaded module that could load (or one built in) still counts: the
    // search is about the driver being present, not about a device plugged in.
    const fs::path modules(roots_.moduleDir);
    const bool installed = registered || anyLine(roots_.procModules, loadedModule) ||
                           (!roots_.moduleDir.empty() && (anyLine(modules / "modules.builtin", moduleFile) ||
                                                          anyLine(modules / "modules.dep", moduleFile)));
    return {installed, ports(driverDir)};
  }

 private:
  // The port numbers of the tty devices under the driver, in natural name
  // order (ttyUSB7 before ttyUSB30) so that the search tries them the same way
  // every time.
  std::vector<std::int32_t> ports(const fs::path& driverDir) const {
    std::vector<std::pair<unsigned long, std::string>> ttys;
    std::error_code error;
    for (fs::directory_iterator it(driverDir, error), end; !error && it != end; it.increment(error)) {
      std::string name = it->path().filename().string();
      if (const auto n = ttyNumber(name)) ttys.emplace_back(*n, std::move(name));
    }
    std::sort(ttys.begin(), ttys.end());
    std::vector<std::int32_t> numbers;
    for (const auto& [n, name] : ttys) {
      if (const auto port = resolver_.portNumberOf("/dev/" + name)) numbers.push_back(*port);
    }
    return numbers;
  }

  PortResolver resolver_;
  ConverterDriverRoots roots_;
};

}  // namespace

std::unique_ptr<ConverterDriver> makeConverterDriver(PortResolver resolver, ConverterDriverRoots roots) {
  return std::make_unique<LinuxConverterDriver>(std::move(resolver), std::move(roots));
}

}  // namespace korsi
