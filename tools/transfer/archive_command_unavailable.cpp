// A build without the company archive (Windows, for now: Debian has no libpq
// for MinGW-w64) knows its commands only to say so.
#include "tools/transfer/archive_command.h"

#include "tools/transfer/transfer_options.h"

namespace korsi::transfer {

bool isArchiveCommand(const std::vector<std::string>& args) {
  return !args.empty() && (args.front() == "publish" || args.front() == "archive");
}

std::string archiveHelpSummary() { return archiveHelpText(); }

std::string archiveHelpText() {
  return "publish and archive: the company archive on PostgreSQL is not in this build (the Windows build has no\n"
         "libpq yet); use the Linux build of korsi7-transfer to publish jobs.\n";
}

int archiveCommand(const std::vector<std::string>&, std::FILE*, std::FILE* err) {
  std::fprintf(err, "%s: в этой сборке нет архива компании (сборка для Windows пока без libpq)\n", kProgramName);
  return kExitUsage;
}

}  // namespace korsi::transfer
