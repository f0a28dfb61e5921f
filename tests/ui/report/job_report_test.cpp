// The report of an inspection job drawn into a PDF file and read back with
// poppler's pdftotext: one summary line per area with its verdict, each area
// on pages of its own with its rule, and every page numbered "стр. N из M".

#include "ui/report/job_report.h"

#include <gtest/gtest.h>

#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <vector>
#include <string>

#include "tests/support/pdf_words.h"
#include "tests/support/tempdir.h"
#include "ui/report/page_canvas.h"

namespace {

using korsi::test::PdfText;
namespace job = korsi::job;
namespace in = korsi::inspection;
namespace report = korsi::report;

// ISO 19840 NDFT 100 µm: "Палуба" passes, "Борт" has 70 µm, "Трюм" holds
// 400 readings (pages of them) by IMO PSPC 90/10, "Люк" has no readings.
job::InspectionJob fourAreas() {
  job::InspectionJob j;
  j.header.object = "Баржа 12";
  j.header.inspector = "Иванов И. И.";
  j.header.nominal = 100.0;
  j.header.maximum = 300.0;
  std::int32_t num = 0;
  for (double um : {110, 120, 105, 130, 100, 110, 120, 70, 130, 100}) {
    j.readings.push_back({++num, std::nullopt, um / 1000.0, std::nullopt});
  }
  for (int i = 0; i < 400; ++i) j.readings.push_back({++num, std::nullopt, (110 + i % 17) / 1000.0, std::nullopt});
  j.areas.push_back({"Палуба", korsi::inspection::squareMetresSurface(1.0), job::parseNumberRanges("1-5").ranges, {}, {}});
  j.areas.push_back({"Борт", std::nullopt, job::parseNumberRanges("6-10").ranges, {}, {}});
  j.areas.push_back({"Трюм", std::nullopt, job::parseNumberRanges("11-410").ranges, {}, {}});
  j.areas.back().overrides.rule = job::JobRule::Pspc9010;
  j.areas.push_back({"Люк", std::nullopt, job::parseNumberRanges("500-510").ranges, {}, {}});
  return j;
}

PdfText render(const job::InspectionJob& j, int& pages) {
  korsi::test::TempDir dir;
  const std::string path = dir.file("job.pdf");
  {
    QPdfWriter pdf(QString::fromStdString(path));
    pdf.setResolution(600);
    report::setUpReportPage(pdf);
    pages = report::renderJobReport(pdf, {j, in::judgeJob(j), QDateTime(QDate(2026, 12, 11), QTime(9, 30))});
  }
  return korsi::test::readPdfWords(path);
}

// A reading's group in the table of readings: the words on its line from its
// number on, within the group's width, left to right.
std::string group(const PdfText& pdf, int page, const std::string& number) {
  const auto start = pdf.find(page, number);
  if (!start) return "not on page " + std::to_string(page);
  std::vector<korsi::test::PdfWord> line;
  for (const auto& w : pdf.words) {
    if (w.page == page && std::abs(w.top - start->top) < 1.0 && w.left >= start->left - 0.1 &&
        w.left < start->left + 45.0) {
      line.push_back(w);
    }
  }
  std::sort(line.begin(), line.end(), [](const auto& a, const auto& b) { return a.left < b.left; });
  std::string text;
  for (const auto& w : line) text += (text.empty() ? "" : " ") + w.text;
  return text;
}

TEST(JobReport, SummaryLinePerAreaAndNumberedPages) {
  int pages = 0;
  const PdfText pdf = render(fourAreas(), pages);
  ASSERT_TRUE(pdf.error.empty()) << pdf.error;
  ASSERT_EQ(pdf.pages, pages);
  ASSERT_GE(pages, 6);  // the summary, four areas, and the hold's readings over more than one page

  // One line of the summary per area, its figures and verdict on the first page.
  struct Line {
    const char* start;
    const char* verdict;
  };
  for (const Line& line : {Line{"Палуба 1-5 ISO 19840 5 113,0 100,0 130,0", "соответствует"},
                           Line{"Борт 6-10 ISO 19840 5 106,0 70,0 130,0", "не соответствует"},
                           Line{"Трюм 11-410 IMO PSPC 90/10 400", "соответствует"},
                           Line{"Люк 500-510 ISO 19840 0", "нет вердикта"}}) {
    SCOPED_TRACE(line.start);
    const auto start = pdf.find(1, line.start);
    ASSERT_TRUE(start) << [&] {
      std::string words;
      for (const auto& w : pdf.words) words += w.page == 1 ? w.text + " " : "";
      return words;
    }();
    // The verdict on the same line, at the right.
    bool found = false;
    for (std::size_t i = 0; i < pdf.words.size() && !found; ++i) {
      const auto& w = pdf.words[i];
      if (w.page != 1 || std::abs(w.top - start->top) > 1.0 || w.left < 150.0) continue;
      std::string rest;
      for (std::size_t k = i; k < pdf.words.size() && std::abs(pdf.words[k].top - start->top) <= 1.0; ++k) {
        rest += (rest.empty() ? "" : " ") + pdf.words[k].text;
      }
      found = rest == line.verdict;
    }
    EXPECT_TRUE(found);
  }
  // "Борт" fails: the job fails, though "Люк" has no verdict.
  EXPECT_TRUE(pdf.find(1, "Итог проверки: Не все зоны соответствуют"));

  // Every page says its number and the count, at its foot.
  for (int page = 1; page <= pages; ++page) {
    SCOPED_TRACE(page);
    const auto number = pdf.find(page, "стр. " + std::to_string(page) + " из " + std::to_string(pages));
    ASSERT_TRUE(number);
    EXPECT_GT(number->top, 270.0);
  }
  // Each area opens a page with its rule's edition; the last page signs.
  EXPECT_TRUE(pdf.find(2, "Зона 1 «Палуба», замеры 1-5"));
  EXPECT_TRUE(pdf.find(2, "Правило: ISO 19840:2012"));
  EXPECT_EQ(group(pdf, 3, "№ 8"), "№ 8 70,0 ✗");
  EXPECT_TRUE(pdf.find(4, "Правило: IMO PSPC (MSC.215(82), 2006)"));
  EXPECT_TRUE(pdf.find(pages, "Нет вердикта: В таблице нет замеров с номерами 500-510"));
  EXPECT_TRUE(pdf.find(pages, "Контроль провёл:"));
  EXPECT_EQ(group(pdf, pages - 1, "№ 410"), "№ 410 118,0");
}

}  // namespace
