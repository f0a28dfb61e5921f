#include "ui/dialogs/dialog_keys.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include "instrument/read_meashs_thread.h"
#include "ui/dialogs/error_message.h"
#include "ui/look.h"

namespace korsi {

namespace {

// A whole number as typed (sign and digits, blanks around) that no
// measurement can have; other text, numbers or not, passes.
bool beyondTheGauge(const QString& text) {
  static const QRegularExpression kWhole(QStringLiteral("^[+-]?[0-9]+$"));
  const QString typed = text.trimmed();
  if (!kWhole.match(typed).hasMatch()) return false;
  bool fits = false;
  const qlonglong n = typed.toLongLong(&fits, 10);
  return !fits || n < 0 || n > kLastMeasurementNumber;
}

}  // namespace

QString numberBeyondTheGaugeText(const QString& typed) {
  return QStringLiteral("В приборе нет измерения № %1: прибор хранит не больше %2 измерений, их номера от 1 до %2.")
      .arg(typed, QString::number(kLastMeasurementNumber));
}

void NumberDialog::accept() {
  for (QLineEdit* edit : checked_) {
    if (!beyondTheGauge(edit->text())) continue;
    showErrorMessage(numberBeyondTheGaugeText(edit->text().trimmed()), this);
    edit->setFocus();
    edit->selectAll();
    return;
  }
  QDialog::accept();
}

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
