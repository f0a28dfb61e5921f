#pragma once
// A scripted run of the whole program for tests that drive it as a program
// (korsi7 --scenario read-all, under Wine on a virtual display): once the
// main window is up it chooses "Найти устройство", closes the box that says
// the gauge is found, chooses "Весь архив" and waits until the grid holds
// every measurement the search counted. It then prints one line to the
// standard error, with the time the reading took:
//
//   korsi7: scenario: found COM200, read 500 of 500 measurements in 16.4 s, 32.8 ms each (1.03 x 32 ms)
//
// or "korsi7: scenario: failed: <why>" with the text of any box that came
// up. The program stays open, so a picture of it can be taken.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

namespace korsi {

class TMainForm;

class ReadAllScenario : public QObject {
  Q_OBJECT

 public:
  ReadAllScenario();
  // Given each window as it is made; the main window starts the run.
  void windowCreated(QWidget& window);

 private:
  enum class Step { WaitingForWindow, Searching, Reading, Done };
  void poll();
  void finish(const QString& line);

  QTimer timer_;
  QElapsedTimer reading_;
  TMainForm* main_ = nullptr;
  Step step_ = Step::WaitingForWindow;
  QString boxes_;
  int expected_ = -1;
  QString port_;
};

}  // namespace korsi
