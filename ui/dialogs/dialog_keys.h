#pragma once
// Keyboard behaviour shared by the small number dialogs.

#include <QDialog>
#include <QObject>

class QKeyEvent;

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

// A fixed-size dialog with neither a default nor a cancel button: Enter acts
// only on a focused push button, Escape does not close the dialog; the close
// button of the title bar gives the result Cancel.
class NumberDialog : public QDialog {
  Q_OBJECT

 public:
  explicit NumberDialog(QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace korsi
