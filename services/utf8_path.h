#pragma once
// The program's UTF-8 texts as file-system paths and back. A std::string
// given to std::filesystem or a file stream as it is would be read in the
// user's code page on Windows, turning a Cyrillic name into another name.

#include <filesystem>
#include <string>

namespace korsi {

inline std::filesystem::path utf8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string utf8Text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace korsi
