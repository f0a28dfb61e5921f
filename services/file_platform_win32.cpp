// Windows: FlushFileBuffers for durability, MoveFileExW with write-through
// for the one-step replace, LockFileEx on a file in the working folder.
// Paths are UTF-8 and go through the wide calls.
//
// ReplaceFileW is not used for the replace: it goes through a backup name
// and, when it fails half-way (ERROR_UNABLE_TO_MOVE_REPLACEMENT_2), leaves
// the target missing. A rename over the old name never does, and it keeps
// what a reader sees to the old file or the new one.

#include <windows.h>

#include <cerrno>
#include <utility>

#include "services/file_platform.h"
#include "services/utf16.h"

namespace korsi::platform {

namespace {

// The errors callers test for become the generic conditions POSIX gives
// (EEXIST, EACCES...), so the code above compares one set of conditions and
// prints the same messages; the rest keep their Windows code.
std::error_code windowsError(DWORD error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return {EEXIST, std::generic_category()};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return {ENOENT, std::generic_category()};
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return {EACCES, std::generic_category()};
    case ERROR_WRITE_PROTECT: return {EROFS, std::generic_category()};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return {ENOSPC, std::generic_category()};
    case ERROR_DIRECTORY: return {ENOTDIR, std::generic_category()};
    default: return {static_cast<int>(error), std::system_category()};
  }
}

std::error_code lastError() { return windowsError(::GetLastError()); }

std::wstring wide(const std::string& path) { return win32::widen(path.empty() ? std::string(".") : path); }

std::error_code flushAndClose(HANDLE file) {
  std::error_code error;
  if (!::FlushFileBuffers(file)) error = lastError();
  if (!::CloseHandle(file) && !error) error = lastError();
  return error;
}

}  // namespace

std::error_code writeDurableFile(const std::string& path, std::string_view bytes, const std::string&,
                                 bool& created) {
  created = false;
  // The new file takes the folder's inherited security, as a file saved by
  // any program there does; the rename keeps it.
  const HANDLE file = ::CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lastError();
  created = true;
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) {
      const std::error_code error = lastError();
      ::CloseHandle(file);
      return error;
    }
    bytes.remove_prefix(written);
  }
  return flushAndClose(file);
}

std::error_code createNewFile(const std::string& path) {
  const HANDLE file = ::CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lastError();
  if (!::CloseHandle(file)) return lastError();
  return {};
}

std::error_code finishFile(const std::string& path, const std::string&) {
  const HANDLE file = ::CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lastError();
  return flushAndClose(file);
}

std::error_code replaceByRename(const std::string& from, const std::string& to) {
  // Write-through: the call returns once the new name is on the disk, which
  // POSIX gets from syncFolder.
  if (!::MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return lastError();
  }
  return {};
}

std::error_code placeWithoutReplacing(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING the move fails where a file is.
  if (!::MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_WRITE_THROUGH)) return lastError();
  return {};
}

// replaceByRename already wrote the folder's names through; Windows has no
// flush of a folder's list of names for a program without administrator rights.
std::error_code syncFolder(const std::string&) { return {}; }

std::error_code writeAccess(const std::string& path) {
  const std::wstring name = wide(path);
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return lastError();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return {EACCES, std::generic_category()};
    const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lastError();
    ::CloseHandle(file);
    return {};
  }
  // A folder's read-only mark means nothing to Windows; only making a file
  // there tells. The probe goes away when closed.
  std::wstring probe = name + L"\\.korsi7-write-probe-" + std::to_wstring(::GetCurrentProcessId());
  const HANDLE file = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lastError();
  ::CloseHandle(file);
  return {};
}

namespace {

HANDLE asHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

// The file whose first byte is locked. Windows cannot lock a folder itself,
// so the hold lives on this file; it stays in the folder, since removing it
// would race with the next program taking it.
constexpr wchar_t kLockName[] = L"\\korsi7.lock";

}  // namespace

void FolderLock::release() noexcept {
  if (handle_ >= 0) ::CloseHandle(asHandle(handle_));  // closing the handle ends the hold
  handle_ = -1;
}

FolderLock::Outcome FolderLock::acquire(const std::string& folder, std::error_code& error) {
  release();
  error.clear();
  const std::wstring name = wide(folder) + kLockName;
  // Shared open: the lock, not the open, decides who holds the folder. It
  // belongs to this handle and ends when the process does, however it ends.
  const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = lastError();
    return Outcome::NotSupported;
  }
  OVERLAPPED at{};
  if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    const DWORD code = ::GetLastError();
    error = windowsError(code);
    ::CloseHandle(file);
    return code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING ? Outcome::HeldByAnother : Outcome::NotSupported;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return Outcome::Held;
}

}  // namespace korsi::platform
