// The program reads in Russian under an English system locale: numbers,
// dates and the sizes and dates of Qt's own file dialog. The test program
// makes its application object under such a locale, as a user's English
// desktop starts the program.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLocale>
#include <QRegularExpression>
#include <clocale>
#include <string>

#include "tests/support/qt_helpers.h"
#include "tests/support/tempdir.h"
#include "ui/application.h"

namespace {

TEST(RussianLocale, NumbersAndDatesReadInRussian) {
  EXPECT_EQ(QLocale().toString(QDate(2009, 3, 9), QStringLiteral("d MMMM yyyy")).toStdString(), "9 марта 2009");
  EXPECT_EQ(QLocale().toString(0.125, 'f', 3).toStdString(), "0,125");
  EXPECT_EQ(QLocale().toString(QDate(2009, 3, 9), QLocale::ShortFormat).toStdString(), "09.03.2009");
}

TEST(RussianLocale, TheFileDialogShowsSizesAndDatesInRussian) {
#ifdef _WIN32
  GTEST_SKIP() << "the dialog's Russian texts are Qt's translations, which lie beside the program, not the tests";
#endif
  korsi::test::TempDir dir;
  korsi::test::writeFile(dir.file("замеры.ks"), std::string(1536, 'x'));
  QFileDialog dialog(nullptr, QString(), QString::fromStdString(dir.path().string()));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  auto* model = dialog.findChild<QFileSystemModel*>();
  ASSERT_NE(model, nullptr);
  const QModelIndex file = model->index(QString::fromStdString(dir.file("замеры.ks")));
  ASSERT_TRUE(korsi::test::processUntil([&] { return !model->index(file.row(), 1, file.parent()).data().toString().isEmpty(); }));

  const QString size = model->index(file.row(), 1, file.parent()).data().toString();
  EXPECT_EQ(size.toStdString(), QLocale(QLocale::Russian).formattedDataSize(1536).toStdString());
  EXPECT_TRUE(size.startsWith(QStringLiteral("1,5"))) << size.toStdString();
  const QString date = model->index(file.row(), 3, file.parent()).data().toString();
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d{1,2}:\\d\\d$")).match(date).hasMatch())
      << date.toStdString();
}

// The C library and the programs started from this one keep the user's locale.
TEST(RussianLocale, TheUsersOwnLocaleSettingIsKept) {
  EXPECT_FALSE(qEnvironmentVariableIsSet("LC_ALL"));
  EXPECT_EQ(qgetenv("LANG"), QByteArray("en_US.UTF-8"));
  EXPECT_EQ(std::string(std::setlocale(LC_TIME, nullptr)).find("ru_RU"), std::string::npos);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("LANG", "en_US.UTF-8");
  for (const char* name : {"LC_ALL", "LC_TIME", "LC_NUMERIC", "LANGUAGE"}) qunsetenv(name);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  korsi::KorsiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
