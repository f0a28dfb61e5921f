#include "services/atomic_file.h"

#include <filesystem>

#include "services/file_platform.h"

namespace korsi {

namespace {

namespace fs = std::filesystem;

// More links in a row than this is a loop.
constexpr int kMaxLinks = 40;

// The file a name finally stands for; a link to a file that does not exist
// yet gives that file's name, so that it is created where the link points.
std::string realFile(const std::string& path) {
  fs::path current(path);
  for (int i = 0; i < kMaxLinks; ++i) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(current, ec))) break;
    const fs::path next = fs::read_symlink(current, ec);
    if (ec) break;
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return current.string();
}

}  // namespace

AtomicFileReplace::AtomicFileReplace(const std::string& path)
    : target_(realFile(path)), temporary_(target_ + ".tmp") {}

AtomicFileReplace::~AtomicFileReplace() {
  if (committed_) return;
  std::error_code ignored;
  if (created_ || written_ || fs::is_regular_file(fs::symlink_status(temporary_, ignored))) {
    fs::remove(temporary_, ignored);
  }
}

std::error_code AtomicFileReplace::write(std::string_view bytes) {
  const std::error_code error = platform::writeDurableFile(temporary_, bytes, target_, created_);
  written_ = !error;
  return error;
}

std::error_code AtomicFileReplace::commit() {
  if (!written_) {
    if (const std::error_code error = platform::finishFile(temporary_, target_)) return error;
  }
  if (const std::error_code error = platform::replaceByRename(temporary_, target_)) return error;
  committed_ = true;
  // The new name is in place; a folder that cannot be synced only makes it
  // less certain to survive a power cut, so the replace still counts.
  platform::syncFolder(fs::path(target_).parent_path().string());
  return {};
}

ReplaceOutcome replaceFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFileReplace replace(path);
  ReplaceOutcome outcome;
  outcome.error = replace.write(bytes);
  outcome.temporaryCreated = replace.temporaryCreated();
  if (!outcome.error) outcome.error = replace.commit();
  return outcome;
}

}  // namespace korsi
