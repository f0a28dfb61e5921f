#include "ui/dialogs/range_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/dialogs/dialog_fit.h"

namespace korsi {

// Widgets are made in tab order: Edit1, Edit2, Button1, Button2.
TRangeForm1::TRangeForm1(QWidget* parent)
    : NumberDialog(parent),
      Label1(new QLabel(QStringLiteral("с"), this)),
      Edit1(new QLineEdit(QStringLiteral("1"), this)),
      Label2(new QLabel(QStringLiteral("по"), this)),
      Edit2(new QLineEdit(QStringLiteral("1"), this)),
      Button1(new QPushButton(QStringLiteral("OK"), this)),
      Button2(new QPushButton(QStringLiteral("Отмена"), this)) {
  setObjectName(QStringLiteral("RangeForm1"));
  setWindowTitle(QStringLiteral("Диапозон"));
  setFixedSize(163, 64);

  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(8, 12);
  Label1->adjustSize();
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setGeometry(20, 8, 53, 21);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->move(80, 12);
  Label2->adjustSize();
  Edit2->setObjectName(QStringLiteral("Edit2"));
  Edit2->setGeometry(100, 8, 53, 21);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(4, 36, 75, 25);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(84, 36, 75, 25);

  auto* letters = new LetterFilter(this);  // Edit1KeyPress, Edit2KeyPress
  Edit1->installEventFilter(letters);
  Edit2->installEventFilter(letters);
  checkNumbersOf({Edit1, Edit2});

  for (QPushButton* button : {Button1, Button2}) button->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

  setTabOrder(Edit1, Edit2);
  setTabOrder(Edit2, Button1);
  setTabOrder(Button1, Button2);
  Edit1->setFocus();  // taken when first shown; later showings keep the last focus
  fitTitle(*this);
}

}  // namespace korsi
