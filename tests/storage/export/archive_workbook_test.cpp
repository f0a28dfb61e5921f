// The spreadsheet workbook of the archive table, read back with an
// independent reader (openpyxl): its cells and their types, and what a
// failed write leaves behind.

#include "storage/export/archive_workbook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <cstdio>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/tempdir.h"
#include "tests/support/workbook_cells.h"

namespace {

using korsi::ArchiveRow;
using korsi::DateTime;

const std::array<std::string, 4> kTitles{"№ измерения", "Дата/Время", "Толщина, мм", "Примечание"};

ArchiveRow row(int num, DateTime date, double h, const char* note = nullptr) {
  ArchiveRow out;
  out.num = num;
  out.date = date;
  out.h = h;
  if (note != nullptr) out.prim = note;
  return out;
}

std::vector<std::string> titleCells() {
  return {"Лист1\tA1\ts\t№ измерения", "Лист1\tB1\ts\tДата/Время", "Лист1\tC1\ts\tТолщина, мм",
          "Лист1\tD1\ts\tПримечание"};
}

std::vector<std::string> cellsOf(const std::string& path) {
  const korsi::test::WorkbookCells cells = korsi::test::readWorkbookCells(path);
  EXPECT_EQ(cells.error, "");
  return cells.lines;
}

std::vector<std::string> filesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ArchiveWorkbook, HoldsTitlesThenNumberAndDateAsTextAndThicknessAsNumberWithoutTheNote) {
  korsi::test::TempDir dir;
  const std::string path = dir.file("archive.xlsx");
  const std::vector<ArchiveRow> rows{
      row(1, {2009, 3, 9, 6, 22, 5}, 0.125, "крыло слева"),
      row(2, {2009, 3, 10, 0, 0, 0}, 1.5),  // midnight: the date alone
      row(-7, {2010, 12, 31, 23, 59, 59}, 0.3, "под краской"),
  };
  ASSERT_EQ(korsi::writeArchiveWorkbook(path, kTitles, rows), "");

  std::vector<std::string> expected = titleCells();
  expected.insert(expected.end(), {
                                      "Лист1\tA2\ts\t1",
                                      "Лист1\tB2\ts\t09.03.2009 6:22:05",
                                      "Лист1\tC2\tn\t0.125",
                                      "Лист1\tA3\ts\t2",
                                      "Лист1\tB3\ts\t10.03.2009",
                                      "Лист1\tC3\tn\t1.5",
                                      "Лист1\tA4\ts\t-7",
                                      "Лист1\tB4\ts\t31.12.2010 23:59:59",
                                      "Лист1\tC4\tn\t0.3",
                                  });
  EXPECT_EQ(cellsOf(path), expected);
  EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"archive.xlsx"});
}

// A thickness the gauge sent as a 32-bit float stands in the file as the
// shortest decimal that reads back as that float, as the CSV has it (0.843,
// not its double widening 0.8429999947547913, and not 0.07000000000000001
// either, as libxlsxwriter's 16 digits would write the shortest double of
// 0.07), a number with three decimals shown. Every thousandth up to 10 mm is
// checked, in the file's own text and as openpyxl reads it back.
TEST(ArchiveWorkbook, AThicknessIsTheShortestDecimalOfTheGaugesFloatShownWithThreeDecimals) {
  korsi::test::TempDir dir;
  const std::string path = dir.file("archive.xlsx");
  std::vector<ArchiveRow> rows;
  std::string expected;
  for (int micrometres = 0; micrometres <= 10000; ++micrometres) {
    const float gauge = static_cast<float>(micrometres / 1000.0);
    rows.push_back(row(micrometres, {2026, 12, 11, 9, 0, 0}, static_cast<double>(gauge)));
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(gauge));
    expected += std::string(text) + "\n";
  }
  // A value that came from no float keeps its own shortest form.
  rows.push_back(row(10001, {2026, 12, 11, 9, 0, 0}, 0.12345678901234568));
  expected += "0.12345678901234568\n";
  ASSERT_EQ(korsi::writeArchiveWorkbook(path, kTitles, rows), "");

  korsi::test::writeFile(dir.file("shortest.py"), R"(import sys, zipfile, re, openpyxl
xml = zipfile.ZipFile(sys.argv[1]).read("xl/worksheets/sheet1.xml").decode()
texts = re.findall(r'<c r="C\d+"[^>]*><v>([^<]*)</v>', xml)
sheet = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
cells = [row[0] for row in sheet.iter_rows(min_row=2, min_col=3, max_col=3)]
assert len(texts) == len(cells), (len(texts), len(cells))
for text, cell in zip(texts, cells):
    assert cell.data_type == "n" and cell.number_format == "0.000", (cell.coordinate, cell.data_type, cell.number_format)
    assert repr(cell.value) == text or repr(float(text)) == repr(cell.value), (text, cell.value)
    print(text)
)");
  const std::string python = std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  const std::string command =
      python + " " + dir.file("shortest.py") + " " + path + " > " + dir.file("texts.txt") + " 2> " + dir.file("err.txt");
  ASSERT_EQ(std::system(command.c_str()), 0) << korsi::test::readFile(dir.file("err.txt"));
  // The %g form of each float is its shortest decimal for these thousandths; the texts equal them one by one.
  const std::string texts = korsi::test::readFile(dir.file("texts.txt"));
  EXPECT_EQ(texts.substr(0, 40), expected.substr(0, 40));
  EXPECT_TRUE(texts == expected) << "the texts differ from the floats' shortest decimals";
}

