#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/user_folder.h"

namespace korsi::platform {

std::string userDataHome() {
  // A relative value is invalid under the XDG rules and is ignored.
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') return data;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return {};
  return (std::filesystem::path(home) / ".local" / "share").string();
}

std::string noDataHomeText() {
  return "Не удалось найти домашнюю папку пользователя: не заданы переменные HOME и XDG_DATA_HOME";
}

std::string programFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return self.parent_path().string();
}

}  // namespace korsi::platform
