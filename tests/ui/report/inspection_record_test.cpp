// The printed inspection record drawn into PDF files and read back with
// poppler's pdftotext: the rule, the entries, the verdict and every
// criterion with its figures, the failing readings over as many pages as
// they need, and the date and the signature line at the end.

#include "ui/report/inspection_record.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QPdfWriter>
#include <string>
#include <vector>

#include "tests/support/pdf_rows.h"
#include "tests/support/pdf_words.h"
#include "tests/support/tempdir.h"
#include "ui/report/page_canvas.h"

namespace {

using korsi::test::PdfText;
namespace in = korsi::inspection;
namespace report = korsi::report;

report::InspectionRecord recordOf(const std::vector<double>& mm, const in::Entries& entries) {
  const in::Assessment a = in::assess(mm, entries);
  EXPECT_TRUE(a.ok()) << a.refusal;
  report::InspectionRecord record;
  record.entries = entries;
  record.verdict = a.verdict;
  record.rows = QStringLiteral("все строки таблицы, %1").arg(mm.size());
  record.madeAt = QDateTime(QDate(2026, 12, 10), QTime(14, 5));
  for (const std::size_t i : a.verdict.failing) {
    record.failing.push_back({QString::number(i + 1), QStringLiteral("10.12.2026 9:00:05"),
                              QString::fromStdString(in::exactText(static_cast<double>(a.verdict.readings[i]),
                                                                   entries.unit)),
                              QStringLiteral("ниже 80 % NDFT")});
  }
  return record;
}

PdfText renderToPdf(const report::InspectionRecord& record) {
  korsi::test::TempDir dir;
  const std::string path = dir.file("record.pdf");
  {
    QPdfWriter pdf(QString::fromStdString(path));
    pdf.setResolution(600);
    report::setUpReportPage(pdf);
    EXPECT_TRUE(report::renderInspectionRecord(pdf, record));
  }
  return korsi::test::readPdfWords(path);
}

TEST(InspectionRecord, HoldsTheVerdictEveryCriterionAndTheSignatureLine) {
  // NDFT 120 µm, maximum 360: 90 µm under 80 %, 400 over the maximum.
  std::vector<double> mm{0.096, 0.144, 0.12, 0.12, 0.12, 0.12, 0.12, 0.12, 0.09, 0.4};
  const PdfText pdf = renderToPdf(recordOf(mm, {in::Rule::Iso19840, 120, 360.0, in::Roughness::None,
                                                in::Unit::Micrometre}));
  ASSERT_TRUE(pdf.error.empty()) << pdf.error;
  ASSERT_EQ(pdf.pages, 1);
  for (const char* phrase : {
           "Протокол контроля толщины покрытия",
           "Правило приёмки: ISO 19840",
           "Не соответствует ISO 19840: не выполнено (b), (d)",
           "120,0 мкм",
           "360,0 мкм",
           "Дата: 10.12.2026 14:05",
           "Контроль провёл:",
           "подпись",
       }) {
    EXPECT_TRUE(pdf.find(1, phrase)) << phrase;
  }
  // Each criterion on a line with its outcome and figures (long texts wrap
  // within their columns, so only the start of each is looked for).
  using ::testing::AllOf;
  using ::testing::HasSubstr;
  using ::testing::StartsWith;
  // In the label column at the left, not the verdict's "(b), (d)".
  const auto line = [&pdf](const char* label) { return korsi::test::pdfLineOf(pdf, 1, label, 25.0).value_or(""); };
  EXPECT_EQ(line("(a)"), "(a) Среднее не меньше NDFT выполнено среднее 145,0 мкм при NDFT 120,0 мкм");
  EXPECT_THAT(line("(b)"), AllOf(StartsWith("(b) Каждый замер не меньше"),
                                 HasSubstr("не выполнено 1 из 10 замеров ниже 80 % NDFT")));
  EXPECT_THAT(line("(c)"), AllOf(StartsWith("(c) Замеров от 80 %"), HasSubstr("выполнено 1 из 10 замеров (10,0 %)")));
  EXPECT_THAT(line("(d)"), AllOf(StartsWith("(d) Каждый замер не больше"),
                                 HasSubstr("не выполнено 1 из 10 замеров выше максимума 360,0 мкм")));
  EXPECT_TRUE(pdf.find(1, "1 из 10 замеров выше максимума"));
  EXPECT_TRUE(pdf.find(1, "Замеры, не прошедшие по отдельности: 2"));
  // The verdict stands above the criteria, the signature below everything.
  const auto verdict = pdf.find(1, "Не соответствует ISO 19840: не выполнено (b), (d)");
  const auto criterion = pdf.find(1, "Среднее не меньше NDFT");
  const auto signature = pdf.find(1, "Контроль провёл:");
  ASSERT_TRUE(verdict && criterion && signature);
  EXPECT_LT(verdict->bottom, criterion->top);
  EXPECT_LT(criterion->bottom, signature->top);
}

TEST(InspectionRecord, PassingCoatHasNoFailingReadings) {
  // Fine roughness takes 10 µm: 9 readings at NDFT 120 µm, one at 90 % of it.
  std::vector<double> mm{0.130, 0.130, 0.130, 0.130, 0.130, 0.130, 0.130, 0.130, 0.130, 0.118};
  const PdfText pdf = renderToPdf(recordOf(mm, {in::Rule::Pspc9010, 4.7244094488188974, std::nullopt,
                                                in::Roughness::Fine, in::Unit::Mil}));
  ASSERT_TRUE(pdf.error.empty()) << pdf.error;
  EXPECT_TRUE(pdf.find(1, "Правило приёмки: IMO PSPC 90/10"));
  EXPECT_TRUE(pdf.find(1, "Соответствует IMO PSPC 90/10"));
  EXPECT_TRUE(pdf.find(1, "Замеров, не прошедших по отдельности, нет."));
  EXPECT_TRUE(pdf.find(1, "Толщина, мил"));  // the histogram's axis
  EXPECT_TRUE(pdf.find(1, "не задана, сверху не проверялось"));  // no maximum, said twice
  EXPECT_TRUE(pdf.find(1, "Максимум не задан: толщина сверху не проверялась."));
  EXPECT_TRUE(pdf.find(1, "мелкая, из каждого замера вычтено 0,3937 мил"));
}

TEST(InspectionRecord, SspcSaysTheLevelItApplied) {
  // Spots of 80 µm (80 % of the minimum 100 µm) and 4 x 110 µm against a maximum of 200 µm.
  in::Entries e{in::Rule::SspcPa2, 100.0, 200.0, in::Roughness::None, in::Unit::Micrometre};
  e.surface = in::squareMetresSurface(25.0);
  const PdfText pdf = renderToPdf(recordOf(
      {0.070, 0.080, 0.090, 0.100, 0.110, 0.120, 0.100, 0.110, 0.120, 0.100, 0.110, 0.120, 0.100, 0.110, 0.120}, e));
  ASSERT_TRUE(pdf.error.empty()) << pdf.error;
  for (const char* phrase : {
           "Правило приёмки: SSPC-PA 2, уровень 3 (пятна от 80 % минимума до 120 % максимума)",
           "Минимальная толщина:",
           "SSPC-PA 2, уровень 3: недостаточно измерений — для 25 м² нужно 3 зоны, дана 1",
           "Пятна по 3 замера (среднее каждого), мкм: 80,0; 110,0; 110,0; 110,0; 110,0",
           "Выборка: 5 пятен по 3 замера; для 25 м² нужно 3 зоны, дана 1",
           "пятно 80 % минимума",  // the histogram's lines: the spots' limits alone
           "пятно 120 % максимума",
       }) {
    EXPECT_TRUE(pdf.find(1, phrase)) << phrase;
  }
  EXPECT_FALSE(pdf.find(1, "NDFT"));
}

TEST(InspectionRecord, AMeanJustUnderNdftIsNotPrintedAsNdft) {
  const PdfText pdf = renderToPdf(recordOf({0.11996, 0.11996, 0.11996}, {in::Rule::Iso19840, 120, std::nullopt,
                                                                         in::Roughness::None, in::Unit::Micrometre}));
  ASSERT_TRUE(pdf.error.empty()) << pdf.error;
  EXPECT_TRUE(pdf.find(1, "Не соответствует ISO 19840: не выполнено (a), (c)"));
  const auto mean = korsi::test::pdfLineOf(pdf, 1, "Среднее:");
  ASSERT_TRUE(mean);
  EXPECT_THAT(*mean, ::testing::HasSubstr("Среднее: 119,96 мкм"));
}

TEST(InspectionRecord, ManyFailingReadingsRunOntoMorePagesWithTheirCaptions) {
  std::vector<double> mm(120, 0.05);  // every one under 80 % of NDFT 120
  const PdfText pdf = renderToPdf(recordOf(mm, {in::Rule::Iso19840, 120, std::nullopt, in::Roughness::None,
                                                in::Unit::Micrometre}));
  ASSERT_TRUE(pdf.error.empty()) << pdf.error;
  ASSERT_GE(pdf.pages, 3);
  for (int page = 2; page <= pdf.pages; ++page) {
    EXPECT_TRUE(pdf.find(page, "Замеры, не прошедшие по отдельности: 120")) << page;
    EXPECT_TRUE(pdf.find(page, "№ измерения")) << page;
  }
  EXPECT_TRUE(pdf.find(pdf.pages, "Контроль провёл:"));
  // Every failing reading is listed on a line of its own, its number in the
  // number column (a number elsewhere is the histogram's).
  std::vector<std::string> listed;
  for (const auto& word : pdf.words) {
    if (word.left > 35.0 || word.text.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string line = korsi::test::pdfLineAt(pdf, word.page, (word.top + word.bottom) / 2);
    if (line.find("10.12.2026") != std::string::npos && line.starts_with(word.text + " ")) listed.push_back(line);
  }
  ASSERT_EQ(listed.size(), 120u);
  for (int n = 1; n <= 120; ++n) {
    EXPECT_EQ(listed[static_cast<std::size_t>(n - 1)], std::to_string(n) + " 10.12.2026 9:00:05 50,0 ниже 80 % NDFT");
  }
}

}  // namespace