// Each column's width as openpyxl reads it, beside the most characters a
// cell of that column shows there (a number as Excel's General format shows
// it, at most 11): "A<TAB>width<TAB>longest" per column.
std::vector<std::string> columnWidths(const std::string& path) {
  static constexpr const char* kScript = R"(import sys, openpyxl
sheet = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
longest = {}
for row in sheet.iter_rows():
    for cell in row:
        if cell.value is None:
            continue
        shown = len(cell.value) if cell.data_type == 's' else min(len(repr(cell.value)), 11)
        longest[cell.column_letter] = max(longest.get(cell.column_letter, 0), shown)
for letter in sorted(longest):
    width = sheet.column_dimensions[letter].width if letter in sheet.column_dimensions else 0
    print(letter, width, longest[letter], sep='\t')
)";
  korsi::test::TempDir dir;
  const std::string script = dir.file("widths.py");
  korsi::test::writeFile(script, kScript);
  const std::string python = std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(
      popen(("PYTHONIOENCODING=utf-8 " + python + " '" + script + "' '" + path + "'").c_str(), "r"), pclose);
  std::vector<std::string> lines;
  if (!pipe) return lines;
  std::array<char, 256> line{};
  while (std::fgets(line.data(), static_cast<int>(line.size()), pipe.get()) != nullptr) {
    std::string text(line.data());
    if (!text.empty() && text.back() == '\n') text.pop_back();
    lines.push_back(text);
  }
  return lines;
}

// Without set widths a date shows as "####" until the user widens its column.
TEST(ArchiveWorkbook, EveryColumnIsWideEnoughForItsWidestValue) {
  korsi::test::TempDir dir;
  const std::string path = dir.file("archive.xlsx");
  const std::vector<ArchiveRow> rows{
      row(1, {2009, 3, 9, 6, 22, 5}, 0.125),
      row(std::numeric_limits<int>::min(), {2099, 12, 31, 23, 59, 59}, 0.2150000035762787),
      row(3, {2010, 1, 1, 0, 0, 0}, 5.0),
  };
  ASSERT_EQ(korsi::writeArchiveWorkbook(path, kTitles, rows), "");

  const std::vector<std::string> widths = columnWidths(path);
  ASSERT_EQ(widths.size(), 4u) << "openpyxl could not read the workbook (install python3-openpyxl)";
  for (const std::string& line : widths) {
    SCOPED_TRACE(line);
    const auto first = line.find('\t');
    const auto second = line.find('\t', first + 1);
    const double width = std::strtod(line.substr(first + 1, second - first - 1).c_str(), nullptr);
    const double longest = std::strtod(line.substr(second + 1).c_str(), nullptr);
    EXPECT_GE(width, longest + 1);
  }
  // The dates' column holds "31.12.2099 23:59:59", 19 characters.
  EXPECT_EQ(widths[1].substr(widths[1].rfind('\t') + 1), "19");
}

TEST(ArchiveWorkbook, EmptyFieldsAndThicknessesThatAreNoNumbersLeaveTheirCellsEmpty) {
  korsi::test::TempDir dir;
  const std::string path = dir.file("archive.xlsx");
  ArchiveRow noteOnly;
  noteOnly.prim = "только примечание";
  ArchiveRow numOnly;
  numOnly.num = 5;
  ArchiveRow notANumber = row(6, {2009, 3, 9, 6, 22, 5}, std::numeric_limits<double>::quiet_NaN());
  ArchiveRow infinite = row(7, {2009, 3, 9, 6, 22, 6}, std::numeric_limits<double>::infinity());
  ASSERT_EQ(korsi::writeArchiveWorkbook(path, kTitles, {noteOnly, numOnly, notANumber, infinite}), "");

  std::vector<std::string> expected = titleCells();
  expected.insert(expected.end(), {"Лист1\tA3\ts\t5", "Лист1\tA4\ts\t6", "Лист1\tB4\ts\t09.03.2009 6:22:05",
                                   "Лист1\tA5\ts\t7", "Лист1\tB5\ts\t09.03.2009 6:22:06"});
  EXPECT_EQ(cellsOf(path), expected);
}

