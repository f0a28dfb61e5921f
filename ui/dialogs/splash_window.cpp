#include "ui/dialogs/splash_window.h"

#include <QLabel>
#include <QShowEvent>

#include "ui/look.h"

namespace korsi {

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      Image1(new QLabel(this)),
      Timer1(new QTimer(this)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Form1"));
  setFont(windowFont());
  setFixedSize(400, 77);

  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(0, 0, 401, 81);
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1->setPixmap(splashPicture());

  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(kSplashTime);
  connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
  centreOnScreen(*this);
}

void TForm1::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) Timer1->start();
  QWidget::showEvent(event);
}

void TForm1::Timer1Timer() {
  Timer1->stop();
  if (next_ != nullptr) next_->show();
  // A borderless picture left beneath the main window could be neither moved
  // nor closed once the main window is made smaller, so it goes now.
  hide();
}

}  // namespace korsi
