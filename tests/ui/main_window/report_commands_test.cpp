// "Предварительный просмотр" and "Печать" in the main window over a real
// archive table: the preview dialog, and printing when there is no printer.

#include <gtest/gtest.h>

#include <QAction>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/pdf_words.h"
#include "tests/support/qt_helpers.h"
#include "tests/ui/main_window/archive_window.h"
#include "ui/main_window/report_commands.h"

namespace {

using korsi::test::ArchiveWindow;

class ReportWindow : public ArchiveWindow {
 protected:
  ReportWindow() { std::filesystem::create_directory(out); }

  std::vector<std::string> outFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  std::filesystem::path out = dir.path() / "out";
  QString printer;  // the default printer's name; none
  std::deque<std::optional<QString>> pdfAnswers;
  int pdfAsked = 0;
  korsi::TRepForm report{*store, form,
                         korsi::TRepForm::Printing{[this] { return printer; },
                                                   [this]() -> std::optional<QString> {
                                                     ++pdfAsked;
                                                     std::optional<QString> answer;
                                                     if (!pdfAnswers.empty()) {
                                                       answer.swap(pdfAnswers.front());
                                                       pdfAnswers.pop_front();
                                                     }
                                                     return answer;
                                                   }}};
};

struct SeenPreview {
  QString title;
  int pages = -1;
  bool hasOwner = false;
};

// Looks at the preview dialog once it is up, then closes it.
SeenPreview seePreviewOf(const std::function<void()>& command) {
  SeenPreview seen;
  QTimer::singleShot(0, [&seen] {
    korsi::test::processUntil([] {
      auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
      return dialog != nullptr && dialog->findChild<QPrintPreviewWidget*>()->pageCount() > 0;
    });
    if (auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())) {
      seen.title = dialog->windowTitle();
      seen.pages = dialog->findChild<QPrintPreviewWidget*>()->pageCount();
      seen.hasOwner = dialog->parentWidget() != nullptr;
      dialog->reject();
    }
  });
  command();
  return seen;
}

TEST_F(ReportWindow, PreviewShowsTheReportsPagesUnderItsTitle) {
  // 51 lines on the first page.
  for (int i = 1; i <= 60; ++i) {
    ASSERT_TRUE(actions.addMeasurement(i, korsi::measurementDateText(9, 3, 9, 14, i / 60, i % 60), 0.125));
  }
  for (const char* command : {"N14", "PreviewButton"}) {
    SCOPED_TRACE(command);
    const SeenPreview seen = seePreviewOf([&] { trigger(command); });
    EXPECT_EQ(seen.title, "Просмотр данных архива");
    EXPECT_EQ(seen.pages, 2);
    EXPECT_TRUE(seen.hasOwner);
  }
  ASSERT_TRUE(store->clear());
  EXPECT_EQ(seePreviewOf([&] { report.preview(); }).pages, 1);  // the title and the header alone
}

TEST_F(ReportWindow, PrintWithoutAPrinterSaysSoAndSavesAPdfWhenTheUserWantsOne) {
#ifdef _WIN32
  GTEST_SKIP() << "the PDF is read back with pdftotext, which a test under Wine cannot start";
#endif
  addRows(3);
  const std::string path = (out / "report.pdf").string();
  pdfAnswers = {QString::fromStdString(path)};
  boxes.answer = QMessageBox::Yes;

  trigger("N15");

  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, "Печать");
  EXPECT_EQ(boxes.boxes[0].text, korsi::kNoPrinterText);
  EXPECT_EQ(boxes.boxes[0].icon, QMessageBox::Warning);
  EXPECT_EQ(pdfAsked, 1);
  const korsi::test::PdfText text = korsi::test::readPdfWords(path);
  ASSERT_EQ(text.error, "");
  EXPECT_EQ(text.pages, 1);
  EXPECT_TRUE(text.find(1, "КОРСИ-7"));
  EXPECT_TRUE(text.find(1, "09.03.2009 14:30:03"));
  EXPECT_EQ(outFiles(), std::vector<std::string>{"report.pdf"});
}

TEST_F(ReportWindow, PrintWithoutAPrinterDoesNothingMoreWhenTheUserDeclinesThePdf) {
  addRows(3);
  boxes.answer = QMessageBox::No;
  trigger("PrintButton");
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, korsi::kNoPrinterText);
  EXPECT_EQ(pdfAsked, 0);
  EXPECT_TRUE(outFiles().empty());
}

TEST_F(ReportWindow, APdfThatCannotBeWrittenNamesTheFileAndLeavesNothing) {
  addRows(3);
  const std::string path = (out / "missing" / "report.pdf").string();
  pdfAnswers = {QString::fromStdString(path)};
  boxes.answer = QMessageBox::Yes;
  report.print();
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].title, "Ошибка");
  EXPECT_EQ(boxes.boxes[1].icon, QMessageBox::Critical);
  EXPECT_TRUE(boxes.boxes[1].text.startsWith(
      QString::fromStdString("Не удалось сохранить отчёт в файл «" + path + "».\n")))
      << boxes.boxes[1].text.toStdString();
  EXPECT_TRUE(outFiles().empty());
}

TEST_F(ReportWindow, APrinterThatCannotPrintIsNamedInAnErrorBox) {
  addRows(3);
  printer = QStringLiteral("Нет такого принтера");
  report.print();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].title, "Ошибка");
  EXPECT_EQ(boxes.boxes[0].text, "Не удалось напечатать отчёт на принтере «Нет такого принтера».");
  EXPECT_EQ(pdfAsked, 0);
}

}  // namespace
