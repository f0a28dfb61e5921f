#include "app/user_folder.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "services/atomic_file.h"
#include "services/config.h"
#include "services/utf8_path.h"

namespace korsi {

namespace fs = std::filesystem;

std::string failureCause(const std::error_code& error) {
  if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted) return "нет прав доступа";
  if (error == std::errc::not_a_directory) return "на пути к ней стоит файл, а не папка";
  if (error == std::errc::read_only_file_system) return "диск доступен только для чтения";
  if (error == std::errc::no_space_on_device) return "на диске нет места";
  if (error == std::errc::no_such_file_or_directory) return "нет такого файла или папки";
  return error.message();
}

namespace {

std::string failure(const fs::path& folder, const std::string& what, const std::error_code& error) {
  return what + " " + utf8Text(folder) + ": " + failureCause(error);
}

// Copies only where no file of that name is there, so a user's file (or a
// link the user put there) is never replaced. The copy is written to a
// temporary name beside it and takes the name only when whole, so a copy cut
// short (a full disk, a power cut) leaves no half file that later starts
// would keep; the next start copies again.
bool copyMissing(const fs::path& from, const fs::path& to, std::error_code& error) {
  error.clear();
  if (fs::exists(fs::symlink_status(to, error))) return true;
  std::ifstream in(from, std::ios::binary);
  if (!in) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return false;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = std::make_error_code(std::errc::io_error);
    return false;
  }
  AtomicFileReplace copy(to.string());
  if ((error = copy.write(bytes))) return false;
  error = copy.commitWithoutReplacing();
  // Another start made the file in the meantime: it is whole, and stays.
  if (error == std::errc::file_exists) error.clear();
  return !error;
}

}  // namespace

PreparedFolder prepareUserFolder(const std::string& folder, const std::string& templates) {
  PreparedFolder result;
  std::error_code error;
  const fs::path where = fs::absolute(utf8Path(folder), error);
  if (error) {
    result.message = failure(utf8Path(folder), "Не удалось создать рабочую папку", error);
    return result;
  }
  fs::create_directories(where, error);
  if (error || !fs::is_directory(where)) {
    if (!error) error = std::make_error_code(std::errc::not_a_directory);
    result.message = failure(where, "Не удалось создать рабочую папку", error);
    return result;
  }
  const fs::path from = utf8Path(templates);
  for (const char* name : {kConfigFileName, kArchiveBackupFileName}) {
    if (!copyMissing(from / name, where / name, error)) {
      result.message = failure(where / name, "Не удалось создать файл", error);
      return result;
    }
  }
  if (!copyMissing(where / kArchiveBackupFileName, where / kArchiveFileName, error)) {
    result.message = failure(where / kArchiveFileName, "Не удалось создать файл", error);
    return result;
  }
  result.ok = true;
  result.folder = utf8Text(where);
  return result;
}

std::string installedTemplates(const std::string& programFolder, const std::string& relative) {
  if (programFolder.empty()) return {};
  std::error_code error;
  const fs::path templates = utf8Path(programFolder) / utf8Path(relative);
  if (!fs::is_regular_file(templates / kConfigFileName, error)) return {};
  return utf8Text(templates.lexically_normal());
}

}  // namespace korsi
