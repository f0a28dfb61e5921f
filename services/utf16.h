#pragma once
// UTF-8 texts of the program to and from the wide characters of the Windows
// calls. Only the Windows files include this: the narrow calls would read
// a path in the user's code page and turn Cyrillic names into question marks.

#include <windows.h>

#include <string>
#include <string_view>

namespace korsi::win32 {

inline std::wstring widen(std::string_view text) {
  if (text.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

inline std::string narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr, nullptr);
  return text;
}

}  // namespace korsi::win32
