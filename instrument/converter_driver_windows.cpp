// The converter's driver on Windows: FTDI's FTDIBUS. It counts as installed
// when its service key is there, or when it has enumerated devices (the key
// the desktop program has always looked at). Its ports are the PortName of
// every device it has enumerated (plugged in now or not: a port with nothing
// behind it is passed over silently by the search) together with the
// \Device\VCP<n> entries of the map of serial devices present now, each port
// once, in ascending order of the port number, so the search tries them the
// same way every time. A name that is not COM and a number (the registry is
// anyone's to edit) is passed over. Nothing here throws: a key that cannot
// be read counts as not there.

#include <windows.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "instrument/converter_driver.h"
#include "instrument/registry_walk_win32.h"
#include "link/port_names.h"
#include "services/utf16.h"

namespace korsi {

namespace {

// "HKLM\\A\\B" opened for reading; null when there is no such key.
HKEY openKey(const std::string& keyPath) {
  HKEY root = nullptr;
  std::string_view rest = keyPath;
  if (rest.starts_with("HKLM\\")) {
    root = HKEY_LOCAL_MACHINE;
  } else if (rest.starts_with("HKCU\\")) {
    root = HKEY_CURRENT_USER;
  } else {
    return nullptr;
  }
  rest.remove_prefix(5);
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, win32::widen(rest).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

// "\Device\VCP12" is a device of the driver; other device names are not.
bool vcpDevice(std::string_view name) {
  constexpr std::string_view kPrefix = "\\Device\\VCP";
  if (name.size() <= kPrefix.size() || !name.starts_with(kPrefix)) return false;
  unsigned long n = 0;
  const auto [end, error] = std::from_chars(name.data() + kPrefix.size(), name.data() + name.size(), n);
  return error == std::errc() && end == name.data() + name.size();
}

// "COM5" gives 5.
std::optional<std::int32_t> comNumber(std::string_view name) {
  if (name.size() <= 3 || !name.starts_with("COM")) return std::nullopt;
  std::int32_t n = 0;
  const auto [end, error] = std::from_chars(name.data() + 3, name.data() + name.size(), n);
  if (error != std::errc() || end != name.data() + name.size()) return std::nullopt;
  return n;
}

// The text value name of an open key; empty when there is none.
std::wstring readText(HKEY key, const wchar_t* name) {
  wchar_t data[64];
  DWORD size = sizeof data;
  DWORD type = 0;
  if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return {};
  }
  std::wstring_view value(data, size / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.remove_suffix(1);
  return std::wstring(value);
}

class WindowsConverterDriver final : public ConverterDriver {
 public:
  WindowsConverterDriver(PortResolver resolver, ConverterDriverRoots roots)
      : resolver_(std::move(resolver)), roots_(std::move(roots)) {}

  ConverterPorts query() const override {
    bool installed = false;
    for (const std::string& keyPath : {roots_.driverKey, roots_.enumKey}) {
      if (const HKEY key = openKey(keyPath)) {
        installed = true;
        ::RegCloseKey(key);
      }
    }
    std::vector<std::int32_t> coms = enumeratedPorts();
    const std::vector<std::int32_t> present = presentPorts();
    coms.insert(coms.end(), present.begin(), present.end());
    std::sort(coms.begin(), coms.end());
    coms.erase(std::unique(coms.begin(), coms.end()), coms.end());
    std::vector<std::int32_t> numbers;
    for (const std::int32_t com : coms) {
      // A number the configuration moved elsewhere no longer names this device.
      const auto path = port_names::defaultPath(com);
      if (!path) continue;
      if (const auto port = resolver_.portNumberOf(*path)) numbers.push_back(*port);
    }
    return {installed, numbers};
  }

 private:
  // "<enum key>\<device>\0000\Device Parameters" PortName of each device.
  std::vector<std::int32_t> enumeratedPorts() const {
    std::vector<std::int32_t> found;
    const HKEY devices = openKey(roots_.enumKey);
    if (devices == nullptr) return found;
    wchar_t name[256];
    DWORD nameSize = 0;
    win32::walkRegistryEntries(
        [&](DWORD index) {
          nameSize = 256;
          return ::RegEnumKeyExW(devices, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        },
        [&] {
          const std::wstring parameters = std::wstring(name, nameSize) + L"\\0000\\Device Parameters";
          HKEY key = nullptr;
          if (::RegOpenKeyExW(devices, parameters.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
          if (const auto com = comNumber(win32::narrow(readText(key, L"PortName")))) found.push_back(*com);
          ::RegCloseKey(key);
        });
    ::RegCloseKey(devices);
    return found;
  }

  // The \Device\VCP<n> entries of the map of serial devices present now.
  std::vector<std::int32_t> presentPorts() const {
    std::vector<std::int32_t> found;
    const HKEY map = openKey(roots_.serialCommKey);
    if (map == nullptr) return found;
    wchar_t name[256];
    DWORD nameSize = 0;
    wchar_t data[64];
    DWORD dataSize = 0;
    DWORD type = 0;
    win32::walkRegistryEntries(
        [&](DWORD index) {
          nameSize = 256;
          dataSize = sizeof data;
          return ::RegEnumValueW(map, index, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data),
                                 &dataSize);
        },
        [&] {
          if (type != REG_SZ || !vcpDevice(win32::narrow(std::wstring_view(name, nameSize)))) return;
          std::wstring_view value(data, dataSize / sizeof(wchar_t));
          while (!value.empty() && value.back() == L'\0') value.remove_suffix(1);
          if (const auto com = comNumber(win32::narrow(value))) found.push_back(*com);
        });
    ::RegCloseKey(map);
    return found;
  }

  PortResolver resolver_;
  ConverterDriverRoots roots_;
};

}  // namespace

std::unique_ptr<ConverterDriver> makeConverterDriver(PortResolver resolver, ConverterDriverRoots roots) {
  return std::make_unique<WindowsConverterDriver>(std::move(resolver), std::move(roots));
}

}  // namespace korsi
