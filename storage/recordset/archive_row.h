#pragma once
// One row of the archive table: a measurement and the user's note. Every
// field may be empty (NULL), as the table allows; rows read from the gauge
// have all but the note.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "storage/recordset/date_time.h"

namespace korsi {

// The note holds at most this many UTF-16 code units (a character outside
// the basic plane counts twice), as the table's wide text field does.
inline constexpr std::size_t kNoteMaxUnits = 255;

struct ArchiveRow {
  std::optional<std::int32_t> num;
  std::optional<DateTime> date;
  std::optional<double> h;
  std::optional<std::string> prim;  // UTF-8

  friend bool operator==(const ArchiveRow&, const ArchiveRow&) = default;
};

}  // namespace korsi
