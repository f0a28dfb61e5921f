// The workbook in a build without libxlsxwriter: nothing is written, and the
// reason says which build it is.

#include "storage/export/archive_workbook.h"

namespace korsi {

bool canWriteWorkbooks() { return false; }

std::string writeArchiveWorkbook(const std::string&, const std::array<std::string, 4>&, const std::vector<ArchiveRow>&) {
  return "эта сборка программы не записывает книги .xlsx (собрана без libxlsxwriter)";
}

}  // namespace korsi
