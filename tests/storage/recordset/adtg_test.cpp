#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "storage/recordset/adtg.h"
#include "storage/recordset/text_codec.h"
#include "tests/support/tempdir.h"

namespace {

using korsi::ArchiveRow;
using korsi::DateTime;
namespace rs = korsi::recordset;

std::span<const std::uint8_t> bytesOf(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string msExample() { return korsi::test::readFile(KORSI_TEST_DATA_DIR "/adtg-ms-example-4.5.bin"); }

// Builds tablegrams shaped like files that ADO writes on Windows, for the
// variations the reader must accept.
class Bytes {
 public:
  Bytes& u8(std::uint8_t v) { s += static_cast<char>(v); return *this; }
  Bytes& u16(std::uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
  Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Bytes& f64(double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    return u32(static_cast<std::uint32_t>(bits)).u32(static_cast<std::uint32_t>(bits >> 32));
  }
  Bytes& raw(const std::string& bytes) { s += bytes; return *this; }
  Bytes& counted(const std::string& utf8) {
    std::string units;
    korsi::text::appendUtf16le(units, utf8);
    return u16(static_cast<std::uint16_t>(units.size() / 2)).raw(units);
  }
  Bytes& block(std::uint8_t token, const Bytes& body) {
    return u8(token).u16(static_cast<std::uint16_t>(body.s.size())).raw(body.s);
  }
  Bytes& timestamp(int y, int mo, int d, int h, int mi, int se, std::uint32_t fraction) {
    return u16(static_cast<std::uint16_t>(y)).u16(static_cast<std::uint16_t>(mo)).u16(static_cast<std::uint16_t>(d))
        .u16(static_cast<std::uint16_t>(h)).u16(static_cast<std::uint16_t>(mi)).u16(static_cast<std::uint16_t>(se))
        .u32(fraction);
  }
  std::string s;
};

struct ForeignColumn {
  std::string name;
  std::uint16_t type;
  std::uint32_t maxLength;
  std::uint32_t flags;
};

const std::string kGuid(16, '\x11');

// Header, handler options, result descriptor and context with property sets,
// a second table descriptor and a block of an unknown kind, and column
// descriptors with catalog name and trailers, as in the published example.
std::string head(const std::vector<ForeignColumn>& columns) {
  Bytes b;
  b.raw(std::string("\x01\x07TG!\x00\x00\x00\x00", 9));
  b.block(0x02, Bytes().raw(kGuid).u8(1).u16(0).u16(0).u16(0).u16(0));
  Bytes properties;
  properties.u16(2);
  properties.raw(kGuid).u16(3);
  properties.u32(0x7F).u16(2).u16(0xFFFF);           // a boolean
  properties.u32(0x22).u16(4).u32(30);               // an integer
  properties.u32(0x0D).u16(6).raw(std::string("a\0b\0c\0", 6));  // a string
  properties.raw(kGuid).u16(0);
  const auto count = static_cast<std::uint16_t>(columns.size());
  b.block(0x03, Bytes().raw(kGuid).u8(0).u8(0).u8(0).u16(count).u16(count).u16(0).u16(1).u16(0).u32(0).raw(properties.s));
  b.block(0x10, properties);
  b.block(0x05, Bytes().u16(1).counted("\"db\"..\"archive\"").counted("archive").u16(0).u16(count).u16(1).u16(1));
  b.block(0x05, Bytes().u16(2).counted("other").counted("other").u16(0).u16(0).u16(0));
  b.block(0x0B, Bytes().raw("later"));
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const ForeignColumn& c = columns[i];
    const auto ordinal = static_cast<std::uint16_t>(i + 1);
    b.block(0x06, Bytes()
                      .u8(0xF2).u8(0x01).u8(0x00)
                      .u16(ordinal).counted(c.name).u16(1).u16(ordinal).counted(c.name)
                      .u16(c.type).u32(c.maxLength).u32(255).u32(255).u32(c.flags)
                      .counted("db").u16(0).u16(0xFFFF));
  }
  return b.s;
}

ArchiveRow row(std::optional<std::int32_t> num, std::optional<DateTime> date, std::optional<double> h,
               std::optional<std::string> prim) {
  return ArchiveRow{num, date, h, std::move(prim)};
}

TEST(AdtgReader, DecodesThePublishedExampleIntoFiveColumnsAndOneRow) {
  const std::string bytes = msExample();
  ASSERT_EQ(bytes.size(), 744u);
  const rs::AdtgDecodeResult decoded = rs::decodeAdtg(bytesOf(bytes));
  ASSERT_TRUE(decoded.ok()) << decoded.error;
  const std::vector<std::string> names = {"pub_id", "pub_name", "city", "state", "country"};
  const std::vector<std::uint32_t> lengths = {4, 40, 20, 2, 30};
  ASSERT_EQ(decoded.table.columns.size(), 5u);
  for (std::size_t c = 0; c < 5; ++c) {
    EXPECT_EQ(decoded.table.columns[c].name, names[c]);
    EXPECT_EQ(decoded.table.columns[c].type, rs::dbtype::kStr);
    EXPECT_EQ(decoded.table.columns[c].maxLength, lengths[c]);
  }
  ASSERT_EQ(decoded.table.rows.size(), 1u);
  const std::vector<rs::AdtgCell> expected = {std::string("0736"), std::string("New Moon Books"),
                                              std::string("New York"), std::string("MA"), std::string("USA")};
  EXPECT_EQ(decoded.table.rows[0], expected);
}

TEST(AdtgReader, TheExampleIsWholeOnlyWithEveryByte) {
  const std::string bytes = msExample();
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    ASSERT_FALSE(rs::decodeAdtg(bytesOf(bytes.substr(0, length))).ok()) << length;
  }
  EXPECT_FALSE(rs::decodeAdtg(bytesOf(bytes + '\x0F')).ok());
  // A file of another table is not an archive file.
  const rs::RowsResult rows = rs::readAdtg(bytesOf(bytes));
  EXPECT_EQ(rows.error, "В файле нет столбца «num»");
}

TEST(AdtgWriter, WritesTheTableAsADOSavesIt) {
  const std::string bytes = rs::writeAdtg({row(300, DateTime{2009, 3, 9, 14, 30, 5}, 1.0, "Ж"), row(7, {}, {}, {})});
  EXPECT_EQ(bytes.substr(0, 9), std::string("\x01\x07TG!\x00\x00\x00\x00", 9));

  const rs::AdtgDecodeResult decoded = rs::decodeAdtg(bytesOf(bytes));
  ASSERT_TRUE(decoded.ok()) << decoded.error;
  const std::vector<std::pair<std::string, std::uint16_t>> shape = {
      {"num", rs::dbtype::kI4}, {"date", rs::dbtype::kDate}, {"h", rs::dbtype::kR8}, {"Prim", rs::dbtype::kWstr}};
  ASSERT_EQ(decoded.table.columns.size(), 4u);
  for (std::size_t c = 0; c < 4; ++c) {
    EXPECT_EQ(decoded.table.columns[c].name, shape[c].first);
    EXPECT_EQ(decoded.table.columns[c].type, shape[c].second);
    EXPECT_TRUE(decoded.table.columns[c].nullable());
  }
  EXPECT_EQ(decoded.table.columns[3].maxLength, 255u);

  // The rows: token, presence map (first column in the high bit, unused bits
  // set), I4, DATE, R8, wide text after a four-byte byte count; NULLs left out.
  Bytes rows;
  rows.u8(0x07).u8(0xFF).u32(300).f64(39881.0 + 52205.0 / 86400.0).f64(1.0).u32(2).u16(0x0416);
  rows.u8(0x07).u8(0x8F).u32(7);
  rows.u8(0x0F);
  ASSERT_GE(bytes.size(), rows.s.size());
  EXPECT_EQ(bytes.substr(bytes.size() - rows.s.size()), rows.s);
}

TEST(AdtgReader, ReadsAFileSavedFromABatchRecordSetWithPendingChanges) {
  const std::vector<ForeignColumn> columns = {{"NUM", rs::dbtype::kI4, 4, 0x18},
                                           {"id", 0x48, 16, 0x78},
                                           {"Date", rs::dbtype::kDbTimestamp, 16, 0x78},
                                           {"H", rs::dbtype::kR8, 8, 0x78},
                                           {"prim", rs::dbtype::kStr, 255, 0x68}};
  Bytes b;
  b.raw(head(columns));
  // Nullable columns id, Date, H, prim have presence bits 0x80, 0x40, 0x20, 0x10.
  b.u8(0x07).u8(0x7F).u32(1).timestamp(2009, 3, 9, 14, 30, 5, 0).f64(0.5).u8(4).raw("\xA8\xEB\xEA\xE0");
  b.u8(0x07).u8(0x0F).u32(2).u8(0x0C);                          // deleted
  b.u8(0x07).u8(0x20).u32(3).f64(1.5);                          // changed: h set NULL, prim set
  b.u8(0x0A).u8(0x18).u8(0x10).u8(3).raw("new");
  b.u8(0x0D).u8(0xA0).u8(0x00).u32(4).timestamp(2010, 1, 2, 3, 4, 5, 600000000);  // inserted
  b.u8(0x0F);

  const rs::RowsResult result = rs::readAdtg(bytesOf(b.s));
  ASSERT_TRUE(result.ok()) << result.error;
  const std::vector<ArchiveRow> expected = {row(1, DateTime{2009, 3, 9, 14, 30, 5}, 0.5, "Ёлка"),
                                            row(3, {}, {}, "new"),
                                            row(4, DateTime{2010, 1, 2, 3, 4, 6}, {}, {})};
  EXPECT_EQ(result.rows, expected);
}

TEST(AdtgReader, AcceptsTheOneByteLengthPrefixForAWide255CharacterNote) {
  const std::vector<ForeignColumn> columns = {{"num", rs::dbtype::kI4, 4, 0x78},
                                           {"date", rs::dbtype::kDate, 8, 0x78},
                                           {"h", rs::dbtype::kR8, 8, 0x78},
                                           {"Prim", rs::dbtype::kWstr, 255, 0x68}};
  Bytes b;
  b.raw(head(columns));
  b.u8(0x07).u8(0xFF).u32(7).f64(39881.5).f64(2.0).u8(2).u16(0x0416);
  b.u8(0x07).u8(0xFF).u32(8).f64(39882.0).f64(-3.0).u8(0);
  b.u8(0x0F);
  const rs::RowsResult result = rs::readAdtg(bytesOf(b.s));
  ASSERT_TRUE(result.ok()) << result.error;
  const std::vector<ArchiveRow> expected = {row(7, DateTime{2009, 3, 9, 12, 0, 0}, 2.0, "Ж"),
                                            row(8, DateTime{2009, 3, 10, 0, 0, 0}, -3.0, "")};
  EXPECT_EQ(result.rows, expected);
}

TEST(AdtgReader, AcceptsAPresenceMapOverEveryColumn) {
  const std::vector<ForeignColumn> columns = {{"num", rs::dbtype::kI4, 4, 0x18},
                                           {"date", rs::dbtype::kDate, 8, 0x78},
                                           {"h", rs::dbtype::kR8, 8, 0x78},
                                           {"Prim", rs::dbtype::kWstr, 100, 0x68}};
  Bytes b;
  b.raw(head(columns));
  b.u8(0x07).u8(0xE0).u32(5).f64(39881.25).f64(0.001);
  b.u8(0x07).u8(0x90).u32(6).u8(4).u16('o').u16('k');
  b.u8(0x0F);
  const rs::RowsResult result = rs::readAdtg(bytesOf(b.s));
  ASSERT_TRUE(result.ok()) << result.error;
  const std::vector<ArchiveRow> expected = {row(5, DateTime{2009, 3, 9, 6, 0, 0}, 0.001, {}),
                                            row(6, {}, {}, "ok")};
  EXPECT_EQ(result.rows, expected);
}

struct BadValueCase {
  const char* name;
  ForeignColumn prim;
  std::string value;
  const char* error;
};

TEST(AdtgReader, RefusesValuesTheTableCannotHold) {
  const std::string tooLongNote = [] {
    Bytes b;
    b.u32(512);
    for (int i = 0; i < 256; ++i) b.u16('x');
    return b.s;
  }();
  const std::vector<BadValueCase> cases = {
      {"note over 255 characters", {"Prim", rs::dbtype::kWstr, 1000, 0x68}, tooLongNote,
       "Недопустимое значение столбца «Prim» в строке 1"},
      {"note that is not text", {"Prim", 0x48, 16, 0x68}, std::string(16, '\x01'),
       "Недопустимое значение столбца «Prim» в строке 1"},
  };
  for (const BadValueCase& c : cases) {
    Bytes b;
    b.raw(head({{"num", rs::dbtype::kI4, 4, 0x18}, {"date", rs::dbtype::kDate, 8, 0x18},
                {"h", rs::dbtype::kR8, 8, 0x18}, c.prim}));
    b.u8(0x07).u8(0xFF).u32(1).f64(1.0).f64(1.0).raw(c.value).u8(0x0F);
    const rs::RowsResult result = rs::readAdtg(bytesOf(b.s));
    EXPECT_EQ(result.error, c.error) << c.name;
    EXPECT_TRUE(result.rows.empty()) << c.name;
  }
}

std::string ownFile() {
  return rs::writeAdtg({row(1, DateTime{2009, 3, 9, 14, 30, 5}, 0.25, "первая"), row({}, {}, {}, {}),
                        row(-5, DateTime{2009, 3, 9, 0, 0, 0}, 0.0, ""), row(3, {}, 1e-3, "\xF0\x9F\x98\x80")});
}

TEST(AdtgReader, EveryTruncationOfOurOwnFileIsACleanError) {
  const std::string bytes = ownFile();
  ASSERT_TRUE(rs::readAdtg(bytesOf(bytes)).ok());
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    const rs::RowsResult result = rs::readAdtg(bytesOf(bytes.substr(0, length)));
    ASSERT_FALSE(result.ok()) << length;
    ASSERT_TRUE(result.rows.empty()) << length;
    ASSERT_EQ(result.error.rfind("Файл данных повреждён: ", 0), 0u) << result.error;
  }
}

