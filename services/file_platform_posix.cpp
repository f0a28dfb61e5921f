// POSIX: fsync for durability, fchmod/fchown to keep the old file's
// permissions, rename(2) for the one-step replace, flock on the folder.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "services/file_platform.h"

namespace korsi::platform {

namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

// Mode, owner and group of `from` given to the open file; an owner that this
// process may not give away stays its own.
std::error_code copyPermissions(int fd, const std::string& from) {
  if (from.empty()) return {};
  struct stat old {};
  if (::stat(from.c_str(), &old) != 0) return {};  // no old file: the usual new-file mode
  if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
    // Not permitted for another owner; the group alone may still be kept,
    // and the file is written with this process's owner otherwise.
    [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  }
  if (::fchmod(fd, old.st_mode & 07777) != 0) return lastError();
  return {};
}

std::error_code syncAndClose(int fd) {
  std::error_code error;
  while (::fsync(fd) != 0) {
    if (errno == EINTR) continue;
    error = lastError();
    break;
  }
  if (::close(fd) != 0 && !error) error = lastError();
  return error;
}

}  // namespace

std::error_code writeDurableFile(const std::string& path, std::string_view bytes,
                                 const std::string& permissionsFrom, bool& created) {
  created = false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) return lastError();
  created = true;
  if (const std::error_code error = copyPermissions(fd, permissionsFrom)) {
    ::close(fd);
    return error;
  }
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      const std::error_code error = lastError();
      ::close(fd);
      return error;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return syncAndClose(fd);
}

std::error_code createNewFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) return lastError();
  if (::close(fd) != 0) return lastError();
  return {};
}

std::error_code finishFile(const std::string& path, const std::string& permissionsFrom) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return lastError();
  if (const std::error_code error = copyPermissions(fd, permissionsFrom)) {
    ::close(fd);
    return error;
  }
  return syncAndClose(fd);
}

std::error_code replaceByRename(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return lastError();
  return {};
}

std::error_code placeWithoutReplacing(const std::string& from, const std::string& to) {
  // A second name that fails where one is, then the temporary name goes.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return {};
  }
  const std::error_code error = lastError();
  if (error != std::errc::operation_not_permitted && error != std::errc::not_supported) return error;
  // A file system without hard links (FAT): rename, after a look that no
  // file is there; only a file made in the moment between can be replaced.
  struct stat there {};
  if (::lstat(to.c_str(), &there) == 0) return std::make_error_code(std::errc::file_exists);
  return replaceByRename(from, to);
}

std::error_code syncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return lastError();
  std::error_code error;
  if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) error = lastError();
  ::close(fd);
  return error;
}

std::error_code writeAccess(const std::string& path) {
  if (::access(path.empty() ? "." : path.c_str(), W_OK) != 0) return lastError();
  return {};
}

void FolderLock::release() noexcept {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));  // closing the descriptor ends the hold
  handle_ = -1;
}

FolderLock::Outcome FolderLock::acquire(const std::string& folder, std::error_code& error) {
  release();
  error.clear();
  // The folder itself is held, so no file is left behind in it. The hold
  // belongs to this open descriptor and ends when the process does, however
  // it ends.
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = lastError();
    return Outcome::NotSupported;
  }
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const bool taken = errno == EWOULDBLOCK;
    error = lastError();
    ::close(fd);
    return taken ? Outcome::HeldByAnother : Outcome::NotSupported;
  }
  handle_ = fd;
  return Outcome::Held;
}

}  // namespace korsi::platform
