#pragma once
// Archive rows as CSV text: UTF-8, the header num,date,thickness_mm,note,
// ISO 8601 dates (2009-03-09T06:22:05), a decimal point, fields quoted as
// RFC 4180 says (only when they hold a comma, a quote or a line end; quotes
// doubled), one LF per line. An empty field stands for an empty value.

#include <string>
#include <string_view>
#include <vector>

#include "storage/recordset/archive_row.h"

namespace korsi::csv {

inline constexpr std::string_view kCsvHeader = "num,date,thickness_mm,note";

// The whole text, header first.
std::string csvText(const std::vector<ArchiveRow>& rows);

// One field, quoted when it must be.
std::string csvField(std::string_view text);

// The thickness in its shortest form that reads back to the same value; a
// value that came from the gauge's single-precision number is written as
// that number (0.215, not 0.21500000357627869).
std::string thicknessText(double h);

}  // namespace korsi::csv
