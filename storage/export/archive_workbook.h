#pragma once
// The archive table as a spreadsheet workbook (.xlsx) with one sheet: row 1
// holds the four column titles; below it each table row, in table order,
// gives column A the measurement's number as text, B its date as text in the
// shown form (the date alone at midnight), C the thickness as a number, and
// leaves D (the note) empty. No Qt: the desktop program and the
// command-line transfer both write it.

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "storage/recordset/archive_row.h"

namespace korsi {

// A sheet has 1,048,576 rows; the first holds the titles.
inline constexpr std::size_t kMaxWorkbookRows = 1048575;

// Whether this build can write workbooks at all: a build without
// libxlsxwriter (the Windows cross-build) cannot, and writeArchiveWorkbook
// then only says so.
bool canWriteWorkbooks();

// Writes the workbook to `path`. The bytes go to a temporary file beside it,
// which then takes the name, so a write that fails never leaves a
// half-written file under `path` (an existing file stays as it was). An
// empty field leaves its cell empty, and so does a thickness that is not a
// finite number. Returns an empty text on success, else why it failed, in
// Russian and without the file's name.
std::string writeArchiveWorkbook(const std::string& path, const std::array<std::string, 4>& titles,
                                 const std::vector<ArchiveRow>& rows);

}  // namespace korsi
