#include <algorithm>
#include <limits>
#include <utility>

#include "storage/recordset/adtg.h"
#include "storage/recordset/byte_reader.h"
#include "storage/recordset/text_codec.h"

namespace korsi::recordset {

namespace {

using detail::ByteReader;
using detail::FormatError;

namespace token {
constexpr std::uint8_t kHeader = 0x01;
constexpr std::uint8_t kResultDescriptor = 0x03;
constexpr std::uint8_t kColumnDescriptor = 0x06;
constexpr std::uint8_t kRow = 0x07;
constexpr std::uint8_t kChange = 0x0A;
constexpr std::uint8_t kDelete = 0x0C;
constexpr std::uint8_t kInsert = 0x0D;
constexpr std::uint8_t kDone = 0x0F;
// Tokens from 0x80 on belong to the rows of child record sets.
constexpr std::uint8_t kFirstChild = 0x80;
}  // namespace token

// The two details that the published text leaves open; see decodeAdtg.
struct Layout {
  bool presenceForEveryColumn;   // else one presence bit per nullable column
  bool shortPrefixWhenCharsFit;  // else when the byte length fits in one byte
};

// Files written by ADO are read best by the first; the others are tried in turn.
constexpr Layout kLayouts[] = {{false, false}, {false, true}, {true, false}, {true, true}};

struct Meta {
  std::vector<AdtgColumn> columns;
  bool unicodeStrings = false;
};

std::string countedString(ByteReader& in) {
  const std::size_t units = in.u16();
  return text::utf16leToUtf8(in.take(units * 2));
}

std::size_t fixedSize(std::uint16_t type) {
  switch (type) {
    case dbtype::kI1:
    case dbtype::kUi1:
      return 1;
    case dbtype::kI2:
    case dbtype::kUi2:
    case 0x0B:  // BOOL
      return 2;
    case dbtype::kI4:
    case dbtype::kUi4:
    case dbtype::kR4:
    case 0x0A:  // ERROR
      return 4;
    case dbtype::kR8:
    case dbtype::kCy:
    case dbtype::kDate:
    case dbtype::kI8:
    case dbtype::kUi8:
    case 0x40:  // FILETIME
      return 8;
    case dbtype::kDbDate:
    case 0x86:  // DBTIME
      return 6;
    case 0x0E:  // DECIMAL
    case 0x48:  // GUID
    case dbtype::kDbTimestamp:
      return 16;
    case 0x83:  // NUMERIC
      return 19;
    default:
      return 0;
  }
}

bool isVariable(std::uint16_t type) {
  return type == dbtype::kStr || type == dbtype::kWstr || type == dbtype::kBstr ||
         type == dbtype::kBytes;
}

AdtgColumn readColumnDescriptor(ByteReader& in) {
  const std::uint8_t present1 = in.u8();
  in.u8();
  in.u8();
  AdtgColumn column;
  column.ordinal = in.u16();
  std::string friendlyName;
  std::string baseName;
  if (present1 & 0x80) friendlyName = countedString(in);
  if (present1 & 0x40) in.u16();  // base table ordinal
  if (present1 & 0x20) in.u16();  // base column ordinal
  if (present1 & 0x10) baseName = countedString(in);
  column.name = friendlyName.empty() ? baseName : friendlyName;
  column.type = in.u16();
  column.maxLength = in.u32();
  in.u32();  // precision
  in.i32();  // scale
  column.flags = in.u32();
  // Catalog, schema, collation and the other trailers up to IsVisible are
  // not needed; the block's size lets them go unread.
  return column;
}

Meta readMeta(ByteReader& in) {
  if (in.u8() != token::kHeader) throw FormatError(0, "нет заголовка набора записей");
  const std::size_t headerSize = in.u8();
  if (headerSize < 7) throw FormatError(1, "неверный размер заголовка");
  ByteReader header = in.sub(headerSize);
  const auto signature = header.take(3);
  if (signature[0] != 'T' || signature[1] != 'G' || signature[2] != '!') {
    throw FormatError(2, "нет подписи набора записей");
  }
  header.u8();  // version major
  header.u8();  // version minor
  if (header.u8() != 0) throw FormatError(header.offset() - 1, "порядок байтов старшим вперёд не поддерживается");
  Meta meta;
  meta.unicodeStrings = header.u8() != 0;

  bool haveResultDescriptor = false;
  std::size_t totalColumns = 0;
  for (;;) {
    const std::uint8_t next = in.peek();
    if (next == token::kRow || next == token::kInsert || next == token::kDone ||
        next >= token::kFirstChild) {
      break;
    }
    in.u8();
    const std::size_t size = in.u16();
    ByteReader body = in.sub(size);
    if (next == token::kResultDescriptor) {
      body.skip(16);  // GUID
      body.u8();      // reserved
      body.u8();      // cursor model
      body.u8();      // normalization
      body.u16();     // visible columns
      totalColumns = body.u16();
      haveResultDescriptor = true;
    } else if (next == token::kColumnDescriptor) {
      meta.columns.push_back(readColumnDescriptor(body));
    }
    // Handler options, the record-set context, table descriptors, their
    // property sets and blocks of later versions are skipped by their size.
  }
  if (!haveResultDescriptor) throw FormatError(in.offset(), "нет описания набора записей");
  std::sort(meta.columns.begin(), meta.columns.end(),
            [](const AdtgColumn& a, const AdtgColumn& b) { return a.ordinal < b.ordinal; });
  if (meta.columns.size() != totalColumns) {
    throw FormatError(in.offset(), "число описаний столбцов не совпадает с числом столбцов");
  }
  for (std::size_t i = 0; i < meta.columns.size(); ++i) {
    const AdtgColumn& column = meta.columns[i];
    if (column.ordinal != i + 1) throw FormatError(in.offset(), "неверные номера столбцов");
    if (column.flags & columnflag::kChapter) {
      throw FormatError(in.offset(), "вложенные наборы записей не поддерживаются");
    }
    if (fixedSize(column.type) == 0 && !isVariable(column.type)) {
      throw FormatError(in.offset(), "неизвестный тип столбца " + std::to_string(column.type));
    }
  }
  return meta;
}

AdtgCell readTimestamp(ByteReader& in, std::size_t at, bool withTime) {
  DateTime t;
  t.year = in.i16();
  t.month = in.u16();
  t.day = in.u16();
  std::uint32_t fraction = 0;
  if (withTime) {
    t.hour = in.u16();
    t.minute = in.u16();
    t.second = in.u16();
    fraction = in.u32();
  } else {
    t.hour = t.minute = t.second = 0;
  }
  if (!isValid(t) || fraction >= 1000000000u) throw FormatError(at, "неверная дата");
  if (fraction >= 500000000u) {
    t = fromSerialSeconds(toSerialSeconds(t) + 1);
    if (!isValid(t)) throw FormatError(at, "неверная дата");
  }
  return t;
}

AdtgCell readValue(ByteReader& in, const AdtgColumn& column, const Layout& layout,
                   bool unicodeStrings) {
  const std::size_t at = in.offset();
  switch (column.type) {
    case dbtype::kI1:
      return static_cast<std::int64_t>(static_cast<std::int8_t>(in.u8()));
    case dbtype::kUi1:
      return static_cast<std::int64_t>(in.u8());
    case dbtype::kI2:
    case 0x0B:  // BOOL
      return static_cast<std::int64_t>(in.i16());
    case dbtype::kUi2:
      return static_cast<std::int64_t>(in.u16());
    case dbtype::kI4:
      return static_cast<std::int64_t>(in.i32());
    case dbtype::kUi4:
      return static_cast<std::int64_t>(in.u32());
    case dbtype::kI8:
      return in.i64();
    case dbtype::kUi8: {
      const std::uint64_t value = in.u64();
      if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return OpaqueValue{};
      return static_cast<std::int64_t>(value);
    }
    case dbtype::kR4:
      return static_cast<double>(in.f32());
    case dbtype::kR8:
      return in.f64();
    case dbtype::kCy:
      return static_cast<double>(in.i64()) / 10000.0;
    case dbtype::kDate: {
      const auto date = fromOleDate(in.f64());
      if (!date) throw FormatError(at, "дата вне допустимого диапазона");
      return *date;
    }
    case dbtype::kDbDate:
      return readTimestamp(in, at, false);
    case dbtype::kDbTimestamp:
      return readTimestamp(in, at, true);
    default:
      break;
  }
  if (!isVariable(column.type)) {
    in.skip(fixedSize(column.type));
    return OpaqueValue{};
  }
  const bool wide = column.type == dbtype::kWstr || column.type == dbtype::kBstr;
  const std::uint64_t unit = wide ? 2 : 1;
  const bool unbounded = column.maxLength == 0xFFFFFFFFu || (column.flags & columnflag::kLong);
  std::uint64_t length = 0;
  if ((column.flags & columnflag::kFixedLength) && !unbounded) {
    length = column.maxLength * unit;
  } else {
    // A length prefix of one byte or, for longer columns, four bytes; the
    // prefix counts bytes. ADO uses the short prefix only when the column's
    // longest value in bytes fits in it (so a 255-character wide column has
    // the four-byte prefix); the other reading is kept for files that differ.
    const std::uint64_t longest = layout.shortPrefixWhenCharsFit ? column.maxLength : column.maxLength * unit;
    length = unbounded || longest > 255 ? in.u32() : in.u8();
  }
  if (length > in.remaining()) throw FormatError(at, "длина значения выходит за конец файла");
  const auto bytes = in.take(static_cast<std::size_t>(length));
  if (column.type == dbtype::kBytes) return OpaqueValue{};
  if (wide || unicodeStrings) return text::utf16leToUtf8(bytes);
  return text::cp1251ToUtf8(bytes);
}

bool bitSet(std::span<const std::uint8_t> map, std::size_t index) {
  return (map[index / 8] & (0x80u >> (index % 8))) != 0;
}

struct Row {
  std::vector<AdtgCell> cells;
  bool deleted = false;
};

// More rows than a data file may hold; no other reading of the bytes helps.
struct TooManyRows {};

std::vector<std::vector<AdtgCell>> readRows(ByteReader in, const Meta& meta, const Layout& layout,
                                            const ColumnSelection& selection) {
  const std::size_t columnCount = meta.columns.size();
  std::vector<int> presenceBit(columnCount, -1);
  std::size_t nullableCount = 0;
  for (std::size_t c = 0; c < columnCount; ++c) {
    if (layout.presenceForEveryColumn) {
      presenceBit[c] = static_cast<int>(c);
    } else if (meta.columns[c].nullable()) {
      presenceBit[c] = static_cast<int>(nullableCount++);
    }
  }
  const std::size_t presenceBytes = ((layout.presenceForEveryColumn ? columnCount : nullableCount) + 7) / 8;
  const std::size_t mapBytes = (columnCount + 7) / 8;

  // A value of a column that is not kept is read over all the same.
  const auto store = [&](Row& row, std::size_t c, AdtgCell value) {
    if (selection.place[c] >= 0) row.cells[static_cast<std::size_t>(selection.place[c])] = std::move(value);
  };
  const auto newRow = [&](std::vector<Row>& rows) -> Row& {
    if (rows.size() >= kMaxDataFileRows) throw TooManyRows{};
    rows.push_back(Row{std::vector<AdtgCell>(selection.width), false});
    return rows.back();
  };

  std::vector<Row> rows;
  bool lastWasRow = false;
  for (;;) {
    const std::size_t at = in.offset();
    const std::uint8_t next = in.u8();
    if (next == token::kRow) {
      const auto presence = in.take(presenceBytes);
      Row& row = newRow(rows);
      for (std::size_t c = 0; c < columnCount; ++c) {
        const bool present = presenceBit[c] < 0 || bitSet(presence, static_cast<std::size_t>(presenceBit[c]));
        if (present) store(row, c, readValue(in, meta.columns[c], layout, meta.unicodeStrings));
      }
      lastWasRow = true;
    } else if (next == token::kInsert || next == token::kChange) {
      if (next == token::kChange && !lastWasRow) throw FormatError(at, "изменение без исходной строки");
      const auto update = in.take(mapBytes);
      const auto forceNull = in.take(mapBytes);
      Row& row = next == token::kInsert ? newRow(rows) : rows.back();
      for (std::size_t c = 0; c < columnCount; ++c) {
        if (!bitSet(update, c)) continue;
        if (bitSet(forceNull, c)) {
          store(row, c, std::monostate{});
        } else {
          store(row, c, readValue(in, meta.columns[c], layout, meta.unicodeStrings));
        }
      }
      lastWasRow = next == token::kInsert;
    } else if (next == token::kDelete) {
      if (!lastWasRow) throw FormatError(at, "удаление без исходной строки");
      rows.back().deleted = true;
      lastWasRow = false;
    } else if (next == token::kDone) {
      if (!in.atEnd()) throw FormatError(in.offset(), "данные после конца набора записей");
      break;
    } else if (next >= token::kFirstChild) {
      throw FormatError(at, "вложенные наборы записей не поддерживаются");
    } else {
      throw FormatError(at, "неизвестная метка строки " + std::to_string(next));
    }
  }
  std::vector<std::vector<AdtgCell>> kept;
  kept.reserve(rows.size());
  for (Row& row : rows) {
    if (!row.deleted) kept.push_back(std::move(row.cells));
  }
  return kept;
}

bool layoutMatters(const Meta& meta, const Layout& layout) {
  // Readings that differ from the first only where no column is affected
  // would give the same answer again.
  bool prefixMatters = false;
  bool presenceMatters = false;
  for (const AdtgColumn& column : meta.columns) {
    if (!column.nullable()) presenceMatters = true;
    const bool wide = column.type == dbtype::kWstr || column.type == dbtype::kBstr;
    if (wide && column.maxLength > 127 && column.maxLength <= 255 &&
        !(column.flags & (columnflag::kFixedLength | columnflag::kLong))) {
      prefixMatters = true;
    }
  }
  return (!layout.presenceForEveryColumn || presenceMatters) &&
         (!layout.shortPrefixWhenCharsFit || prefixMatters);
}

}  // namespace

bool looksLikeAdtg(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 5 && bytes[0] == token::kHeader && bytes[2] == 'T' && bytes[3] == 'G' &&
         bytes[4] == '!';
}

AdtgDecodeResult decodeAdtg(std::span<const std::uint8_t> bytes) {
  return decodeAdtg(bytes, [](const std::vector<AdtgColumn>& columns) {
    ColumnSelection every;
    every.width = columns.size();
    for (std::size_t c = 0; c < columns.size(); ++c) every.place.push_back(static_cast<int>(c));
    return every;
  });
}

AdtgDecodeResult decodeAdtg(std::span<const std::uint8_t> bytes, const ColumnSelector& select) {
  AdtgDecodeResult result;
  Meta meta;
  ByteReader in(bytes);
  try {
    meta = readMeta(in);
  } catch (const FormatError& e) {
    result.error = e.what();
    return result;
  }
  ColumnSelection kept = select(meta.columns);
  if (!kept.error.empty()) {
    result.error = std::move(kept.error);
    return result;
  }
  kept.place.resize(meta.columns.size(), -1);
  std::string firstError;
  for (const Layout& layout : kLayouts) {
    if (!layoutMatters(meta, layout)) continue;
    try {
      result.table.rows = readRows(in, meta, layout, kept);
      result.table.columns = std::move(meta.columns);
      return result;
    } catch (const FormatError& e) {
      if (firstError.empty()) firstError = e.what();
    } catch (const TooManyRows&) {
      result.tooManyRows = true;
      result.error = "больше " + std::to_string(kMaxDataFileRows) + " строк";
      return result;
    }
  }
  result.error = firstError;
  return result;
}

}  // namespace korsi::recordset
