// Port numbers on Windows are the system's own: port n is COMn, opened
// through the device namespace so that COM10 and above open too.

#include <charconv>
#include <string_view>

#include "link/port_names.h"

namespace korsi::port_names {

namespace {

constexpr std::string_view kPrefix = "\\\\.\\COM";
// The serial class installer hands out COM1 to COM255.
constexpr std::int32_t kLast = 255;

}  // namespace

std::optional<std::string> defaultPath(std::int32_t n) {
  if (n < 1 || n > kLast) return std::nullopt;
  return std::string(kPrefix) + std::to_string(n);
}

std::optional<std::int32_t> defaultNumber(const std::string& path) {
  if (path.size() <= kPrefix.size() || path.compare(0, kPrefix.size(), kPrefix) != 0) return std::nullopt;
  std::int32_t n = 0;
  const auto [end, error] = std::from_chars(path.data() + kPrefix.size(), path.data() + path.size(), n);
  if (error != std::errc() || end != path.data() + path.size()) return std::nullopt;
  if (defaultPath(n) != path) return std::nullopt;  // "COM05" is not port 5's spelling
  return n;
}

}  // namespace korsi::port_names