TEST(AdtgReader, DamagedBytesNeverReadOutsideTheFile) {
  // Every byte of our file and of the published example set to values that
  // break sizes, counts, tokens and types; the reader must only ever answer.
  for (const std::string& original : {ownFile(), msExample()}) {
    for (std::size_t i = 0; i < original.size(); ++i) {
      for (const char value : {'\x00', '\x7F', '\xFF'}) {
        std::string damaged = original;
        damaged[i] = value;
        const rs::RowsResult result = rs::readAdtg(bytesOf(damaged));
        if (!result.ok()) {
          ASSERT_TRUE(result.rows.empty());
        }
      }
    }
  }
}

// The table's four columns among 65,531 others that are NULL in every row:
// 40 rows make a 3 MB file.
std::string manyColumnsFile(bool withNote) {
  std::vector<ForeignColumn> columns = {{"num", rs::dbtype::kI4, 4, 0x78}, {"date", rs::dbtype::kDate, 8, 0x78},
                                        {"h", rs::dbtype::kR8, 8, 0x78}};
  if (withNote) columns.push_back({"Prim", rs::dbtype::kWstr, 255, 0x68});
  while (columns.size() < 65535) columns.push_back({"x" + std::to_string(columns.size()), rs::dbtype::kI4, 4, 0x78});
  Bytes b;
  b.raw(head(columns));
  for (int r = 0; r < 40; ++r) {
    b.u8(0x07).u8(0x80).raw(std::string(65535 / 8, '\0')).u32(static_cast<std::uint32_t>(r));
  }
  b.u8(0x0F);
  return b.s;
}

