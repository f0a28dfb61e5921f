#include <cstdio>
#include <cstring>

#include "inspection/job_file.h"

namespace korsi::job {

bool looksLikeJobFile(const std::string& path) {
  // The database header: a 16-byte magic text, and the application id
  // big-endian at offset 68.
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  unsigned char head[72] = {};
  const std::size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  const auto id = static_cast<std::uint32_t>(head[68]) << 24 | static_cast<std::uint32_t>(head[69]) << 16 |
                  static_cast<std::uint32_t>(head[70]) << 8 | head[71];
  return got == sizeof head && std::memcmp(head, "SQLite format 3", 16) == 0 &&
         id == static_cast<std::uint32_t>(kJobApplicationId);
}

}  // namespace korsi::job
