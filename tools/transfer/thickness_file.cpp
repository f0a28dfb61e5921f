#include "tools/transfer/thickness_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "storage/recordset/data_file.h"
#include "services/utf8_path.h"

namespace korsi::transfer {

namespace {

// RFC 4180 records: fields split on commas, quoted fields may hold commas,
// doubled quotes and line ends. Each record remembers the line it starts on.
struct Record {
  std::size_t line = 0;
  std::vector<std::string> fields;
};

std::vector<Record> csvRecords(std::string_view text) {
  std::vector<Record> records;
  Record record{1, {}};
  std::string field;
  bool quoted = false;
  bool any = false;  // the record has begun
  std::size_t line = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        if (c == '\n') ++line;
        field += c;
      }
      continue;
    }
    if (c == '"') {
      quoted = any = true;
    } else if (c == ',') {
      record.fields.push_back(std::move(field));
      field.clear();
      any = true;
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (any || !field.empty()) {
        record.fields.push_back(std::move(field));
        records.push_back(std::move(record));
      }
      field.clear();
      any = false;
      record = Record{++line, {}};
    } else {
      field += c;
      any = true;
    }
  }
  if (any || !field.empty()) {
    record.fields.push_back(std::move(field));
    records.push_back(std::move(record));
  }
  return records;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

template <class Number>
std::optional<Number> number(std::string text) {
  std::replace(text.begin(), text.end(), ',', '.');
  const std::string_view t = trimmed(text);
  Number value{};
  const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (t.empty() || error != std::errc{} || end != t.data() + t.size()) return std::nullopt;
  return value;
}

bool endsWithCsv(const std::string& path) {
  if (path.size() < 4) return false;
  std::string end = path.substr(path.size() - 4);
  std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) { return std::tolower(c); });
  return end == ".csv";
}

}  // namespace

ThicknessRows thicknessRowsFromCsv(std::string_view text) {
  ThicknessRows out;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // a byte-order mark from a spreadsheet
  const std::vector<Record> records = csvRecords(text);
  if (records.empty()) {
    out.error = "the CSV file is empty (a header num,date,thickness_mm,note is expected)";
    return out;
  }
  const auto& header = records.front().fields;
  const auto column = [&header](std::string_view name) -> std::optional<std::size_t> {
    for (std::size_t i = 0; i < header.size(); ++i) {
      if (trimmed(header[i]) == name) return i;
    }
    return std::nullopt;
  };
  const auto thickness = column("thickness_mm");
  const auto num = column("num");
  if (!thickness) {
    out.error = "the CSV file has no column thickness_mm in its header";
    return out;
  }
  for (std::size_t r = 1; r < records.size(); ++r) {
    const Record& record = records[r];
    ThicknessRow row;
    if (*thickness < record.fields.size() && !trimmed(record.fields[*thickness]).empty()) {
      row.h = number<double>(record.fields[*thickness]);
      if (!row.h) {
        out.rows.clear();
        out.error = "line " + std::to_string(record.line) + ": thickness_mm \"" + record.fields[*thickness] +
                    "\" is not a number";
        return out;
      }
    }
    if (num && *num < record.fields.size()) row.num = number<std::int32_t>(record.fields[*num]);
    out.rows.push_back(row);
  }
  return out;
}

ThicknessRows readThicknessFile(const std::string& path) {
  ThicknessRows out;
  std::error_code error;
  if (!std::filesystem::is_regular_file(korsi::utf8Path(path), error)) {
    out.error = path + ": no such file";
    return out;
  }
  if (endsWithCsv(path)) {
    std::ifstream in(korsi::utf8Path(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
      out.error = path + ": cannot be read";
      return out;
    }
    out = thicknessRowsFromCsv(text.str());
    if (!out.ok()) out.error = path + ": " + out.error;
    return out;
  }
  const recordset::RowsResult read = recordset::readDataFile(path);
  if (!read.ok()) {
    out.error = path + ": " + read.error;
    return out;
  }
  for (const ArchiveRow& row : read.rows) out.rows.push_back({row.num, row.h});
  return out;
}

}  // namespace korsi::transfer
