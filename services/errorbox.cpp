#include "services/errorbox.h"

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

void showErrorBox(const std::string& text, const std::string& caption) {
  ErrorBoxHook hook;
  {
    std::lock_guard lock(hookMutex);
    hook = currentHook();
  }
  if (hook) {
    hook(text, caption);
  } else {
    std::cerr << caption << ": " << text << std::endl;
  }
}

}  // namespace korsi