#ifndef _WIN32
// The reading runs in a child made with fork so that the peak memory is its
// alone; Windows has no fork, so this case runs on POSIX only.

// Peak memory of the process, in bytes.
long peakMemory() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss * 1024L;
}

TEST(AdtgReader, ColumnsTheTableDoesNotNeedCostNoMemoryPerRow) {
  const std::string bytes = manyColumnsFile(true);
  // In a child process, so that its peak memory is this reading's alone.
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const long before = peakMemory();
    const rs::RowsResult result = rs::readAdtg(bytesOf(bytes));
    long grown = peakMemory() - before;
    if (!result.ok() || result.rows.size() != 40 || result.rows[39].num != 39) grown = -1;
    [[maybe_unused]] const auto written = write(pipeEnds[1], &grown, sizeof grown);
    _exit(0);
  }
  long grown = -1;
  ASSERT_EQ(read(pipeEnds[0], &grown, sizeof grown), static_cast<ssize_t>(sizeof grown));
  waitpid(child, nullptr, 0);
  close(pipeEnds[0]);
  close(pipeEnds[1]);
  ASSERT_GE(grown, 0) << "the rows did not come back";
  // Cells for every column of every row took over 100 MB here.
  std::printf("peak memory grew by %ld MB reading a %zu MB file\n", grown >> 20, bytes.size() >> 20);
  EXPECT_LT(grown, 64L << 20) << "peak grew by " << (grown >> 20) << " MB for a " << (bytes.size() >> 20) << " MB file";
}
#endif  // _WIN32

TEST(AdtgReader, AMissingColumnIsToldBeforeAnyRowIsRead) {
  std::string bytes = manyColumnsFile(false);
  bytes.resize(bytes.size() - 1000);  // rows cut short as well
  EXPECT_EQ(rs::readAdtg(bytesOf(bytes)).error, "В файле нет столбца «Prim»");
}

TEST(AdtgReader, MoreRowsThanADataFileMayHoldAreRefused) {
  Bytes b;
  b.raw(head({{"num", rs::dbtype::kI4, 4, 0x78}, {"date", rs::dbtype::kDate, 8, 0x78},
              {"h", rs::dbtype::kR8, 8, 0x78}, {"Prim", rs::dbtype::kWstr, 255, 0x68}}));
  for (std::size_t r = 0; r <= rs::kMaxDataFileRows; ++r) b.u8(0x07).u8(0x00);  // rows of NULLs, two bytes each
  b.u8(0x0F);
  const rs::RowsResult result = rs::readAdtg(bytesOf(b.s));
  EXPECT_EQ(result.error, "В файле слишком много строк");
  EXPECT_TRUE(result.rows.empty());
}

}  // namespace
