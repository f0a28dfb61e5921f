#include "ui/dialogs/number_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/dialogs/dialog_fit.h"

namespace korsi {

TNumForm1::TNumForm1(QWidget* parent)
    : NumberDialog(parent),
      Label1(new QLabel(QStringLiteral("№"), this)),
      Edit1(new QLineEdit(QStringLiteral("1"), this)),
      Button1(new QPushButton(QStringLiteral("OK"), this)),
      Button2(new QPushButton(QStringLiteral("Отмена"), this)) {
  setObjectName(QStringLiteral("NumForm1"));
  setWindowTitle(QStringLiteral("Номер"));
  setFixedSize(162, 64);

  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(8, 12);
  Label1->adjustSize();
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setGeometry(36, 8, 121, 21);
  Edit1->setLayoutDirection(Qt::LeftToRight);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(4, 36, 75, 25);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(84, 36, 75, 25);

  Edit1->installEventFilter(new LetterFilter(this));  // Edit1KeyPress
  checkNumbersOf({Edit1});

  for (QPushButton* button : {Button1, Button2}) button->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

  // Tab order: Button2 ("Отмена"), Button1, Edit1. The dialog therefore opens
  // with "Отмена" focused, and Enter pressed at once cancels.
  setTabOrder(Button2, Button1);
  setTabOrder(Button1, Edit1);
  Button2->setFocus();
  fitTitle(*this);
}

}  // namespace korsi
