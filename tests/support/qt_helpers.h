#pragma once
// Helpers for tests with real widgets.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace korsi::test {

// What a message box showed before the test closed it.
struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool hasParent = false;
};

// Closes every message box that comes up while it lives, remembering each.
// A box with a button `answer` (Yes, No) is closed by clicking that button.
class BoxCloser {
 public:
  BoxCloser() {
    timer_.setInterval(std::chrono::milliseconds(5));
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->parentWidget() != nullptr});
        if (QAbstractButton* button = box->button(answer)) {
          button->click();
        } else {
          box->accept();
        }
      }
    });
    timer_.start();
  }
  std::vector<SeenBox> boxes;
  QMessageBox::StandardButton answer = QMessageBox::NoButton;

 private:
  QTimer timer_;
};

// Runs the event loop until done() holds; gives up after many rounds so that
// a failing test ends (the test then fails on what it checks next).
inline bool processUntil(const std::function<bool()>& done, int rounds = 20000) {
  for (int i = 0; i < rounds; ++i) {
    if (done()) return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return done();
}

// Types text into a widget key by key, as the keyboard would: press and
// release events carrying each character, through the widget's filters.
inline void typeText(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    const int key = c.isLetter() ? c.toUpper().unicode() : c.unicode();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(widget, &release);
  }
}

// One key pressed and released on a widget, as the keyboard would send it.
inline void pressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QCoreApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers);
  QCoreApplication::sendEvent(widget, &release);
}

// A left click in the middle of a widget.
inline void click(QWidget* widget) {
  const QPointF at = QRectF(widget->rect()).center();
  const QPointF global = widget->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &release);
}

// Waits until the widget's window is the active one; false if it never becomes so.
inline bool waitForWindowActive(QWidget* widget) {
  return processUntil([widget] { return widget->isActiveWindow(); });
}

// The messages of the log file's lines, each as "LEVEL message".
inline std::vector<std::string> logMessages(const std::string& logText) {
  std::vector<std::string> out;
  std::istringstream in(logText);
  for (std::string line; std::getline(in, line);) {
    const auto level = line.find(" : ");
    const auto message = line.find(") : ");
    if (level == std::string::npos || message == std::string::npos) continue;
    out.push_back(line.substr(level + 3, 3) + " " + line.substr(message + 4));
  }
  return out;
}

// Whether an action is enabled in itself. Qt reports every hidden action as
// disabled; the state it returns to when shown is read by showing it briefly.
inline bool enabledInItself(QAction* action) {
  if (action->isVisible()) return action->isEnabled();
  action->setVisible(true);
  const bool enabled = action->isEnabled();
  action->setVisible(false);
  return enabled;
}

// Makes a folder the working directory while it lives.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const QString& path) : previous_(QDir::currentPath()) { QDir::setCurrent(path); }
  ~WorkingDirectory() { QDir::setCurrent(previous_); }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  QString previous_;
};

}  // namespace korsi::test
