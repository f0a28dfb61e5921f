#include "storage/recordset/data_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "services/atomic_file.h"
#include "storage/recordset/adtg.h"
#include "storage/recordset/data_file_texts.h"
#include "storage/recordset/rowset_xml.h"
#include "services/utf8_path.h"

namespace korsi::recordset {

namespace {

std::string withReason(std::string_view text, const std::error_code& ec) {
  std::string out(text);
  if (ec) out += " (" + ec.message() + ")";
  return out;
}

}  // namespace

DataFormat formatForFileName(std::string_view fileName) {
  if (fileName.size() < 4) return DataFormat::Adtg;
  const std::string_view suffix = fileName.substr(fileName.size() - 4);
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  const bool xml = suffix[0] == '.' && lower(suffix[1]) == 'x' && lower(suffix[2]) == 'm' && lower(suffix[3]) == 'l';
  return xml ? DataFormat::Xml : DataFormat::Adtg;
}

std::optional<DataFormat> detectFormat(std::span<const std::uint8_t> bytes) {
  if (looksLikeAdtg(bytes)) return DataFormat::Adtg;
  std::size_t pos = 0;
  std::size_t step = 1;
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    pos = 3;
  } else if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    pos = 2;
    step = 2;
  } else if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
    pos = 3;  // the low byte of each big-endian unit
    step = 2;
  }
  while (pos < bytes.size() && (bytes[pos] == ' ' || bytes[pos] == '\t' || bytes[pos] == '\r' || bytes[pos] == '\n')) {
    pos += step;
  }
  if (pos < bytes.size() && bytes[pos] == '<') return DataFormat::Xml;
  return std::nullopt;
}

std::string encodeDataFile(DataFormat format, const std::vector<ArchiveRow>& rows) {
  return format == DataFormat::Xml ? writeRowsetXml(rows) : writeAdtg(rows);
}

RowsResult decodeDataFile(std::span<const std::uint8_t> bytes) {
  const auto format = detectFormat(bytes);
  if (!format) {
    RowsResult result;
    result.error = std::string(kUnknownFormatText);
    return result;
  }
  if (*format == DataFormat::Adtg) return readAdtg(bytes);
  return readRowsetXml(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

RowsResult readDataFile(const std::string& path) {
  RowsResult result;
  std::error_code ec;
  const auto status = std::filesystem::status(utf8Path(path), ec);
  if (!std::filesystem::exists(status)) {
    result.error = std::string(kNotFoundText);
    return result;
  }
  if (!std::filesystem::is_regular_file(status)) {
    result.error = std::string(kCannotReadText);
    return result;
  }
  const std::uintmax_t size = std::filesystem::file_size(utf8Path(path), ec);
  if (ec) {
    result.error = withReason(kCannotReadText, ec);
    return result;
  }
  if (size > kMaxDataFileBytes) {
    result.error = std::string(kTooLargeText);
    return result;
  }
  std::ifstream in(utf8Path(path), std::ios::binary);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())) ||
      in.peek() != std::ifstream::traits_type::eof()) {
    result.error = std::string(kCannotReadText);
    return result;
  }
  return decodeDataFile(bytes);
}

std::string replaceFileWith(const std::string& path, std::string_view bytes) {
  const ReplaceOutcome outcome = replaceFileAtomically(path, bytes);
  if (outcome.ok()) return {};
  // A temporary file that cannot even be made says enough by itself.
  if (!outcome.temporaryCreated) return std::string(kCannotWriteText);
  return withReason(kCannotWriteText, outcome.error);
}

std::string writeDataFile(const std::string& path, const std::vector<ArchiveRow>& rows) {
  const DataFormat format = formatForFileName(path);
  // No XML reader opens a file with such a character, not even ours: the
  // save is refused and the old file stays.
  if (format == DataFormat::Xml) {
    if (const auto note = findXmlUnwritableNote(rows)) {
      std::string character;
      if (note->character != 0xFFFFFFFF) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(note->character));
        character = code;
      }
      return xmlUnwritableNoteText(note->row + 1, character);
    }
  }
  return replaceFileWith(path, encodeDataFile(format, rows));
}

}  // namespace korsi::recordset
