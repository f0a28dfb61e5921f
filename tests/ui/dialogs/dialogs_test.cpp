#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <memory>
#include <tuple>

#include "tests/support/qt_helpers.h"
#include "ui/dialogs/about_window.h"
#include "ui/main_window/archive_grid_editing.h"
#include "ui/dialogs/dialog_fit.h"
#include "ui/dialogs/number_dialog.h"
#include "ui/dialogs/range_dialog.h"

namespace {

using korsi::test::typeText;

// The three edits that take measurement numbers.
struct NumberEdit {
  const char* name;
  std::function<QLineEdit*(korsi::TRangeForm1&, korsi::TNumForm1&)> edit;
};

std::ostream& operator<<(std::ostream& out, const NumberEdit& e) { return out << e.name; }

class KeyFilter : public ::testing::TestWithParam<NumberEdit> {
 protected:
  QLineEdit* edit() { return GetParam().edit(range, number); }
  QString typed(const QString& keys) {
    edit()->clear();
    typeText(edit(), keys);
    return edit()->text();
  }

  korsi::TRangeForm1 range;
  korsi::TNumForm1 number;
};

TEST_P(KeyFilter, DropsLettersAndLetsEverythingElseThrough) {
  EXPECT_EQ(edit()->text(), "1");  // as made
  EXPECT_EQ(typed("12a3"), "123");
  EXPECT_EQ(typed("-5"), "-5");
  EXPECT_EQ(typed("1.5"), "1.5");
  EXPECT_EQ(typed("1 2"), "1 2");
  EXPECT_EQ(typed("+7,"), "+7,");
  EXPECT_EQ(typed(QStringLiteral("4жZЁ5")), "45");  // Cyrillic and capitals too

  korsi::test::pressKey(edit(), Qt::Key_Backspace);
  EXPECT_EQ(edit()->text(), "4");
  edit()->clear();
  edit()->insert(QStringLiteral("1a"));  // pasted text is not filtered
  EXPECT_EQ(edit()->text(), "1a");
}

INSTANTIATE_TEST_SUITE_P(
    Edits, KeyFilter,
    ::testing::Values(NumberEdit{"RangeFrom", [](auto& r, auto&) { return r.Edit1; }},
                      NumberEdit{"RangeTo", [](auto& r, auto&) { return r.Edit2; }},
                      NumberEdit{"Number", [](auto&, auto& n) { return n.Edit1; }}),
    [](const auto& info) { return std::string(info.param.name); });

// Shows a dialog without blocking and waits until it is the active window.
void showActive(QDialog& dialog) {
  dialog.open();
  dialog.activateWindow();
  ASSERT_TRUE(korsi::test::waitForWindowActive(&dialog));
}

void press(QDialog& dialog, Qt::Key key) { korsi::test::pressKey(dialog.focusWidget(), key); }

TEST(RangeDialog, LooksAsDesigned) {
  korsi::TRangeForm1 range;
  EXPECT_EQ(range.windowTitle().toStdString(), "Диапозон");
  EXPECT_EQ(range.height(), 64);
  EXPECT_GE(range.width(), 163);
  EXPECT_EQ(range.Label1->text().toStdString(), "с");
  EXPECT_EQ(range.Label2->text().toStdString(), "по");
  EXPECT_EQ(range.Button1->text().toStdString(), "OK");
  EXPECT_EQ(range.Button2->text().toStdString(), "Отмена");
  // Widened for the title, the contents keep their places to one another.
  const int shift = range.Edit1->x() - 20;
  EXPECT_EQ(range.Edit1->geometry(), QRect(20 + shift, 8, 53, 21));
  EXPECT_EQ(range.Edit2->geometry(), QRect(100 + shift, 8, 53, 21));
  EXPECT_EQ(range.Button2->geometry(), QRect(84 + shift, 36, 75, 25));
  // As far from the right edge as from the left.
  EXPECT_NEAR(range.width() - (range.Button2->x() + range.Button2->width()), range.Button1->x(), 1);
}

TEST(RangeDialog, OpensInTheFirstEditAndOnlyButtonsAnswerEnter) {
  korsi::TRangeForm1 range;
  showActive(range);
  EXPECT_EQ(range.focusWidget(), range.Edit1);

  press(range, Qt::Key_Return);  // Enter in an edit does not close it
  press(range, Qt::Key_Escape);  // nor does Escape
  EXPECT_TRUE(range.isVisible());

  press(range, Qt::Key_Tab);
  EXPECT_EQ(range.focusWidget(), range.Edit2);
  press(range, Qt::Key_Tab);
  EXPECT_EQ(range.focusWidget(), range.Button1);
  press(range, Qt::Key_Enter);  // Enter on the focused OK button
  EXPECT_FALSE(range.isVisible());
  EXPECT_EQ(range.result(), QDialog::Accepted);

  // Shown again: the focus is where it was left, the texts are kept.
  range.Edit2->setText(QStringLiteral("7"));
  showActive(range);
  EXPECT_EQ(range.focusWidget(), range.Button1);
  EXPECT_EQ(range.Edit2->text(), "7");
  press(range, Qt::Key_Tab);
  EXPECT_EQ(range.focusWidget(), range.Button2);
  press(range, Qt::Key_Return);
  EXPECT_EQ(range.result(), QDialog::Rejected);
  range.close();
}

TEST(NumberDialog, OpensOnCancelSoThatEnterAtOnceCancels) {
  korsi::TNumForm1 number;
  EXPECT_EQ(number.windowTitle().toStdString(), "Номер");
  EXPECT_EQ(number.height(), 64);
  EXPECT_GE(number.width(), 162);
  EXPECT_EQ(number.Label1->text().toStdString(), "№");
  EXPECT_EQ(number.Edit1->text(), "1");

  showActive(number);
  EXPECT_EQ(number.focusWidget(), number.Button2);
  press(number, Qt::Key_Return);
  EXPECT_FALSE(number.isVisible());
  EXPECT_EQ(number.result(), QDialog::Rejected);

  showActive(number);
  press(number, Qt::Key_Tab);
  EXPECT_EQ(number.focusWidget(), number.Button1);
  press(number, Qt::Key_Tab);
  EXPECT_EQ(number.focusWidget(), number.Edit1);
  press(number, Qt::Key_Escape);
  press(number, Qt::Key_Return);
  EXPECT_TRUE(number.isVisible());
  korsi::test::click(number.Button1);
  EXPECT_EQ(number.result(), QDialog::Accepted);

  // The title bar's close button gives Cancel.
  showActive(number);
  number.close();
  EXPECT_EQ(number.result(), QDialog::Rejected);
}

struct TypedNumberCase {
  const char* name;
  QString typed;
  bool refused;
};

void PrintTo(const TypedNumberCase& c, std::ostream* out) { *out << c.name; }

class TypedNumber : public ::testing::TestWithParam<std::tuple<NumberEdit, TypedNumberCase>> {};

// OK refuses a number that no measurement of the gauge can have, naming the
// largest the gauge holds, and the dialog stays with that number chosen;
// whatever else is typed is the read command's to judge.
TEST_P(TypedNumber, OkRefusesNumbersTheGaugeCannotHold) {
  const auto& [where, c] = GetParam();
  korsi::TRangeForm1 range;
  korsi::TNumForm1 number;
  QLineEdit* edit = where.edit(range, number);
  QDialog& dialog = *static_cast<QDialog*>(edit->window());
  QPushButton* ok = edit->window() == &range ? range.Button1 : number.Button1;
  showActive(dialog);
  edit->setText(c.typed);
  korsi::test::BoxCloser closer;
  korsi::test::click(ok);
  korsi::test::processUntil([&] { return !closer.boxes.empty() || !dialog.isVisible(); });
  if (c.refused) {
    ASSERT_EQ(closer.boxes.size(), 1u);
    EXPECT_EQ(closer.boxes[0].title.toStdString(), "Ошибка");
    EXPECT_EQ(closer.boxes[0].text, korsi::numberBeyondTheGaugeText(c.typed.trimmed()));
    EXPECT_TRUE(closer.boxes[0].text.contains(QStringLiteral("не больше 65535 измерений")));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.focusWidget(), edit);
    EXPECT_EQ(edit->selectedText(), edit->text());
    dialog.reject();
  } else {
    EXPECT_TRUE(closer.boxes.empty());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, TypedNumber,
    ::testing::Combine(::testing::Values(NumberEdit{"RangeFrom", [](auto& r, auto&) { return r.Edit1; }},
                                         NumberEdit{"RangeTo", [](auto& r, auto&) { return r.Edit2; }},
                                         NumberEdit{"Number", [](auto&, auto& n) { return n.Edit1; }}),
                       ::testing::Values(TypedNumberCase{"TheLargest", QStringLiteral("65535"), false},
                                         TypedNumberCase{"OneMore", QStringLiteral("65536"), true},
                                         TypedNumberCase{"BeyondAnInteger", QStringLiteral(" 99999999999 "), true},
                                         TypedNumberCase{"Negative", QStringLiteral("-1"), true},
                                         TypedNumberCase{"Zero", QStringLiteral("0"), false},
                                         TypedNumberCase{"NotANumber", QStringLiteral("1.5"), false})),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

TEST(AboutWindow, ShowsTheVersionEveryTimeAndOkCloses) {
  korsi::TForm2 about;
  EXPECT_EQ(about.windowTitle().toStdString(), "О программе");
  EXPECT_EQ(about.StaticText1->text().toStdString(), "КОРСИ-7");
  EXPECT_EQ(about.StaticText2->text().toStdString(), "Программа для передачи данных с приборов КОРСИ-7");
  EXPECT_EQ(about.Button1->text().toStdString(), "Ок");
  for (int showing = 0; showing < 2; ++showing) {
    about.StaticText3->setText(QString());
    showActive(about);
    EXPECT_EQ(about.StaticText3->text().toStdString(), "Версия 1.0");
    korsi::test::click(about.Button1);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
  }
  // Texts fit their labels.
  for (QLabel* label : {about.StaticText1, about.StaticText2, about.StaticText3}) {
    EXPECT_GE(label->width(), label->sizeHint().width()) << label->objectName().toStdString();
  }
}

// A title the window manager cannot fit is cut ("Ди… зон", "Подт… ение"):
// every dialog is at least as wide as its bold title, the window icon and
// the bar's buttons.
TEST(DialogTitles, EveryDialogIsWideEnoughForItsTitle) {
  const auto roomForTitle = [](const QWidget& dialog) {
    QFont bold = dialog.font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    return metrics.horizontalAdvance(dialog.windowTitle()) + 3 * metrics.height();
  };
  korsi::TRangeForm1 range;
  korsi::TNumForm1 number;
  for (QDialog* dialog : {static_cast<QDialog*>(&range), static_cast<QDialog*>(&number)}) {
    SCOPED_TRACE(dialog->windowTitle().toStdString());
    dialog->show();
    EXPECT_GE(dialog->width(), korsi::titleBarWidth(*dialog));
    EXPECT_GE(dialog->width(), roomForTitle(*dialog));
    dialog->hide();
  }

  struct Box {
    const char* caption;
    const char* text;
  };
  const Box boxes[] = {
      {korsi::kConfirmCaption, korsi::kConfirmDeleteRow},
      {"Ошибка", "Ошибка insert"},
      {"Внимание", "Устройство найдено и готово к работе"},
  };
  for (const Box& b : boxes) {
    SCOPED_TRACE(b.caption);
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(b.caption), QString::fromUtf8(b.text),
                    QMessageBox::Yes | QMessageBox::No);
    korsi::fitTitle(box);
    box.show();  // the box works out its size when shown
    EXPECT_GE(box.width(), korsi::titleBarWidth(box));
    EXPECT_GE(box.width(), roomForTitle(box));
    box.hide();
  }
}

}  // namespace
