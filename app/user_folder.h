#pragma once
// Where the desktop program keeps its files. Run from a build tree (or with a
// working folder named on its command line) it works in the folder it is
// started from, as always. Installed, it cannot write beside itself: each
// user then gets a folder of their own under the data home, filled from the
// installed templates on the first start and never overwritten afterwards.

#include <string>
#include <system_error>

namespace korsi {

// The files of a working folder that the templates provide.
inline constexpr const char* kArchiveFileName = "korsi7.mdb";
inline constexpr const char* kArchiveBackupFileName = "korsi7.mdb.backup";
inline constexpr const char* kUserFolderName = "korsi7";

struct PreparedFolder {
  bool ok = false;
  // The folder (absolute) when ok; otherwise the message for the user, which
  // names the folder and the cause.
  std::string folder;
  std::string message;
};

// Creates `folder` (with its parents) when missing and copies into it from
// `templates` each of kestro.conf and korsi7.mdb.backup that it lacks;
// korsi7.mdb is made from the backup when missing, since the program never
// creates its database. A file already there is never touched. Each copy
// goes to a temporary name in the folder and takes its name when whole, so
// a user file is whole or absent.
PreparedFolder prepareUserFolder(const std::string& folder, const std::string& templates);

// Why a folder or file could not be made or opened, in the user's words for
// the causes a user meets, else as the system says it.
std::string failureCause(const std::error_code& error);

// The operating system's part: one implementation per platform
// (user_folder_posix.cpp, user_folder_win32.cpp).
namespace platform {
// The per-user data home, in UTF-8: $XDG_DATA_HOME, else ~/.local/share;
// on Windows the user's Local AppData folder (%LOCALAPPDATA%). Empty when
// it cannot be told.
std::string userDataHome();
// The message for the user when userDataHome is empty.
std::string noDataHomeText();
// The folder that holds the running program (UTF-8), empty when it cannot be told.
std::string programFolder();
}  // namespace platform

// The templates of an installed program in `programFolder`: the folder
// `relative` to it (where installing puts them) when it holds the
// configuration template. Empty for a program in a build tree, which has none
// there, wherever the build was configured to install.
std::string installedTemplates(const std::string& programFolder, const std::string& relative);

}  // namespace korsi
