#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "storage/recordset/archive_row.h"

namespace korsi::recordset {

// A data file may hold at most this many rows (the gauge keeps 500
// measurements); beyond it the file is refused instead of filling memory.
inline constexpr std::size_t kMaxDataFileRows = 1000000;

// The rows read from a data file, or why the file could not be read (a text
// for the user); on error `rows` is empty.
struct RowsResult {
  std::vector<ArchiveRow> rows;
  std::string error;
  bool ok() const { return error.empty(); }
};

}  // namespace korsi::recordset
