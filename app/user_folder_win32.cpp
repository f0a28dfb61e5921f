#include <shlobj.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "app/user_folder.h"
#include "services/utf8_path.h"

namespace korsi::platform {

std::string userDataHome() {
  // %LOCALAPPDATA%: the user's own, not carried to other computers with a
  // roaming profile (the archive database and the log are this computer's).
  PWSTR folder = nullptr;
  std::string home;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &folder))) {
    home = utf8Text(std::filesystem::path(folder));
  }
  CoTaskMemFree(folder);
  return home;
}

std::string noDataHomeText() {
  return "Не удалось найти папку данных пользователя (Local AppData): Windows не назвала её";
}

std::string programFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // a long path: ask again with more room
  }
  return utf8Text(std::filesystem::path(path).parent_path());
}

}  // namespace korsi::platform
