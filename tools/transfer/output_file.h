#pragma once
// Where read writes its rows: the format follows the name's extension (any
// case): .csv, .ks (ADTG) and .xml (ADO's XML form) as the desktop program
// saves them, .xlsx as the window exports it; "-" is CSV on
// standard output. A file is written through the window's durable replace
// (services/atomic_file.h) with a temporary file of a name of its own: the
// old file is replaced only when the new one is whole and synced, keeps its
// permissions, and no other file beside it is touched.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "storage/recordset/archive_row.h"

namespace korsi::transfer {

inline constexpr const char* kStandardOutput = "-";

enum class OutputFormat { Csv, Adtg, Xml, Xlsx };

// The format of name, or nothing for an extension none of them has.
std::optional<OutputFormat> outputFormatFor(const std::string& name);

// Tries, before anything is read, whether path can be written: creates a
// temporary file of its own beside it and removes it again. Empty when it can, else the cause
// ("No such file or directory").
std::string probeOutput(const std::string& path);

// Writes rows to path (or to out for "-") in format. Empty on success, else
// the cause; path is then left as it was. A name that is a symbolic link is
// followed and the file it points to replaced.
std::string writeOutput(const std::string& path, OutputFormat format, const std::vector<ArchiveRow>& rows,
                        std::FILE* out = stdout);

}  // namespace korsi::transfer
