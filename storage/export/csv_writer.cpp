#include "storage/export/csv_writer.h"

#include <charconv>
#include <cmath>

namespace korsi::csv {

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string thicknessText(double h) {
  char text[64];
  const auto narrow = static_cast<float>(h);
  std::to_chars_result written{};
  if (std::isfinite(h) && static_cast<double>(narrow) == h) {
    written = std::to_chars(text, text + sizeof text, narrow);
  } else {
    written = std::to_chars(text, text + sizeof text, h);
  }
  return std::string(text, written.ptr);
}

std::string csvText(const std::vector<ArchiveRow>& rows) {
  std::string out(kCsvHeader);
  out += '\n';
  for (const ArchiveRow& row : rows) {
    if (row.num) out += std::to_string(*row.num);
    out += ',';
    if (row.date) out += isoText(*row.date, 'T');
    out += ',';
    if (row.h) out += thicknessText(*row.h);
    out += ',';
    if (row.prim) out += csvField(*row.prim);
    out += '\n';
  }
  return out;
}

}  // namespace korsi::csv
