#include <array>
#include <bit>

#include "storage/recordset/adtg.h"
#include "storage/recordset/archive_columns.h"
#include "storage/recordset/text_codec.h"

namespace korsi::recordset {

namespace {

class ByteWriter {
 public:
  std::string bytes;

  void u8(std::uint8_t v) { bytes += static_cast<char>(v); }
  void u16(std::uint16_t v) { little(v, 2); }
  void u32(std::uint32_t v) { little(v, 4); }
  void f64(double v) { little(std::bit_cast<std::uint64_t>(v), 8); }
  void raw(std::initializer_list<std::uint8_t> values) {
    for (const std::uint8_t v : values) u8(v);
  }
  // Character count, then the UTF-16 text without a terminator.
  void countedString(std::string_view utf8) {
    std::string units;
    text::appendUtf16le(units, utf8);
    u16(static_cast<std::uint16_t>(units.size() / 2));
    bytes += units;
  }
  // A block: token, the size of the rest, the rest.
  void block(std::uint8_t token, const ByteWriter& body) {
    u8(token);
    u16(static_cast<std::uint16_t>(body.bytes.size()));
    bytes += body.bytes;
  }

 private:
  void little(std::uint64_t v, int count) {
    for (int i = 0; i < count; ++i) u8(static_cast<std::uint8_t>(v >> (8 * i)));
  }
};

struct ColumnShape {
  std::uint16_t type;
  std::uint32_t maxLength;
  std::uint32_t precision;
  std::uint32_t flags;
};

constexpr std::uint32_t kNullableFlags =
    columnflag::kWriteUnknown | columnflag::kNullable | columnflag::kMayBeNull;

constexpr std::array<ColumnShape, 4> kShapes = {{
    {dbtype::kI4, 4, 10, kNullableFlags | columnflag::kFixedLength},
    {dbtype::kDate, 8, 255, kNullableFlags | columnflag::kFixedLength},
    {dbtype::kR8, 8, 15, kNullableFlags | columnflag::kFixedLength},
    {dbtype::kWstr, static_cast<std::uint32_t>(kNoteMaxUnits), 255, kNullableFlags},
}};

constexpr std::string_view kTableName = "archive";

}  // namespace

std::string writeAdtg(const std::vector<ArchiveRow>& rows) {
  ByteWriter out;
  out.bytes.reserve(512 + rows.size() * 40);
  // Header: version 0.0, little-endian, 8-bit strings not in UTF-16.
  out.raw({0x01, 0x07, 'T', 'G', '!', 0x00, 0x00, 0x00, 0x00});

  ByteWriter handler;  // handler options: the client cursor engine, batch updates
  handler.raw({0xB6, 0x92, 0xF2, 0x3F, 0x04, 0xB2, 0xCF, 0x11, 0x8D, 0x23, 0x00, 0xAA, 0x00, 0x5F, 0xFE, 0x58});
  handler.u8(0x01);
  handler.u16(0);
  handler.u16(0);
  handler.u16(0);
  handler.u16(0);  // synchronous
  out.block(0x02, handler);

  ByteWriter result;
  result.raw({0xD2, 0xAD, 0x63, 0xF6, 0x02, 0xEB, 0xCF, 0x11, 0xB0, 0xE3, 0x00, 0xAA, 0x00, 0x3F, 0x00, 0x0F});
  result.u8(0);   // reserved
  result.u8(0);   // snapshot cursor
  result.u8(0);   // normalization
  result.u16(4);  // visible columns
  result.u16(4);  // all columns
  result.u16(0);  // computed columns
  result.u16(1);  // base tables
  result.u16(0);  // reserved
  result.u32(static_cast<std::uint32_t>(rows.size()));
  out.block(0x03, result);

  out.block(0x10, ByteWriter{});  // record-set context without properties

  ByteWriter table;
  table.u16(1);
  table.countedString(kTableName);
  table.countedString(kTableName);
  table.u16(0);  // code page
  table.u16(4);  // columns
  table.u16(0);  // no key
  out.block(0x05, table);

  for (std::size_t c = 0; c < kShapes.size(); ++c) {
    const ColumnShape& shape = kShapes[c];
    ByteWriter column;
    // Present: friendly name, base table ordinal, base column ordinal and name.
    column.raw({0xF0, 0x00, 0x00});
    column.u16(static_cast<std::uint16_t>(c + 1));
    column.countedString(kArchiveColumnNames[c]);
    column.u16(1);
    column.u16(static_cast<std::uint16_t>(c + 1));
    column.countedString(kArchiveColumnNames[c]);
    column.u16(shape.type);
    column.u32(shape.maxLength);
    column.u32(shape.precision);
    column.u32(255);  // scale: none
    column.u32(shape.flags);
    column.u16(0xFFFF);  // visible
    out.block(0x06, column);
  }

  for (const ArchiveRow& row : rows) {
    out.u8(0x07);
    // One presence bit per nullable column, the first column in the high
    // bit; the unused bits are set, as ADO sets them.
    std::uint8_t presence = 0x0F;
    if (row.num) presence |= 0x80;
    if (row.date) presence |= 0x40;
    if (row.h) presence |= 0x20;
    if (row.prim) presence |= 0x10;
    out.u8(presence);
    if (row.num) out.u32(static_cast<std::uint32_t>(*row.num));
    if (row.date) out.f64(toOleDate(*row.date));
    if (row.h) out.f64(*row.h);
    if (row.prim) {
      // 255 wide characters take up to 510 bytes: the four-byte length prefix.
      std::string units;
      text::appendUtf16le(units, *row.prim);
      out.u32(static_cast<std::uint32_t>(units.size()));
      out.bytes += units;
    }
  }
  out.u8(0x0F);
  return std::move(out.bytes);
}

}  // namespace korsi::recordset
