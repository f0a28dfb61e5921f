#pragma once
// The about window: the program's name and version.

#include <QDialog>

class QLabel;
class QPushButton;

namespace korsi {

class TForm2 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm2(QWidget* parent = nullptr);

  QLabel* const StaticText1;   // "КОРСИ-7"
  QLabel* const StaticText3;   // the version, set each time the window is shown
  QLabel* const StaticText2;   // what the program does
  QPushButton* const Button1;  // "Ок": result OK

 protected:
  void showEvent(QShowEvent* event) override;  // FormShow
};

}  // namespace korsi
