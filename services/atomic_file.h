#pragma once
// Replacing a file so that a crash, a kill or a power cut at any moment
// leaves under its name either the old file or the whole new one: the new
// bytes go to "<name>.tmp" beside it and are made durable, the temporary
// takes the old file's permissions, is renamed over it, and the folder is
// made durable. A name that is a symbolic link is followed to the real file,
// which is replaced; the link stays.
//
// The temporary name is "<name>.tmp" unless a name of its own is asked for:
// then it is a new file "<name>.<random>.tmp", created only where no file
// is, so that a file already there (a user's own "<name>.tmp" included) is
// never opened, emptied or removed.

#include <string>
#include <string_view>
#include <system_error>

namespace korsi {

enum class TemporaryName { Tmp, OwnName };

class AtomicFileReplace {
 public:
  // With TemporaryName::OwnName the temporary file is created here;
  // temporaryCreated() and error() tell whether that worked.
  explicit AtomicFileReplace(const std::string& path, TemporaryName naming = TemporaryName::Tmp);
  // Removes the temporary file when it was not committed.
  ~AtomicFileReplace();
  AtomicFileReplace(const AtomicFileReplace&) = delete;
  AtomicFileReplace& operator=(const AtomicFileReplace&) = delete;

  // The real file that will be replaced (links followed) and the temporary
  // file beside it.
  const std::string& target() const noexcept { return target_; }
  const std::string& temporary() const noexcept { return temporary_; }

  // Writes the bytes to the temporary file (created or emptied) and makes
  // them durable. temporaryCreated() tells whether it could be created.
  std::error_code write(std::string_view bytes);
  bool temporaryCreated() const noexcept { return created_; }
  // Why the temporary file of its own could not be created; nothing otherwise.
  const std::error_code& error() const noexcept { return error_; }

  // Puts the temporary file in the target's place. For a temporary file that
  // another writer has filled by name (a library that writes files itself),
  // call commit() without write(): the file is then made durable first.
  std::error_code commit();
  // The same, but only where no file of the target's name is: EEXIST
  // otherwise, and the temporary file goes. For a file that must never
  // replace one already there, yet be whole or absent.
  std::error_code commitWithoutReplacing();

 private:
  enum class Placing { Replace, WhereNoFileIs };
  std::error_code place(Placing placing);

  std::string target_;
  std::string temporary_;
  std::error_code error_;
  bool ownName_ = false;
  bool created_ = false;
  bool written_ = false;
  bool committed_ = false;
};

// The whole replace in one call: write, then commit.
struct ReplaceOutcome {
  std::error_code error;
  bool temporaryCreated = false;
  bool ok() const noexcept { return !error; }
};
ReplaceOutcome replaceFileAtomically(const std::string& path, std::string_view bytes,
                                     TemporaryName naming = TemporaryName::Tmp);

}  // namespace korsi
