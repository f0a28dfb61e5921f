#include "ui/export/file_replace.h"

#include <filesystem>

namespace korsi {

std::string temporaryBeside(const std::string& path) { return path + ".tmp"; }

std::error_code moveIntoPlace(const std::string& temporary, const std::string& path) {
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
  }
  return ec;
}

}  // namespace korsi
