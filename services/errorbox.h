#pragma once
// The few failures that the user must see before any window exists (the
// configuration or the log cannot be opened) go through this hook. The desktop
// program installs a message box; without one the text goes to standard error.

#include <functional>
#include <string>

namespace korsi {

inline constexpr const char* kErrorCaption = "Ошибка";

using ErrorBoxHook = std::function<void(const std::string& text, const std::string& caption)>;

// Replaces the hook and returns the previous one (an empty hook restores stderr).
ErrorBoxHook setErrorBoxHook(ErrorBoxHook hook);

// Shows text under caption and returns when the user has seen it.
void showErrorBox(const std::string& text, const std::string& caption = kErrorCaption);

}  // namespace korsi
