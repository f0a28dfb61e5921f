#pragma once
// The range dialog: the first and the last measurement number to read.

#include "ui/dialogs/dialog_keys.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace korsi {

class TRangeForm1 : public NumberDialog {
  Q_OBJECT

 public:
  explicit TRangeForm1(QWidget* parent = nullptr);

  // Texts the caller converts after OK: Edit1 "с" (from), Edit2 "по" (to).
  // Both start with "1" and keep what the user left in them.
  QLabel* const Label1;
  QLineEdit* const Edit1;
  QLabel* const Label2;
  QLineEdit* const Edit2;
  QPushButton* const Button1;  // "OK": result OK
  QPushButton* const Button2;  // "Отмена": result Cancel
};

}  // namespace korsi
