#pragma once
// The ADTG (Advanced Data TableGram) record-set format in which ADO saves a
// record set to a file, as Microsoft publishes it in [MS-ADTG]. All numbers
// are little-endian. A file is one tablegram:
//   header 01 07 "TG!" version(2) byte-order(1) unicode(1)
//   handler options (token 02), result descriptor (03), record-set context
//   (10), table descriptors (05), one column descriptor (06) per column,
//   rows (07 unchanged, 0D pending insert, 07+0A pending change, 07+0C
//   pending delete), done (0F) as the very last byte.
// Every block before the rows carries its size, so unknown blocks and
// property sets are skipped by size.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "storage/recordset/archive_row.h"
#include "storage/recordset/rows_result.h"

namespace korsi::recordset {

// OLE DB type codes of the columns this program writes and reads.
namespace dbtype {
inline constexpr std::uint16_t kI2 = 0x02;
inline constexpr std::uint16_t kI4 = 0x03;
inline constexpr std::uint16_t kR4 = 0x04;
inline constexpr std::uint16_t kR8 = 0x05;
inline constexpr std::uint16_t kCy = 0x06;
inline constexpr std::uint16_t kDate = 0x07;
inline constexpr std::uint16_t kBstr = 0x08;
inline constexpr std::uint16_t kI1 = 0x10;
inline constexpr std::uint16_t kUi1 = 0x11;
inline constexpr std::uint16_t kUi2 = 0x12;
inline constexpr std::uint16_t kUi4 = 0x13;
inline constexpr std::uint16_t kI8 = 0x14;
inline constexpr std::uint16_t kUi8 = 0x15;
inline constexpr std::uint16_t kBytes = 0x80;
inline constexpr std::uint16_t kStr = 0x81;
inline constexpr std::uint16_t kWstr = 0x82;
inline constexpr std::uint16_t kDbDate = 0x85;
inline constexpr std::uint16_t kDbTimestamp = 0x87;
}  // namespace dbtype

// OLE DB column flags.
namespace columnflag {
inline constexpr std::uint32_t kWriteUnknown = 0x08;
inline constexpr std::uint32_t kFixedLength = 0x10;
inline constexpr std::uint32_t kNullable = 0x20;
inline constexpr std::uint32_t kMayBeNull = 0x40;
inline constexpr std::uint32_t kLong = 0x80;
inline constexpr std::uint32_t kChapter = 0x2000;
}  // namespace columnflag

struct AdtgColumn {
  std::uint16_t ordinal = 0;
  std::string name;  // the friendly name, else the base column name
  std::uint16_t type = 0;
  std::uint32_t maxLength = 0;
  std::uint32_t flags = 0;

  bool nullable() const { return (flags & (columnflag::kNullable | columnflag::kMayBeNull)) != 0; }
};

// A value the reader carries without interpreting it (a GUID, a decimal, bytes).
struct OpaqueValue {
  friend bool operator==(const OpaqueValue&, const OpaqueValue&) = default;
};

// monostate is NULL; texts are UTF-8.
using AdtgCell = std::variant<std::monostate, std::int64_t, double, DateTime, std::string, OpaqueValue>;

struct AdtgTable {
  std::vector<AdtgColumn> columns;             // in ordinal order
  std::vector<std::vector<AdtgCell>> rows;     // pending changes applied, deleted rows left out
};

struct AdtgDecodeResult {
  AdtgTable table;
  std::string error;  // empty when the whole input was one well-formed tablegram
  // The tablegram holds more rows than a data file may (kMaxDataFileRows).
  bool tooManyRows = false;
  bool ok() const { return error.empty(); }
};

// Which columns a reader keeps, chosen once the column descriptors are read
// and before any row is: for each column of the file, the place of its value
// in a decoded row, or -1 to read the value over; `width` cells per row. An
// error text instead refuses the file before its rows are read.
struct ColumnSelection {
  std::vector<int> place;
  std::size_t width = 0;
  std::string error;
};
using ColumnSelector = std::function<ColumnSelection(const std::vector<AdtgColumn>& columns)>;

// True when the bytes start like a tablegram.
bool looksLikeAdtg(std::span<const std::uint8_t> bytes);

// Decodes any single-table tablegram. Where files written on Windows may
// differ in details that the published text leaves open (the length prefix
// of wide strings of 128 to 255 characters, whether the row's presence map
// covers the nullable columns or every column) the other reading is tried
// when the first one does not fit the bytes.
AdtgDecodeResult decodeAdtg(std::span<const std::uint8_t> bytes);
// The same keeping only the selected columns, so that a row costs memory for
// those alone however many columns the file declares.
AdtgDecodeResult decodeAdtg(std::span<const std::uint8_t> bytes, const ColumnSelector& select);

// The archive table's rows from a tablegram that has the columns num, date,
// h and Prim (found by name, in any case and order; other columns ignored).
RowsResult readAdtg(std::span<const std::uint8_t> bytes);

// The rows as ADO saves a record set of table `archive`: num I4, date DATE,
// h R8, Prim variable wide string of at most 255 characters, all nullable;
// one unchanged row per table row.
std::string writeAdtg(const std::vector<ArchiveRow>& rows);

}  // namespace korsi::recordset
