// Port numbers on termios systems: three fixed blocks of device names.

#include <charconv>
#include <string_view>

#include "link/port_names.h"

namespace korsi::port_names {

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

}  // namespace

std::optional<std::string> defaultPath(std::int32_t n) {
  for (const Block& block : kBlocks) {
    if (n >= block.first && n <= block.last) return block.prefix + std::to_string(n - block.first);
  }
  return std::nullopt;
}

// "/dev/ttyUSB7" gives 40. Only the exact spelling defaultPath gives counts
// ("/dev/ttyUSB07" names no number).
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
    if (defaultPath(n) == path) return n;
  }
  return std::nullopt;
}

}  // namespace korsi::port_names
