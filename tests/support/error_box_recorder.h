#pragma once
// Records the error boxes that the code under test would show.

#include <string>
#include <utility>
#include <vector>

#include "services/error_box.h"

namespace korsi::test {

class ErrorBoxRecorder {
 public:
  struct Box {
    std::string text;
    std::string caption;
    BoxIcon icon;
  };

  ErrorBoxRecorder()
      : previous_(setErrorBoxHook([this](const std::string& text, const std::string& caption, BoxIcon icon) {
          boxes.push_back({text, caption, icon});
        })) {}
  ~ErrorBoxRecorder() { setErrorBoxHook(std::move(previous_)); }
  ErrorBoxRecorder(const ErrorBoxRecorder&) = delete;
  ErrorBoxRecorder& operator=(const ErrorBoxRecorder&) = delete;

  std::vector<Box> boxes;

 private:
  ErrorBoxHook previous_;
};

}  // namespace korsi::test
