#include "services/atomic_file.h"

#include <cerrno>
#include <filesystem>
#include <random>

#include "services/file_platform.h"
#include "services/utf8_path.h"

namespace korsi {

namespace {

namespace fs = std::filesystem;

// More links in a row than this is a loop.
constexpr int kMaxLinks = 40;

// The file a name finally stands for; a link to a file that does not exist
// yet gives that file's name, so that it is created where the link points.
std::string realFile(const std::string& path) {
  fs::path current = utf8Path(path);
  for (int i = 0; i < kMaxLinks; ++i) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(current, ec))) break;
    const fs::path next = fs::read_symlink(current, ec);
    if (ec) break;
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return utf8Text(current);
}

// Names tried before a folder full of look-alikes counts as a failure.
constexpr int kOwnNameTries = 100;

std::string randomPart() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device device;
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  std::string part(8, 'x');
  for (char& c : part) c = kLetters[pick(device)];
  return part;
}

}  // namespace

AtomicFileReplace::AtomicFileReplace(const std::string& path, TemporaryName naming)
    : target_(realFile(path)), ownName_(naming == TemporaryName::OwnName) {
  if (!ownName_) {
    temporary_ = target_ + ".tmp";
    return;
  }
  for (int i = 0; i < kOwnNameTries; ++i) {
    const std::string candidate = target_ + "." + randomPart() + ".tmp";
    error_ = platform::createNewFile(candidate);
    if (!error_) {
      temporary_ = candidate;
      created_ = true;
      return;
    }
    if (error_ != std::errc::file_exists) return;
  }
}

AtomicFileReplace::~AtomicFileReplace() {
  if (committed_) return;
  std::error_code ignored;
  if (ownName_) {
    // Only the file this object made; whatever else is there is not its own.
    if (created_) fs::remove(utf8Path(temporary_), ignored);
    return;
  }
  if (created_ || written_ || fs::is_regular_file(fs::symlink_status(utf8Path(temporary_), ignored))) {
    fs::remove(utf8Path(temporary_), ignored);
  }
}

std::error_code AtomicFileReplace::write(std::string_view bytes) {
  if (error_) return error_;
  bool opened = false;
  const std::error_code error = platform::writeDurableFile(temporary_, bytes, target_, opened);
  if (!ownName_) created_ = opened;
  written_ = !error;
  return error;
}

std::error_code AtomicFileReplace::commit() { return place(Placing::Replace); }

std::error_code AtomicFileReplace::commitWithoutReplacing() { return place(Placing::WhereNoFileIs); }

std::error_code AtomicFileReplace::place(Placing placing) {
  if (error_) return error_;
  if (!written_) {
    if (const std::error_code error = platform::finishFile(temporary_, target_)) return error;
  }
  const std::error_code placed = placing == Placing::Replace ? platform::replaceByRename(temporary_, target_)
                                                             : platform::placeWithoutReplacing(temporary_, target_);
  if (placed) return placed;
  committed_ = true;
  // The new name is in place; a folder that cannot be synced only makes it
  // less certain to survive a power cut, so the replace still counts.
  platform::syncFolder(utf8Text(utf8Path(target_).parent_path()));
  return {};
}

ReplaceOutcome replaceFileAtomically(const std::string& path, std::string_view bytes, TemporaryName naming) {
  AtomicFileReplace replace(path, naming);
  ReplaceOutcome outcome;
  outcome.error = replace.write(bytes);
  outcome.temporaryCreated = replace.temporaryCreated();
  if (!outcome.error) outcome.error = replace.commit();
  return outcome;
}

}  // namespace korsi
