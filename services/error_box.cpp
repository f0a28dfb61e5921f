#include "services/error_box.h"

#include <iostream>
#include <mutex>
#include <utility>

namespace korsi {

namespace {
std::mutex hookMutex;
ErrorBoxHook& currentHook() {
  static ErrorBoxHook hook;
  return hook;
}
}  // namespace

ErrorBoxHook setErrorBoxHook(ErrorBoxHook hook) {
  std::lock_guard lock(hookMutex);
  return std::exchange(currentHook(), std::move(hook));
}

namespace {
void showBox(const std::string& text, const std::string& caption, BoxIcon icon) {
  ErrorBoxHook hook;
  {
    std::lock_guard lock(hookMutex);
    hook = currentHook();
  }
  if (hook) {
    hook(text, caption, icon);
  } else {
    std::cerr << caption << ": " << text << std::endl;
  }
}
}  // namespace

void showErrorBox(const std::string& text, const std::string& caption) {
  showBox(text, caption, BoxIcon::Error);
}

void showWarningBox(const std::string& text, const std::string& caption) {
  showBox(text, caption, BoxIcon::Warning);
}

}  // namespace korsi
