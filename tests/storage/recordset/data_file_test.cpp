#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "storage/recordset/data_file.h"
#include "tests/support/tempdir.h"

namespace {

using korsi::ArchiveRow;
using korsi::DateTime;
using korsi::test::readFile;
using korsi::test::writeFile;
namespace rs = korsi::recordset;

ArchiveRow row(std::optional<std::int32_t> num, std::optional<DateTime> date, std::optional<double> h,
               std::optional<std::string> prim) {
  return ArchiveRow{num, date, h, std::move(prim)};
}

std::string repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// Rows at the edges of what the table holds.
std::vector<ArchiveRow> edgeRows() {
  return {
      row(300, DateTime{2009, 3, 9, 14, 30, 5}, static_cast<double>(1.0f), {}),
      row(1, DateTime{2009, 3, 9, 0, 0, 0}, 0.0, ""),
      row(INT32_MIN, DateTime{2099, 12, 31, 23, 59, 59}, 1e-3, repeat("Ж", 255)),
      row(INT32_MAX, DateTime{2000, 1, 1, 0, 0, 0}, static_cast<double>(0.2f), repeat("\xF0\x9F\x98\x80", 127) + "a"),
      row(-1, DateTime{1899, 12, 29, 6, 0, 0}, -0.0, "кавычки ' \" & < > и\tтаб\r\nстрока"),
      row(0, DateTime{9999, 12, 31, 23, 59, 59}, std::numeric_limits<double>::denorm_min(), " пробелы "),
      row({}, {}, {}, {}),
      row(65535, DateTime{2009, 3, 9, 14, 30, 5}, std::numeric_limits<double>::infinity(), "Ёлка №5"),
      row(65535, DateTime{2009, 3, 9, 14, 30, 5}, std::numeric_limits<double>::infinity(), "Ёлка №5"),
  };
}

class DataFileRoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(DataFileRoundTrip, RowsComeBackExactly) {
  korsi::test::TempDir dir;
  const std::string path = dir.file(GetParam());
  const std::vector<ArchiveRow> rows = edgeRows();
  ASSERT_EQ(rs::writeDataFile(path, rows), "");
  const std::string bytes = readFile(path);
  const bool xml = rs::formatForFileName(GetParam()) == rs::DataFormat::Xml;
  EXPECT_EQ(bytes.rfind(xml ? std::string("<xml ") : std::string("\x01\x07TG!", 5), 0), 0u);
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

  const rs::RowsResult read = rs::readDataFile(path);
  ASSERT_TRUE(read.ok()) << read.error;
  EXPECT_EQ(read.rows, rows);
  EXPECT_TRUE(std::signbit(*read.rows[4].h));
}

INSTANTIATE_TEST_SUITE_P(Names, DataFileRoundTrip,
                         ::testing::Values("data.ks", "data.xml", "DATA.XML", "data.Xml", "data", "data.txt"));

TEST(DataFile, NaNThicknessSurvivesBothFormats) {
  korsi::test::TempDir dir;
  for (const char* name : {"nan.ks", "nan.xml"}) {
    ASSERT_EQ(rs::writeDataFile(dir.file(name), {row(1, {}, std::nan(""), {})}), "");
    const rs::RowsResult read = rs::readDataFile(dir.file(name));
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.rows.size(), 1u);
    EXPECT_TRUE(std::isnan(*read.rows[0].h)) << name;
  }
}

TEST(DataFile, FormatComesFromTheContentNotTheName) {
  korsi::test::TempDir dir;
  const std::vector<ArchiveRow> rows = {row(5, DateTime{2009, 3, 5, 14, 7, 9}, 0.5, "x")};
  ASSERT_EQ(rs::replaceFileWith(dir.file("xml-inside.ks"), rs::encodeDataFile(rs::DataFormat::Xml, rows)), "");
  ASSERT_EQ(rs::replaceFileWith(dir.file("adtg-inside.xml"), rs::encodeDataFile(rs::DataFormat::Adtg, rows)), "");
  EXPECT_EQ(rs::readDataFile(dir.file("xml-inside.ks")).rows, rows);
  EXPECT_EQ(rs::readDataFile(dir.file("adtg-inside.xml")).rows, rows);
}

TEST(DataFile, FilesThatAreNotDataFilesGiveAClearError) {
  korsi::test::TempDir dir;
  writeFile(dir.file("empty.ks"), "");
  writeFile(dir.file("text.ks"), "hello");
  std::filesystem::create_directory(dir.file("folder.ks"));
  EXPECT_EQ(rs::readDataFile(dir.file("empty.ks")).error, "Файл не является файлом данных толщиномера");
  EXPECT_EQ(rs::readDataFile(dir.file("text.ks")).error, "Файл не является файлом данных толщиномера");
  EXPECT_EQ(rs::readDataFile(dir.file("missing.ks")).error, "Файл не найден");
  EXPECT_EQ(rs::readDataFile(dir.file("folder.ks")).error, "Файл не удаётся прочитать");
}

