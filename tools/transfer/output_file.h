#pragma once
// Where read writes its rows: the format follows the name's extension (any
// case): .csv, .ks (ADTG) and .xml (ADO's XML form) as the desktop program
// saves them, .xlsx once the spreadsheet export exists; "-" is CSV on
// standard output. A file is written to "<name>.tmp" first and replaces the
// old one only when whole, so a failure leaves nothing half-written under
// its name.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "services/recordset/archive_row.h"

namespace korsi::transfer {

inline constexpr const char* kStandardOutput = "-";

enum class OutputFormat { Csv, Adtg, Xml, Xlsx };

// The format of name, or nothing for an extension none of them has.
std::optional<OutputFormat> outputFormatFor(const std::string& name);

// Why a format cannot be written by this build; empty when it can.
std::string formatUnavailable(OutputFormat format);

// Tries, before anything is read, whether path can be written: creates its
// temporary file and removes it again. Empty when it can, else the cause
// ("No such file or directory").
std::string probeOutput(const std::string& path);

// Writes rows to path (or to out for "-") in format. Empty on success, else
// the cause; path is then left as it was.
std::string writeOutput(const std::string& path, OutputFormat format, const std::vector<ArchiveRow>& rows,
                        std::FILE* out = stdout);

}  // namespace korsi::transfer
