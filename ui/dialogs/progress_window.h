#pragma once
// The progress window: shown while a worker talks to the gauge, with its
// percentage and Cancel, which stops the worker at once.

#include <QWidget>

class QProgressBar;
class QPushButton;

namespace korsi {

class CurrentWorkers;
class TMainForm;

class TProgressForm : public QWidget {
  Q_OBJECT

 public:
  TProgressForm(CurrentWorkers& workers, TMainForm& mainForm, QWidget* parent = nullptr);

  // The progress protocol of the workers, each run on the user-interface thread.
  // Shows the window, not modal; the gauge keeps its last value.
  void showProgress();
  // Sets the gauge; a value outside 0 to 100 is taken as the nearer end.
  void setProgress(int percent);
  // Hides the window when it is showing; otherwise nothing.
  void closeIfShowing();

  // Cancel: stops the current search and reading workers without waiting for
  // them, clears their references, gives the main window back the commands
  // their end would have given back, and hides the window.
  void Button1Click();

  QProgressBar* const ProgressBar1;
  QPushButton* const Button1;  // "Отмена"

 protected:
  // Only Cancel or the worker closes this window.
  void closeEvent(QCloseEvent* event) override;

 private:
  CurrentWorkers& workers_;
  TMainForm& mainForm_;
};

}  // namespace korsi
