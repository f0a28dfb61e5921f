#include "ui/dialogs/dialog_keys.h"

#include <QKeyEvent>
#include <QPushButton>

#include "ui/look.h"

namespace korsi {

bool LetterFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const QString text = static_cast<QKeyEvent*>(event)->text();
    for (const QChar c : text) {
      if (c.isLetter()) return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

NumberDialog::NumberDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setFont(windowFont());
}

void NumberDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (auto* button = qobject_cast<QPushButton*>(focusWidget())) button->click();
      event->accept();
      return;
    case Qt::Key_Escape:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

}  // namespace korsi
