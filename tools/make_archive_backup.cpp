// Writes the empty archive database (table `archive`, no rows) that the
// program restores "korsi7.mdb" from:  make_archive_backup <file>
#include <iostream>

#include "storage/archive/archive_schema.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_archive_backup <file>\n";
    return 2;
  }
  const std::string error = korsi::archive::createArchiveDatabase(argv[1]);
  if (!error.empty()) {
    std::cerr << error << '\n';
    return 1;
  }
  return 0;
}
