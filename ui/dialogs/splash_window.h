#pragma once
// The splash window: the program's picture for three seconds, then the main
// window.

#include <QTimer>
#include <QWidget>
#include <chrono>

class QLabel;

namespace korsi {

inline constexpr std::chrono::milliseconds kSplashTime{3000};

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);

  // The window that the timer opens (the main window).
  void setNextWindow(QWidget* window) { next_ = window; }
  void setSplashTime(std::chrono::milliseconds time) { Timer1->setInterval(time); }

  QLabel* const Image1;
  QTimer* const Timer1;  // disabled until the window is shown; fires once

 protected:
  void showEvent(QShowEvent* event) override;  // FormShow

 private:
  void Timer1Timer();

  QWidget* next_ = nullptr;
};

}  // namespace korsi