TEST(DataFile, AWriteThatFailsLeavesTheOldFileWhole) {
  korsi::test::TempDir dir;
  const std::string path = dir.file("kept.ks");
  writeFile(path, "old contents");
  // Tests run as root, so permissions would not stop the write: a directory
  // stands where the temporary file must go.
  std::filesystem::create_directory(path + ".tmp");
  EXPECT_EQ(rs::writeDataFile(path, edgeRows()), "Файл не удаётся записать");
  EXPECT_EQ(readFile(path), "old contents");
  EXPECT_TRUE(std::filesystem::is_directory(path + ".tmp"));

  // A name under a regular file cannot be written at all.
  EXPECT_EQ(rs::writeDataFile(path + "/inner.ks", edgeRows()), "Файл не удаётся записать");
  EXPECT_EQ(readFile(path), "old contents");

  // The target itself is a directory: the temporary file is written, the
  // rename fails, and the temporary file is removed again.
  std::filesystem::create_directory(dir.file("folder.ks"));
  EXPECT_EQ(rs::writeDataFile(dir.file("folder.ks"), edgeRows()).rfind("Файл не удаётся записать (", 0), 0u);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.ks")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("folder.ks.tmp")));
}

// Every date the table holds, years 1 to 9999, goes through both writers and
// both readers; a year before 100 once made a .ks file that would not load.
TEST(DataFile, EveryDateTheTableHoldsSurvivesBothFormats) {
  korsi::test::TempDir dir;
  const std::vector<ArchiveRow> rows = {
      row(1, DateTime{1, 1, 1, 0, 0, 0}, 0.5, {}),          row(2, DateTime{50, 6, 15, 13, 45, 10}, 0.5, {}),
      row(3, DateTime{99, 12, 31, 23, 59, 59}, 0.5, {}),    row(4, DateTime{100, 1, 1, 0, 0, 0}, 0.5, {}),
      row(5, DateTime{9999, 12, 31, 23, 59, 59}, 0.5, {}),
  };
  // Loaded from .xml, saved as .ks and loaded again, as the user would.
  ASSERT_EQ(rs::writeDataFile(dir.file("old.xml"), rows), "");
  const rs::RowsResult fromXml = rs::readDataFile(dir.file("old.xml"));
  ASSERT_TRUE(fromXml.ok()) << fromXml.error;
  ASSERT_EQ(rs::writeDataFile(dir.file("old.ks"), fromXml.rows), "");
  const rs::RowsResult fromKs = rs::readDataFile(dir.file("old.ks"));
  ASSERT_TRUE(fromKs.ok()) << fromKs.error;
  EXPECT_EQ(fromKs.rows, rows);
}

// A note with a character that XML 1.0 cannot carry, even as a reference:
// the XML save is refused naming the row and the old file stays; the same
// rows save to .ks and come back whole.
TEST(DataFile, AnXmlSaveOfANoteXmlCannotCarryIsRefusedAndKeepsTheOldFile) {
  struct Case {
    std::string note;
    std::string character;
  };
  const std::vector<Case> cases = {
      {std::string("a\0b", 3), "U+0000"}, {"звонок\x07", "U+0007"}, {"\x1F", "U+001F"},
      {"x\xEF\xBF\xBE", "U+FFFE"},       {"\xEF\xBF\xBF", "U+FFFF"},
  };
  korsi::test::TempDir dir;
  const std::string xml = dir.file("table.xml");
  for (const Case& c : cases) {
    writeFile(xml, "old contents");
    const std::vector<ArchiveRow> rows = {row(1, {}, 0.5, "таб\tи\r\nстроки"), row(2, {}, 0.5, c.note)};
    EXPECT_EQ(rs::writeDataFile(xml, rows), "Примечание в строке 2 содержит знак " + c.character +
                                                ", который нельзя записать в файл XML; сохраните таблицу в файл .ks");
    EXPECT_EQ(readFile(xml), "old contents") << c.character;
    EXPECT_FALSE(std::filesystem::exists(xml + ".tmp"));

    ASSERT_EQ(rs::writeDataFile(dir.file("table.ks"), rows), "") << c.character;
    EXPECT_EQ(rs::readDataFile(dir.file("table.ks")).rows, rows) << c.character;
  }
}

}  // namespace
