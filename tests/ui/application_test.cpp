#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <set>
#include <stdexcept>
#include <thread>

#include "services/error_box.h"
#include "tests/support/qt_helpers.h"
#include "ui/application.h"

namespace {

korsi::KorsiApplication& app() { return *static_cast<korsi::KorsiApplication*>(QCoreApplication::instance()); }

// Restores the previous error-box hook when a test ends.
class MessageBoxHook : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = korsi::setErrorBoxHook({});
    korsi::installMessageBoxHook();
  }
  void TearDown() override { korsi::setErrorBoxHook(std::move(previous_)); }

 private:
  korsi::ErrorBoxHook previous_;
};

TEST_F(MessageBoxHook, ShowsOwnerlessBoxesWithTheirIcon) {
  korsi::test::BoxCloser closer;
  korsi::showErrorBox("Не могу открыть файл конфига на чтение");
  korsi::showWarningBox("Скорость порта не поддерживается", "Внимание");
  ASSERT_EQ(closer.boxes.size(), 2u);
  EXPECT_EQ(closer.boxes[0].title.toStdString(), "Ошибка");
  EXPECT_EQ(closer.boxes[0].text.toStdString(), "Не могу открыть файл конфига на чтение");
  EXPECT_EQ(closer.boxes[0].icon, QMessageBox::Critical);
  EXPECT_FALSE(closer.boxes[0].hasParent);
  EXPECT_EQ(closer.boxes[1].title.toStdString(), "Внимание");
  EXPECT_EQ(closer.boxes[1].icon, QMessageBox::Warning);
}

TEST_F(MessageBoxHook, ABoxAskedForFromAnotherThreadIsShownOnTheUserInterfaceThread) {
  korsi::test::BoxCloser closer;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    korsi::showErrorBox("Сбой при передаче данных. Попробуйте перезапустить программу.");
    returned = true;
  });
  EXPECT_TRUE(korsi::test::processUntil([&] { return returned.load(); }));
  worker.join();
  ASSERT_EQ(closer.boxes.size(), 1u);
  EXPECT_EQ(closer.boxes[0].text.toStdString(), "Сбой при передаче данных. Попробуйте перезапустить программу.");
}

TEST(QtTranslations, StandardButtonsReadInRussian) {
#ifdef _WIN32
  GTEST_SKIP() << "Qt's translations lie beside the program (translations, qt.conf), not beside the test programs";
#endif
  ASSERT_TRUE(korsi::loadQtTranslations(app()));
  QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Yes | QDialogButtonBox::No);
  auto text = [&](QDialogButtonBox::StandardButton which) {
    return buttons.button(which)->text().remove(QLatin1Char('&')).toStdString();
  };
  EXPECT_EQ(text(QDialogButtonBox::Cancel), "Отмена");
  EXPECT_EQ(text(QDialogButtonBox::Yes), "Да");
  EXPECT_EQ(text(QDialogButtonBox::No), "Нет");
}

// An error that leaves an event handler is shown, and the program goes on.
class Throwing : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) throw std::runtime_error("Файл не найден");
    if (event->type() == QEvent::User + 1) throw 42;
    if (event->type() == QEvent::User + 2) {
      ++handled;
      return true;
    }
    return QObject::event(event);
  }
  int handled = 0;
};

TEST(StandardErrorDisplay, ShowsTheErrorUnderTheTitleAndTheProgramGoesOn) {
  app().setTitle(QString::fromUtf8(korsi::kApplicationTitle));
  korsi::test::BoxCloser closer;
  Throwing target;
  QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
  QCoreApplication::postEvent(&target, new QEvent(static_cast<QEvent::Type>(QEvent::User + 1)));
  QCoreApplication::postEvent(&target, new QEvent(static_cast<QEvent::Type>(QEvent::User + 2)));
  EXPECT_TRUE(korsi::test::processUntil([&] { return target.handled == 1; }));
  // The second error comes while the first box is up, so it may be closed first.
  std::multiset<std::string> texts;
  for (const auto& box : closer.boxes) {
    texts.insert(box.text.toStdString());
    EXPECT_EQ(box.title.toStdString(), "Толщиномер покрытий КОРСИ-7");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
  }
  EXPECT_EQ(texts, (std::multiset<std::string>{"Файл не найден", ""}));  // "" for an error without a message
}

}  // namespace
