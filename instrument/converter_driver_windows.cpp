// The converter's driver on Windows: FTDI's FTDIBUS. It counts as installed
// when its service key is there (devices plugged in or not). Its ports are
// the entries of the system's serial-device map whose device the driver
// made (\Device\VCP<n>), in natural order of n, as on Linux. Nothing here
// throws: a key that cannot be read counts as not there.

#include <windows.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>
#include <utility>

#include "instrument/converter_driver.h"
#include "link/port_names.h"
#include "services/utf16.h"

namespace korsi {

namespace {

// "HKLM\\A\\B" opened for reading; null when there is no such key.
HKEY openKey(const std::string& spec) {
  HKEY root = nullptr;
  std::string_view rest = spec;
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

// "\Device\VCP12" gives 12; any other device name gives none.
std::optional<unsigned long> vcpNumber(std::string_view name) {
  constexpr std::string_view kPrefix = "\\Device\\VCP";
  if (name.size() <= kPrefix.size() || !name.starts_with(kPrefix)) return std::nullopt;
  unsigned long n = 0;
  const auto [end, error] = std::from_chars(name.data() + kPrefix.size(), name.data() + name.size(), n);
  if (error != std::errc() || end != name.data() + name.size()) return std::nullopt;
  return n;
}

// "COM5" gives 5.
std::optional<std::int32_t> comNumber(std::string_view name) {
  if (name.size() <= 3 || !name.starts_with("COM")) return std::nullopt;
  std::int32_t n = 0;
  const auto [end, error] = std::from_chars(name.data() + 3, name.data() + name.size(), n);
  if (error != std::errc() || end != name.data() + name.size()) return std::nullopt;
  return n;
}

class WindowsConverterDriver final : public ConverterDriver {
 public:
  WindowsConverterDriver(PortResolver resolver, ConverterDriverRoots roots)
      : resolver_(std::move(resolver)), roots_(std::move(roots)) {}

  ConverterPorts query() const override {
    const HKEY driver = openKey(roots_.driverKey);
    if (driver != nullptr) ::RegCloseKey(driver);
    return {driver != nullptr, ports()};
  }

 private:
  std::vector<std::int32_t> ports() const {
    std::vector<std::pair<unsigned long, std::int32_t>> found;
    const HKEY map = openKey(roots_.serialCommKey);
    if (map == nullptr) return {};
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];
      DWORD nameSize = 256;
      wchar_t data[64];
      DWORD dataSize = sizeof data;
      DWORD type = 0;
      const LSTATUS status = ::RegEnumValueW(map, index, name, &nameSize, nullptr, &type,
                                             reinterpret_cast<BYTE*>(data), &dataSize);
      if (status == ERROR_NO_MORE_ITEMS) break;
      if (status != ERROR_SUCCESS || type != REG_SZ) continue;
      const auto vcp = vcpNumber(win32::narrow(std::wstring_view(name, nameSize)));
      std::wstring_view value(data, dataSize / sizeof(wchar_t));
      while (!value.empty() && value.back() == L'\0') value.remove_suffix(1);
      const auto com = comNumber(win32::narrow(value));
      if (vcp && com) found.emplace_back(*vcp, *com);
    }
    ::RegCloseKey(map);
    std::sort(found.begin(), found.end());
    std::vector<std::int32_t> numbers;
    for (const auto& [vcp, com] : found) {
      // A number the configuration moved elsewhere no longer names this device.
      const auto path = port_names::defaultPath(com);
      if (!path) continue;
      if (const auto port = resolver_.portNumberOf(*path)) numbers.push_back(*port);
    }
    return numbers;
  }

  PortResolver resolver_;
  ConverterDriverRoots roots_;
};

}  // namespace

std::unique_ptr<ConverterDriver> makeConverterDriver(PortResolver resolver, ConverterDriverRoots roots) {
  return std::make_unique<WindowsConverterDriver>(std::move(resolver), std::move(roots));
}

}  // namespace korsi
