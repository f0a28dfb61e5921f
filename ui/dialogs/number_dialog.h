#pragma once
// The number dialog: the one measurement number to read.

#include "ui/dialogs/dialog_keys.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace korsi {

class TNumForm1 : public NumberDialog {
  Q_OBJECT

 public:
  explicit TNumForm1(QWidget* parent = nullptr);

  // The text the caller converts after OK; starts with "1" and keeps what the
  // user left in it.
  QLabel* const Label1;
  QLineEdit* const Edit1;
  QPushButton* const Button1;  // "OK": result OK
  QPushButton* const Button2;  // "Отмена": result Cancel, first in tab order
};

}  // namespace korsi
