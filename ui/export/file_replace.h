#pragma once
// The last step of writing a file whole: the finished temporary file beside
// it takes the file's name.

#include <string>
#include <system_error>

namespace korsi {

// The temporary file that a new `path` is written to first.
std::string temporaryBeside(const std::string& path);

// Renames `temporary` to `path`, replacing a file of that name. When that
// fails the temporary file is removed and the error returned; `path` is then
// as it was.
std::error_code moveIntoPlace(const std::string& temporary, const std::string& path);

}  // namespace korsi
