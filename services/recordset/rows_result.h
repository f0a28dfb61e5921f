#pragma once

#include <string>
#include <vector>

#include "services/recordset/archive_row.h"

namespace korsi::recordset {

// The rows read from a data file, or why the file could not be read (a text
// for the user); on error `rows` is empty.
struct RowsResult {
  std::vector<ArchiveRow> rows;
  std::string error;
  bool ok() const { return error.empty(); }
};

}  // namespace korsi::recordset