TEST(ArchiveWorkbook, WithoutRowsHoldsTheTitlesAlone) {
  korsi::test::TempDir dir;
  const std::string path = dir.file("archive.xlsx");
  ASSERT_EQ(korsi::writeArchiveWorkbook(path, kTitles, {}), "");
  EXPECT_EQ(cellsOf(path), titleCells());
}

TEST(ArchiveWorkbook, ReplacesAnExistingFile) {
  korsi::test::TempDir dir;
  const std::string path = dir.file("archive.xlsx");
  korsi::test::writeFile(path, "an older file");
  ASSERT_EQ(korsi::writeArchiveWorkbook(path, kTitles, {row(1, {2009, 3, 9, 6, 22, 5}, 0.125)}), "");
  EXPECT_EQ(cellsOf(path).size(), 7u);
  EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"archive.xlsx"});
}

// A locale whose numbers have a decimal comma, as a Russian desktop's has,
// made from the system's locale sources when it is not installed.
class CommaLocale {
 public:
  CommaLocale() : previous_(std::setlocale(LC_NUMERIC, nullptr)) {
    for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "de_DE.UTF-8"}) {
      if (std::setlocale(LC_NUMERIC, name) != nullptr) return;
    }
    const std::string command = "localedef -i ru_RU -f UTF-8 '" + dir_.file("ru_RU.UTF-8") + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return;
    ::setenv("LOCPATH", dir_.path().c_str(), 1);
    std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");
    ::unsetenv("LOCPATH");
  }
  ~CommaLocale() { std::setlocale(LC_NUMERIC, previous_.c_str()); }
  bool active() const { return std::localeconv()->decimal_point == std::string(","); }

 private:
  std::string previous_;
  korsi::test::TempDir dir_;
};

TEST(ArchiveWorkbook, WritesNumbersWithAPointUnderALocaleWithADecimalComma) {
  korsi::test::TempDir dir;
  const std::string path = dir.file("archive.xlsx");
  {
    CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no locale with a decimal comma (install the package locales)";
    ASSERT_EQ(korsi::writeArchiveWorkbook(path, kTitles, {row(1, {2009, 3, 9, 6, 22, 5}, 0.125)}), "");
    // The process's own locale is left as it was.
    EXPECT_TRUE(comma.active());
  }
  const std::vector<std::string> cells = cellsOf(path);
  ASSERT_EQ(cells.size(), 7u);
  EXPECT_EQ(cells[6], "Лист1\tC2\tn\t0.125");
}

struct FailedWrite {
  const char* name;
  const char* reason;
  friend void PrintTo(const FailedWrite& write, std::ostream* out) { *out << write.name; }
};

class ArchiveWorkbookFailure : public ::testing::TestWithParam<FailedWrite> {};

TEST_P(ArchiveWorkbookFailure, TellsWhyAndLeavesNoFileBehind) {
  korsi::test::TempDir dir;
  std::filesystem::create_directory(dir.path() / "folder");
  korsi::test::writeFile(dir.file("folder/keep.txt"), "kept");
  const std::string name = GetParam().name;
  const std::string path = dir.file(name);
  const std::vector<std::string> before = filesIn(dir.path());

  const std::string reason = korsi::writeArchiveWorkbook(path, kTitles, {row(1, {2009, 3, 9, 6, 22, 5}, 0.125)});

  EXPECT_EQ(reason, GetParam().reason);
  EXPECT_EQ(reason.find(name), std::string::npos) << "the caller names the file itself";
  EXPECT_EQ(filesIn(dir.path()), before);
  EXPECT_EQ(korsi::test::readFile(dir.file("folder/keep.txt")), "kept");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ArchiveWorkbookFailure,
    ::testing::Values(FailedWrite{"missing/archive.xlsx", "Папка не существует"},
                      // The workbook is written beside it whole, then cannot take the name.
                      FailedWrite{"folder", "Под этим именем уже есть папка"},
                      FailedWrite{"folder/keep.txt/archive.xlsx", "Путь к файлу проходит через файл, а не через папку"}),
    [](const auto& info) {
      std::string out;
      for (const char c : std::string(info.param.name)) out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return out;
    });

TEST(ArchiveWorkbook, AWriteThatFailsLeavesTheExistingFileAsItWas) {
  korsi::test::TempDir dir;
  const std::string path = dir.file("archive.xlsx");
  korsi::test::writeFile(path, "the earlier export");
  // A title longer than a cell takes makes the writer fail after it began.
  std::array<std::string, 4> titles = kTitles;
  titles[3] = std::string(40000, 'x');

  EXPECT_EQ(korsi::writeArchiveWorkbook(path, titles, {row(1, {2009, 3, 9, 6, 22, 5}, 0.125)}),
            "Текст ячейки длиннее 32767 знаков, допустимых в Excel");
  EXPECT_EQ(korsi::test::readFile(path), "the earlier export");
  EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"archive.xlsx"});
}

}  // namespace
