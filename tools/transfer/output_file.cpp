#include "tools/transfer/output_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "services/atomic_file.h"
#include "storage/recordset/data_file.h"
#include "storage/export/archive_workbook.h"
#include "storage/export/csv_writer.h"
#include "services/utf8_path.h"

namespace korsi::transfer {

namespace {

std::string causeOf(int error) { return std::error_code(error, std::generic_category()).message(); }

bool endsWith(const std::string& name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

const std::array<std::string, 4> kWorkbookTitles{"№ измерения", "Дата/Время", "Толщина, мм", "Примечание"};

std::string encode(OutputFormat format, const std::vector<ArchiveRow>& rows) {
  switch (format) {
    case OutputFormat::Adtg: return recordset::encodeDataFile(recordset::DataFormat::Adtg, rows);
    case OutputFormat::Xml: return recordset::encodeDataFile(recordset::DataFormat::Xml, rows);
    case OutputFormat::Csv:
    case OutputFormat::Xlsx: break;
  }
  return csv::csvText(rows);
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

std::string probeOutput(const std::string& path) {
  if (path == kStandardOutput) return {};
  std::error_code ec;
  if (std::filesystem::is_directory(korsi::utf8Path(path), ec)) return causeOf(EISDIR);
  // The temporary file the write will need, made where it will be made and
  // removed again with `probe`.
  const AtomicFileReplace probe(path, TemporaryName::OwnName);
  if (probe.error()) return probe.error().message();
  return {};
}

std::string writeOutput(const std::string& path, OutputFormat format, const std::vector<ArchiveRow>& rows,
                        std::FILE* out) {
  if (path == kStandardOutput) return writeStream(out, encode(format, rows));

  // A temporary file of its own beside the real file (links followed), so
  // that no file of the user's is touched before the whole new one is there.
  AtomicFileReplace replace(path, TemporaryName::OwnName);
  if (replace.error()) return replace.error().message();
  if (format == OutputFormat::Xlsx) {
    // The window's export writes the workbook by name, with the titles of
    // the window's grid; it lands in the temporary file, which then takes
    // the old file's permissions and its place.
    if (std::string why = writeArchiveWorkbook(replace.temporary(), kWorkbookTitles, rows); !why.empty()) return why;
  } else if (const std::error_code ec = replace.write(encode(format, rows))) {
    return ec.message();
  }
  if (const std::error_code ec = replace.commit()) return ec.message();
  return {};
}

}  // namespace korsi::transfer
