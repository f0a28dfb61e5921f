// The printed report drawn into a PDF file and read back with poppler's
// pdftotext: where the title, the column header and the detail lines stand
// on the page, the header on every page, and a long note cut to its box.

#include "ui/report/archive_report.h"

#include <gtest/gtest.h>

#include <QPdfWriter>
#include <string>
#include <vector>

#include "tests/support/pdf_words.h"
#include "tests/support/tempdir.h"

namespace {

using korsi::ArchiveRow;
using korsi::test::PdfText;
using korsi::test::PdfWord;
namespace report = korsi::report;

// The page's margin: every band position counts from it.
constexpr double kMargin = 10.0;
constexpr double kTolerance = 0.5;  // millimetres
constexpr double kFirstDetailTop = kMargin + report::kTitleBandHeight + report::kHeaderBandHeight;

ArchiveRow row(int num, const char* note = nullptr) {
  ArchiveRow out;
  out.num = num;
  out.date = korsi::DateTime{2009, 3, 9, 6, 22, num % 60};
  out.h = 0.125 * num;
  if (note != nullptr) out.prim = note;
  return out;
}

PdfText renderToPdf(const std::vector<ArchiveRow>& rows) {
  korsi::test::TempDir dir;
  const std::string path = dir.file("report.pdf");
  {
    QPdfWriter pdf(QString::fromStdString(path));
    pdf.setResolution(1200);
    EXPECT_TRUE(report::setUpReportPage(pdf));
    EXPECT_TRUE(report::renderArchiveReport(pdf, rows));
  }
  PdfText text = korsi::test::readPdfWords(path);
  EXPECT_EQ(text.error, "");
  return text;
}

// The phrase stands centred in the box at `bandTop`, its top at the box's top.
void expectCentredIn(const PdfText& text, int page, const std::string& phrase, double bandTop,
                     const report::Box& box) {
  SCOPED_TRACE(phrase);
  const std::optional<PdfWord> found = text.find(page, phrase);
  ASSERT_TRUE(found) << "not on page " << page;
  EXPECT_NEAR((found->left + found->right) / 2, kMargin + box.left + box.width / 2, kTolerance);
  EXPECT_NEAR(found->top, bandTop + box.top, kTolerance);
}

void expectColumnHeader(const PdfText& text, int page, double bandTop) {
  for (const report::ArchiveReportColumn& column : report::kArchiveReportColumns) {
    expectCentredIn(text, page, column.caption, bandTop, column.header);
  }
}

void expectDetailLine(const PdfText& text, int page, const ArchiveRow& row, double bandTop) {
  const std::array<QString, 4> fields = report::reportFields(row);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!fields[i].isEmpty()) {
      expectCentredIn(text, page, fields[i].toStdString(), bandTop, report::kArchiveReportColumns[i].field);
    }
  }
}

TEST(ArchiveReport, FirstPageHasTheTitleTheColumnHeaderAndTheDetailLinesInPlace) {
  const std::vector<ArchiveRow> rows{row(1, "крыло слева"), row(2), row(3, "капот")};
  const PdfText text = renderToPdf(rows);
  ASSERT_EQ(text.pages, 1);

  // The title's box is sized to its text: its left edge is the box's.
  const std::optional<PdfWord> title = text.find(1, "КОРСИ-7");
  ASSERT_TRUE(title);
  EXPECT_NEAR(title->left, kMargin + report::kTitleLeft, kTolerance);
  EXPECT_NEAR(title->top, kMargin + report::kTitleTop, kTolerance);
  // 14 points against the captions' 10.
  const std::optional<PdfWord> caption = text.find(1, "Номер");
  ASSERT_TRUE(caption);
  EXPECT_NEAR((title->bottom - title->top) / (caption->bottom - caption->top), 1.4, 0.05);

  expectColumnHeader(text, 1, kMargin + report::kTitleBandHeight);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    expectDetailLine(text, 1, rows[i], kFirstDetailTop + report::kDetailBandHeight * static_cast<double>(i));
  }
  EXPECT_TRUE(text.find(1, "09.03.2009 6:22:01"));
  EXPECT_TRUE(text.find(1, "0,375"));
}

