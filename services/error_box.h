#pragma once
// The few messages that code below the windows must show the user (the
// configuration or the log cannot be opened, a serial setting that makes no
// sense) go through this hook. The desktop program installs a message box;
// without one the text goes to standard error.

#include <functional>
#include <string>

namespace korsi {

inline constexpr const char* kErrorCaption = "Ошибка";

enum class BoxIcon { Error, Warning };

using ErrorBoxHook =
    std::function<void(const std::string& text, const std::string& caption, BoxIcon icon)>;

// Replaces the hook and returns the previous one (an empty hook restores stderr).
ErrorBoxHook setErrorBoxHook(ErrorBoxHook hook);

// Shows text under caption with the error icon and returns when the user has seen it.
void showErrorBox(const std::string& text, const std::string& caption = kErrorCaption);
// The same with the exclamation icon.
void showWarningBox(const std::string& text, const std::string& caption);

}  // namespace korsi
