// Prints how long the spreadsheet export and the printed report take:
//   - the workbook of 65,535 rows (target: under 2 s);
//   - the report of 10,000 rows as a PDF file (target: under 5 s).
// Usage: export_bench [folder]; the files are written there and kept, or
// into a temporary folder that is removed afterwards.
#include <QGuiApplication>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "storage/export/archive_workbook.h"
#include "ui/report/archive_report.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The processor time the program has used, which a busy machine does not inflate.
double cpuSecondsSince(std::clock_t start) { return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC; }

std::vector<korsi::ArchiveRow> sampleRows(int count) {
  std::vector<korsi::ArchiveRow> rows;
  rows.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    korsi::ArchiveRow row;
    row.num = i + 1;
    row.date = korsi::DateTime{2009, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i * 7) % 60};
    row.h = 0.001 * (i % 5000) + static_cast<float>(0.0001 * i);
    if (i % 3 == 0) row.prim = "Примечание к измерению " + std::to_string(i);
    // Now and then a note longer than its box, which the report cuts.
    if (i % 7 == 0) row.prim = "Длинное примечание к измерению " + std::to_string(i) + ", которое не помещается в поле отчёта";
    rows.push_back(row);
  }
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  // The report draws on a PDF writer: no screen needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QTemporaryDir temporary;
  const std::filesystem::path folder = argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::path(temporary.path().toStdString());
  std::filesystem::create_directories(folder);

  constexpr int kExportRows = 65535;
  const std::vector<korsi::ArchiveRow> exportRows = sampleRows(kExportRows);
  const std::string workbook = (folder / "export_bench.xlsx").string();
  auto start = Clock::now();
  std::clock_t cpuStart = std::clock();
  const std::string error = korsi::writeArchiveWorkbook(
      workbook, {"№ измерения", "Дата/Время", "Толщина, мм", "Примечание"}, exportRows);
  const double exportSeconds = secondsSince(start);
  const double exportCpu = cpuSecondsSince(cpuStart);
  if (!error.empty()) {
    std::fprintf(stderr, "export failed: %s\n", error.c_str());
    return 1;
  }
  std::printf("export of %d rows to .xlsx: %.3f s (target < 2 s; processor %.3f s), %ju bytes\n", kExportRows,
              exportSeconds, exportCpu, static_cast<std::uintmax_t>(std::filesystem::file_size(workbook)));

  constexpr int kReportRows = 10000;
  const std::vector<korsi::ArchiveRow> reportRows = sampleRows(kReportRows);
  const QString pdfPath = QString::fromStdString((folder / "report_bench.pdf").string());
  start = Clock::now();
  cpuStart = std::clock();
  bool rendered = false;
  {
    QPdfWriter pdf(pdfPath);
    pdf.setResolution(1200);
    korsi::report::setUpReportPage(pdf);
    rendered = korsi::report::renderArchiveReport(pdf, reportRows);
  }
  const double reportSeconds = secondsSince(start);
  const double reportCpu = cpuSecondsSince(cpuStart);
  if (!rendered) {
    std::fprintf(stderr, "report failed\n");
    return 1;
  }
  std::printf("report of %d rows to PDF: %.3f s (target < 5 s; processor %.3f s), %ju bytes\n", kReportRows,
              reportSeconds, reportCpu, static_cast<std::uintmax_t>(std::filesystem::file_size(pdfPath.toStdString())));
  return 0;
}