TEST(ArchiveReport, EveryPageBeginsWithTheColumnHeader) {
  std::vector<ArchiveRow> rows;
  for (int i = 1; i <= 120; ++i) rows.push_back(row(i));
  const PdfText text = renderToPdf(rows);
  // 277 mm of a page: 51 lines below the title and header, then 53 a page.
  ASSERT_EQ(text.pages, 3);
  EXPECT_FALSE(text.find(2, "КОРСИ-7"));
  expectDetailLine(text, 1, rows[50], kFirstDetailTop + report::kDetailBandHeight * 50);
  for (int page : {2, 3}) {
    SCOPED_TRACE(page);
    expectColumnHeader(text, page, kMargin);
    const std::size_t first = page == 2 ? 51 : 104;
    expectDetailLine(text, page, rows[first], kMargin + report::kHeaderBandHeight);
  }
  expectDetailLine(text, 2, rows[103], kMargin + report::kHeaderBandHeight + report::kDetailBandHeight * 52);
  expectDetailLine(text, 3, rows[119], kMargin + report::kHeaderBandHeight + report::kDetailBandHeight * 15);
}

TEST(ArchiveReport, ALongNoteIsCutAtItsBoxAndTheLinesKeepTheirSpacing) {
  const char* note =
      "первая строка примечания занимает всю ширину поля "
      "вторая строка уже не помещается в высоту поля третья тоже";
  const std::vector<ArchiveRow> rows{row(1, note), row(2, "короткое")};
  const PdfText text = renderToPdf(rows);
  const report::Box& box = report::kArchiveReportColumns[3].field;

  const std::optional<PdfWord> start = text.find(1, "первая строка примечания");
  ASSERT_TRUE(start);
  EXPECT_NEAR(start->top, kFirstDetailTop + box.top, kTolerance);
  for (const PdfWord& word : text.onPage(1)) {
    if (word.top < kFirstDetailTop || word.top >= kFirstDetailTop + report::kDetailBandHeight) continue;
    SCOPED_TRACE(word.text);
    EXPECT_LT(word.bottom, kFirstDetailTop + box.top + box.height);
    if (word.left >= kMargin + box.left - kTolerance) {
      EXPECT_LE(word.right, kMargin + box.left + box.width + kTolerance);
    }
  }
  EXPECT_FALSE(text.find(1, "третья"));
  EXPECT_FALSE(text.find(1, "тоже"));
  expectDetailLine(text, 1, rows[1], kFirstDetailTop + report::kDetailBandHeight);
}

TEST(ArchiveReport, AnEmptyTableGivesOnePageWithTheTitleAndTheColumnHeader) {
  const PdfText text = renderToPdf({});
  ASSERT_EQ(text.pages, 1);
  EXPECT_TRUE(text.find(1, "КОРСИ-7"));
  expectColumnHeader(text, 1, kMargin + report::kTitleBandHeight);
  EXPECT_EQ(text.words.size(), 1u + 1u + 1u + 3u + 1u);  // the title and the captions' words
}

struct FieldsCase {
  ArchiveRow row;
  std::array<const char*, 4> texts;
};

TEST(ArchiveReport, PrintsTheFieldsAsTheGridShowsThem) {
  ArchiveRow midnight = row(7, "под краской");
  midnight.date = korsi::DateTime{2009, 3, 10, 0, 0, 0};
  midnight.h = 1.23456;
  const FieldsCase cases[] = {
      {row(12), {"12", "09.03.2009 6:22:12", "1,500", ""}},
      {midnight, {"7", "10.03.2009", "1,235", "под краской"}},
      {ArchiveRow{}, {"", "", "", ""}},
  };
  for (const FieldsCase& c : cases) {
    const std::array<QString, 4> fields = report::reportFields(c.row);
    for (std::size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(fields[i].toStdString(), c.texts[i]);
  }
}

}  // namespace
