#include "ui/main_window/worker_wait.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <chrono>
#include <thread>

#include "instrument/worker.h"

namespace korsi {

namespace {

bool isUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
      return true;
    default:
      return false;
  }
}

// While it lives, drops the user's input to every window but the answering
// one and a modal box (with its own popups) that is up.
class InputGate final : public QObject {
 public:
  explicit InputGate(const QWidget* answering) : answering_(answering) {
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~InputGate() override { QCoreApplication::instance()->removeEventFilter(this); }
  InputGate(const InputGate&) = delete;
  InputGate& operator=(const InputGate&) = delete;

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override {
    if (!isUserInput(event->type())) return false;
    if (const auto* widget = qobject_cast<const QWidget*>(receiver)) return !answers(widget);
    // A menu item's key reaches its action: a command, dropped. The input a
    // native window receives first passes on to its widgets, judged above.
    return receiver->inherits("QAction");
  }

 private:
  bool answers(const QWidget* widget) const {
    const QWidget* window = widget->window();
    if (answering_ && window == answering_->window()) return true;
    // A popup (a combo box's list, a menu) belongs to the window that opened it.
    if (window->windowType() == Qt::Popup && window->parentWidget() != nullptr) {
      window = window->parentWidget()->window();
    }
    const QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr && window == modal->window();
  }

  QPointer<const QWidget> answering_;
};

template <class Done>
void deliverEventsUntil(Done done) {
  while (!done()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

void waitForStoppedWorkers(CurrentWorkers& workers, const QWidget* answering) {
  if (workers.anyStoppedRunning()) {
    InputGate gate(answering);
    deliverEventsUntil([&] { return !workers.anyStoppedRunning(); });
  }
  workers.waitForStopped();
}

void waitForIdleWorkers(CurrentWorkers& workers, const QWidget* answering) {
  if (workers.anyRunning()) {
    InputGate gate(answering);
    deliverEventsUntil([&] { return !workers.anyRunning(); });
  }
  workers.waitForStopped();
}

void finishWorkers(CurrentWorkers& workers) {
  workers.requestStopAll();
  deliverEventsUntil([&] { return !workers.anyRunning(); });
  workers.stopAndWaitAll();
}

}  // namespace korsi
