#pragma once
// The operating system's part of writing a file safely and of keeping one
// copy of the program per working folder. One implementation per platform
// (file_platform_posix.cpp, file_platform_win32.cpp); nothing above this
// header knows which.

#include <cstdint>
#include <string>
#include <utility>
#include <string_view>
#include <system_error>

namespace korsi::platform {

// Creates `path` (or empties it), gives it the permissions of `permissionsFrom`
// when that names an existing file, writes all of `bytes` and makes them
// durable before returning. `created` tells whether the file was opened at all.
std::error_code writeDurableFile(const std::string& path, std::string_view bytes,
                                 const std::string& permissionsFrom, bool& created);

// Creates the empty file `path` (usual new-file mode) only when no file of
// that name is there, links included; EEXIST when one is.
std::error_code createNewFile(const std::string& path);

// Makes a file that someone else has written durable, with the permissions
// of `permissionsFrom` when that names an existing file.
std::error_code finishFile(const std::string& path, const std::string& permissionsFrom);

// Puts `from` in the place of `to` in one step: a reader sees either the old
// file or the new one, never a mix or nothing.
std::error_code replaceByRename(const std::string& from, const std::string& to);

// Puts `from` in the place of `to` only where no file of that name is (links
// included): EEXIST otherwise, and `from` stays. A reader sees no file or
// the whole new one.
std::error_code placeWithoutReplacing(const std::string& from, const std::string& to);

// Makes the folder's list of names durable, so that a replaced name survives
// a power cut. File systems that cannot do this are not an error.
std::error_code syncFolder(const std::string& folder);

// Why the process may not write the file or the folder, or nothing when it may.
std::error_code writeAccess(const std::string& path);

// An exclusive hold on a working folder for the life of the object.
class FolderLock {
 public:
  FolderLock() = default;
  ~FolderLock() { release(); }
  FolderLock(FolderLock&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}
  FolderLock& operator=(FolderLock&& other) noexcept {
    if (this != &other) {
      release();
      handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  enum class Outcome { Held, HeldByAnother, NotSupported };
  // Takes the hold without waiting. HeldByAnother when another process (or
  // another FolderLock in this one) holds it; NotSupported when the folder
  // cannot be held at all (then `error` says why).
  Outcome acquire(const std::string& folder, std::error_code& error);
  bool held() const noexcept { return handle_ >= 0; }

 private:
  // The platform's part: closing the descriptor or handle ends the hold.
  void release() noexcept;
  // A descriptor on POSIX, a HANDLE on Windows; -1 when nothing is held.
  std::intptr_t handle_ = -1;
};

}  // namespace korsi::platform
