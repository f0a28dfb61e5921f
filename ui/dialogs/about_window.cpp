#include "ui/dialogs/about_window.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "korsi_version.h"
#include "ui/look.h"

namespace korsi {

namespace {
const QString kVersion = QStringLiteral("Версия " KORSI_VERSION);

void place(QLabel* label, int x, int y, int width, int height) {
  label->move(x, y);
  label->adjustSize();
  // Never smaller than designed, never cut: the label grows with its text.
  label->resize(std::max(width, label->width()), std::max(height, label->height()));
}
}  // namespace

TForm2::TForm2(QWidget* parent)
    : QDialog(parent),
      StaticText1(new QLabel(QStringLiteral("КОРСИ-7"), this)),
      StaticText3(new QLabel(kVersion, this)),
      StaticText2(new QLabel(QStringLiteral("Программа для передачи данных с приборов КОРСИ-7"), this)),
      Button1(new QPushButton(QStringLiteral("Ок"), this)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("О программе"));
  setFont(windowFont());
  resize(515, 158);  // 523 x 185 with a frame

  StaticText1->setObjectName(QStringLiteral("StaticText1"));
  StaticText1->setFont(windowFont(16, true));
  place(StaticText1, 12, 12, 88, 24);
  StaticText3->setObjectName(QStringLiteral("StaticText3"));
  StaticText3->setFont(windowFont(13));
  place(StaticText3, 12, 44, 71, 20);
  StaticText2->setObjectName(QStringLiteral("StaticText2"));
  StaticText2->setFont(windowFont(13));
  place(StaticText2, 12, 72, 364, 20);

  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(434, 116, 75, 25);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);  // Button1Click
}

void TForm2::showEvent(QShowEvent* event) {
  StaticText3->setText(kVersion);
  QDialog::showEvent(event);
}

}  // namespace korsi
