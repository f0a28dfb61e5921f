#pragma once
// One folder per fuzzing process for the files a target writes, removed at
// its end; in memory where the system has such a folder (/dev/shm), as the
// targets sync what they write.

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace korsi::fuzz {

struct FuzzFolder {
  explicit FuzzFolder(const std::string& target) {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    path = base / ("korsi-fuzz-" + target + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
  }
  ~FuzzFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  FuzzFolder(const FuzzFolder&) = delete;
  FuzzFolder& operator=(const FuzzFolder&) = delete;

  std::filesystem::path path;
};

}  // namespace korsi::fuzz
