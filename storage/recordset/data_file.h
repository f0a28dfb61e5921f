#pragma once
// Data files of the archive table: ".ks" files in the ADTG format, or ADO's
// XML format when the file name ends in ".xml". Reading goes by content, not
// by name, so either kind opens under any name.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/recordset/archive_row.h"
#include "storage/recordset/rows_result.h"

namespace korsi::recordset {

enum class DataFormat { Adtg, Xml };

// Xml when the name ends in ".xml" in any case, else Adtg.
DataFormat formatForFileName(std::string_view fileName);

// The format the bytes are in, or nothing for something else.
std::optional<DataFormat> detectFormat(std::span<const std::uint8_t> bytes);

std::string encodeDataFile(DataFormat format, const std::vector<ArchiveRow>& rows);
RowsResult decodeDataFile(std::span<const std::uint8_t> bytes);

// Reads a whole data file. Files larger than this are refused unread.
inline constexpr std::uintmax_t kMaxDataFileBytes = 1u << 30;
RowsResult readDataFile(const std::string& path);

// Writes the rows in the format the name asks for. The bytes go to
// "<path>.tmp" first, which then replaces the file (see AtomicFileReplace),
// so a write that fails or is cut short leaves an existing file as it was.
// Returns an empty text on success, else why it failed. An XML file is not
// written when a note holds a character XML cannot carry (the text names
// the row).
std::string writeDataFile(const std::string& path, const std::vector<ArchiveRow>& rows);

// The replace-when-whole step of writeDataFile, for any bytes.
std::string replaceFileWith(const std::string& path, std::string_view bytes);

}  // namespace korsi::recordset
