#pragma once
// The thicknesses of a saved archive for the inspection: a data file (.ks or
// .xml, read by content) or a CSV file as korsi7-transfer writes it (header
// num,date,thickness_mm,note; RFC 4180 quoting; a decimal point, a comma is
// taken too). Only the measurement numbers and thicknesses are read.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korsi::transfer {

struct ThicknessRow {
  std::optional<std::int32_t> num;
  std::optional<double> h;  // millimetres; empty when the row has none
};

struct ThicknessRows {
  std::vector<ThicknessRow> rows;
  std::string error;  // why the file could not be read, for the user
  bool ok() const { return error.empty(); }
};

// The rows of CSV text. A thickness that is not a number is an error naming
// its line; "nan" and "inf" are read as such, for the inspection to refuse.
ThicknessRows thicknessRowsFromCsv(std::string_view text);

// A file ending in ".csv" (any case) as CSV, anything else as a data file.
ThicknessRows readThicknessFile(const std::string& path);

}  // namespace korsi::transfer
