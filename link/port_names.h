#pragma once
// The device a port number names when the configuration says nothing of it,
// and back: the platform's part of PortResolver (port_names_posix.cpp,
// port_names_win32.cpp).

#include <cstdint>
#include <optional>
#include <string>

namespace korsi::port_names {

// The device path of port n, or none when the platform has no such port.
std::optional<std::string> defaultPath(std::int32_t n);

// The number whose default path is exactly path (the spelling defaultPath
// gives), or none.
std::optional<std::int32_t> defaultNumber(const std::string& path);

}  // namespace korsi::port_names
