#include "link/port_resolver.h"

#include <charconv>
#include <sstream>
#include <string_view>
#include <utility>

#include "link/port_names.h"
#include "services/config.h"

namespace korsi {

namespace {

// "COM12" gives 12; anything else (other letters, no digits, trailing text,
// a number out of range) gives none.
std::optional<std::int32_t> portKey(const std::string& word) {
  constexpr std::string_view kPrefix = "COM";
  if (word.size() <= kPrefix.size() || word.compare(0, kPrefix.size(), kPrefix) != 0) return std::nullopt;
  const char* first = word.data() + kPrefix.size();
  const char* last = word.data() + word.size();
  std::int32_t n = 0;
  const auto [end, error] = std::from_chars(first, last, n);
  if (error != std::errc() || end != last) return std::nullopt;
  return n;
}

}  // namespace

PortResolver::PortResolver(const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) {
    std::istringstream words(entry);
    std::string key;
    std::string path;
    if (!(words >> key >> path) || path.front() == '#') continue;
    const auto n = portKey(key);
    if (n) overrides_.try_emplace(*n, std::move(path));
  }
}

PortResolver PortResolver::fromConfig(const Config& config) { return PortResolver(config.entries()); }

void PortResolver::setPath(std::int32_t n, std::string path) {
  overrides_[n] = std::move(path);
  ownDevices_.erase(n);
}

void PortResolver::setDevice(std::int32_t n, std::string name, serial::DeviceFactory open) {
  overrides_[n] = std::move(name);
  ownDevices_[n] = std::move(open);
}

serial::OpenResult PortResolver::openDevice(std::int32_t n, const std::string& path) const {
  const auto own = ownDevices_.find(n);
  if (own != ownDevices_.end()) return own->second();
  return serial::openSerialDevice(path);
}

std::optional<std::string> PortResolver::devicePath(std::int32_t n) const {
  const auto found = overrides_.find(n);
  if (found != overrides_.end()) return found->second;
  return defaultPath(n);
}

std::optional<std::int32_t> PortResolver::portNumberOf(const std::string& devicePath) const {
  // The map is ordered, so the first match is the lowest number.
  for (const auto& [n, path] : overrides_) {
    if (path == devicePath) return n;
  }
  const auto n = port_names::defaultNumber(devicePath);
  if (n && overrides_.contains(*n)) return std::nullopt;
  return n;
}

std::optional<std::string> PortResolver::defaultPath(std::int32_t n) { return port_names::defaultPath(n); }

}  // namespace korsi
