#include "link/port_resolver.h"

#include <charconv>
#include <sstream>
#include <string_view>
#include <utility>

#include "services/config.h"

namespace korsi {

namespace {

struct Block {
  std::int32_t first;
  std::int32_t last;
  const char* prefix;
};

constexpr Block kBlocks[] = {
    {1, 32, "/dev/ttyS"},
    {33, 96, "/dev/ttyUSB"},
    {97, 160, "/dev/ttyACM"},
};

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

// The fixed-block number of path: "/dev/ttyUSB7" gives 40. Only the exact
// spelling defaultPath gives counts ("/dev/ttyUSB07" names no number).
std::optional<std::int32_t> defaultNumber(const std::string& path) {
  for (const Block& block : kBlocks) {
    const std::string_view prefix = block.prefix;
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) continue;
    const char* first = path.data() + prefix.size();
    const char* last = path.data() + path.size();
    std::uint32_t index = 0;
    const auto [end, error] = std::from_chars(first, last, index);
    if (error != std::errc() || end != last || index > static_cast<std::uint32_t>(block.last - block.first)) continue;
    const std::int32_t n = block.first + static_cast<std::int32_t>(index);
    if (PortResolver::defaultPath(n) == path) return n;
  }
  return std::nullopt;
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

void PortResolver::setPath(std::int32_t n, std::string path) { overrides_[n] = std::move(path); }

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
  const auto n = defaultNumber(devicePath);
  if (n && overrides_.contains(*n)) return std::nullopt;
  return n;
}

std::optional<std::string> PortResolver::defaultPath(std::int32_t n) {
  for (const Block& block : kBlocks) {
    if (n >= block.first && n <= block.last) return block.prefix + std::to_string(n - block.first);
  }
  return std::nullopt;
}

}  // namespace korsi
