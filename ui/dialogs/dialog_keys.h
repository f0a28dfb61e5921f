#pragma once
// Keyboard behaviour shared by the small number dialogs.

#include <QDialog>
#include <QObject>
#include <QString>
#include <initializer_list>
#include <vector>

class QKeyEvent;
class QLineEdit;

namespace korsi {

// Discards typed letters (Latin, Cyrillic or any other script); digits,
// blanks, signs, punctuation and control keys such as Backspace reach the
// edit unchanged. Pasted text is not filtered: the caller checks the number.
class LetterFilter : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// The box when a number is typed that no measurement of the gauge can have
// ("%1" is the number as typed).
QString numberBeyondTheGaugeText(const QString& typed);

// A fixed-size dialog with neither a default nor a cancel button: Enter acts
// only on a focused push button, Escape does not close the dialog; the close
// button of the title bar gives the result Cancel. OK refuses a whole number
// that no measurement can have (above 65535, the largest the gauge holds,
// or below 0) with a box that says so, and the dialog stays; any other text
// is the caller's to judge.
class NumberDialog : public QDialog {
  Q_OBJECT

 public:
  explicit NumberDialog(QWidget* parent);

  void accept() override;

 protected:
  // The edits whose numbers OK checks, in tab order.
  void checkNumbersOf(std::initializer_list<QLineEdit*> edits) { checked_ = edits; }
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::vector<QLineEdit*> checked_;
};

}  // namespace korsi
