#include "tools/transfer/output_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "services/recordset/data_file.h"
#include "tools/transfer/csv_writer.h"

namespace korsi::transfer {

namespace {

std::string causeOf(int error) { return std::error_code(error, std::generic_category()).message(); }

bool endsWith(const std::string& name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

std::string temporaryOf(const std::string& path) { return path + ".tmp"; }

std::string encode(OutputFormat format, const std::vector<ArchiveRow>& rows) {
  switch (format) {
    case OutputFormat::Adtg: return recordset::encodeDataFile(recordset::DataFormat::Adtg, rows);
    case OutputFormat::Xml: return recordset::encodeDataFile(recordset::DataFormat::Xml, rows);
    case OutputFormat::Csv:
    case OutputFormat::Xlsx: break;
  }
  return csvText(rows);
}

std::string writeStream(std::FILE* out, const std::string& bytes) {
  errno = 0;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (std::fflush(out) != 0 || !written) return causeOf(errno != 0 ? errno : EIO);
  return {};
}

}  // namespace

std::optional<OutputFormat> outputFormatFor(const std::string& name) {
  if (name == kStandardOutput || endsWith(name, ".csv")) return OutputFormat::Csv;
  if (endsWith(name, ".ks")) return OutputFormat::Adtg;
  if (endsWith(name, ".xml")) return OutputFormat::Xml;
  if (endsWith(name, ".xlsx")) return OutputFormat::Xlsx;
  return std::nullopt;
}

std::string formatUnavailable(OutputFormat format) {
  if (format == OutputFormat::Xlsx) return "the spreadsheet export (.xlsx) is not available in this build";
  return {};
}

std::string probeOutput(const std::string& path) {
  if (path == kStandardOutput) return {};
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return causeOf(EISDIR);
  const std::string temporary = temporaryOf(path);
  errno = 0;
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return causeOf(errno != 0 ? errno : EIO);
  std::fclose(file);
  std::filesystem::remove(temporary, ec);
  return {};
}

std::string writeOutput(const std::string& path, OutputFormat format, const std::vector<ArchiveRow>& rows,
                        std::FILE* out) {
  if (const std::string why = formatUnavailable(format); !why.empty()) return why;
  const std::string bytes = encode(format, rows);
  if (path == kStandardOutput) return writeStream(out, bytes);

  const std::string temporary = temporaryOf(path);
  errno = 0;
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return causeOf(errno != 0 ? errno : EIO);
  std::string why = writeStream(file, bytes);
  if (std::fclose(file) != 0 && why.empty()) why = causeOf(errno != 0 ? errno : EIO);
  std::error_code ec;
  if (why.empty()) {
    std::filesystem::rename(temporary, path, ec);
    if (!ec) return {};
    why = ec.message();
  }
  std::filesystem::remove(temporary, ec);
  return why;
}

}  // namespace korsi::transfer
