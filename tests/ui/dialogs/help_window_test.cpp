#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTextBrowser>

#include "ui/dialogs/help_window.h"

namespace {

QString documentSource() {
  QFile file(QStringLiteral(":/help/korsi7_help.html"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

TEST(HelpWindow, ShowsTheCompiledInHelpWithItsKeySections) {
  korsi::HelpWindow help;
  EXPECT_EQ(help.windowTitle(), QStringLiteral("Справка"));
  const QString text = help.Text->toPlainText();
  for (const char* expected : {
           "Найти устройство", "Поиск устройства", "Устройство найдено и готово к работе", "Всего найдено",
           "Весь архив", "Диапазон измерений", "Одно измерение", "500", "Пожайлуста подождите...", "Отмена",
           "255", "Удалить строку", "Очистить таблицу", "Ctrl+Delete", ".ks", ".xml", ".xlsx",
           "Предварительный просмотр", "ftdi_sio", "COM33", "/dev/ttyUSB63", "COM97", "/dev/ttyACM0",
           "kestro.conf", "default_comport", "/dev/serial/by-id/", "dialout", "Permission denied",
           "sudo usermod -aG dialout $USER",
           "Зоны проверки", "Сохранить проверку…", "Открыть проверку…", ".kjob", "недостаточно измерений",
           "Сбой при передаче данных. Попробуйте перезапустить программу.", "Устройство не найдено",
           "Драйвер устройства не установлен", "программа закрывается", "Изменить можно любую ячейку",
           "Статистика и приёмка…", "ISO 19840", "IMO PSPC 90/10", "Опубликовать в архив компании",
           "Архив компании…", "company_archive"}) {
    EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
  }
  // Every cell can be typed into: the help must not say otherwise.
  EXPECT_FALSE(text.contains(QStringLiteral("только примечание")));
  EXPECT_FALSE(text.contains(QStringLiteral("их изменить нельзя")));
}

// A contents entry that leads nowhere would leave the reader where they are.
TEST(HelpWindow, EveryLinkInTheHelpLeadsToAPlaceInIt) {
  const QString source = documentSource();
  ASSERT_FALSE(source.isEmpty());
  QSet<QString> anchors;
  for (const auto& match : QRegularExpression(QStringLiteral("name=\"([^\"]+)\"")).globalMatch(source)) {
    anchors.insert(match.captured(1));
  }
  int links = 0;
  for (const auto& match : QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(source)) {
    ++links;
    EXPECT_TRUE(anchors.contains(match.captured(1))) << match.captured(1).toStdString();
  }
  EXPECT_GE(links, 13);
}

TEST(HelpWindow, OpensAgainAtTheTopAfterBeingClosed) {
  korsi::HelpWindow help;
  help.showHelp();
  help.Text->setSource(QUrl(QStringLiteral("#errors")));
  ASSERT_GT(help.Text->verticalScrollBar()->value(), 0);
  help.close();
  help.showHelp();
  EXPECT_TRUE(help.isVisible());
  EXPECT_FALSE(help.isModal());
  EXPECT_EQ(help.Text->verticalScrollBar()->value(), 0);
}

}  // namespace
