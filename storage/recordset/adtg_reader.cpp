#include <array>
#include <limits>
#include <utility>

#include "storage/recordset/adtg.h"
#include "storage/recordset/archive_columns.h"
#include "storage/recordset/data_file_texts.h"
#include "storage/recordset/text_codec.h"

namespace korsi::recordset {

RowsResult readAdtg(std::span<const std::uint8_t> bytes) {
  RowsResult result;
  // The four columns of the table are found before any row is read; each
  // decoded row then holds their four cells, in table order, and no others.
  std::string refused;
  const auto select = [&refused](const std::vector<AdtgColumn>& columns) {
    ColumnSelection kept;
    kept.place.assign(columns.size(), -1);
    kept.width = kArchiveColumnNames.size();
    std::array<bool, 4> found{};
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const int target = archiveColumnIndex(columns[c].name);
      if (target >= 0 && !found[static_cast<std::size_t>(target)]) {
        found[static_cast<std::size_t>(target)] = true;
        kept.place[c] = target;
      }
    }
    for (std::size_t t = 0; t < found.size(); ++t) {
      if (!found[t]) {
        kept.error = refused = missingColumnText(kArchiveColumnNames[t]);
        break;
      }
    }
    return kept;
  };
  const AdtgDecodeResult decoded = decodeAdtg(bytes, select);
  if (!refused.empty()) {
    result.error = refused;
    return result;
  }
  if (decoded.tooManyRows) {
    result.error = std::string(kTooManyRowsText);
    return result;
  }
  if (!decoded.ok()) {
    result.error = std::string(kDamagedFileText) + ": " + decoded.error;
    return result;
  }
  std::vector<ArchiveRow> rows;
  rows.reserve(decoded.table.rows.size());
  for (std::size_t r = 0; r < decoded.table.rows.size(); ++r) {
    const auto& cells = decoded.table.rows[r];
    const auto cell = [&](ArchiveColumn column) -> const AdtgCell& { return cells[column]; };
    ArchiveRow row;
    std::string problem;
    if (const auto* value = std::get_if<std::int64_t>(&cell(kNumColumn))) {
      if (*value < std::numeric_limits<std::int32_t>::min() || *value > std::numeric_limits<std::int32_t>::max()) {
        problem = "num";
      } else {
        row.num = static_cast<std::int32_t>(*value);
      }
    } else if (!std::holds_alternative<std::monostate>(cell(kNumColumn))) {
      problem = "num";
    }
    if (const auto* value = std::get_if<DateTime>(&cell(kDateColumn))) {
      row.date = *value;
    } else if (!std::holds_alternative<std::monostate>(cell(kDateColumn))) {
      problem = "date";
    }
    if (const auto* value = std::get_if<double>(&cell(kThicknessColumn))) {
      row.h = *value;
    } else if (const auto* whole = std::get_if<std::int64_t>(&cell(kThicknessColumn))) {
      row.h = static_cast<double>(*whole);
    } else if (!std::holds_alternative<std::monostate>(cell(kThicknessColumn))) {
      problem = "h";
    }
    if (const auto* value = std::get_if<std::string>(&cell(kNoteColumn))) {
      if (text::utf16Length(*value) > kNoteMaxUnits) {
        problem = "Prim";
      } else {
        row.prim = *value;
      }
    } else if (!std::holds_alternative<std::monostate>(cell(kNoteColumn))) {
      problem = "Prim";
    }
    if (!problem.empty()) {
      result.error = badValueText(r + 1, problem);
      return result;
    }
    rows.push_back(std::move(row));
  }
  result.rows = std::move(rows);
  return result;
}

}  // namespace korsi::recordset
