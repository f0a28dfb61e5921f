#include "ui/dialogs/progress_window.h"

#include <QCloseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "instrument/worker.h"
#include "services/logs.h"
#include "ui/main_window/command_groups.h"
#include "ui/main_window/main_window.h"
#include "ui/look.h"

namespace korsi {

TProgressForm::TProgressForm(CurrentWorkers& workers, TMainForm& mainForm, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      ProgressBar1(new QProgressBar(this)),
      Button1(new QPushButton(QStringLiteral("Отмена"), this)),
      workers_(workers),
      mainForm_(mainForm) {
  setObjectName(QStringLiteral("ProgressForm"));
  setWindowTitle(QStringLiteral("Пожайлуста подождите..."));
  setFont(windowFont());
  // One pixel wider and taller than the window was drawn, so that the right
  // and bottom edges of the button are not cut off.
  setFixedSize(311, 21);

  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setGeometry(0, 0, 233, 21);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(true);
  ProgressBar1->setAlignment(Qt::AlignCenter);
  ProgressBar1->setFocusPolicy(Qt::NoFocus);
  ProgressBar1->setStyleSheet(QStringLiteral(
      "QProgressBar { border: 1px solid #7a7a7a; background: white; color: black; text-align: center; }"
      "QProgressBar::chunk { background: #87ceeb; }"));

  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(236, 0, 75, 21);
  connect(Button1, &QPushButton::clicked, this, &TProgressForm::Button1Click);
}

void TProgressForm::showProgress() {
  if (!isVisible()) centreOnScreen(*this);
  show();
  raise();
}

void TProgressForm::setProgress(int percent) { ProgressBar1->setValue(std::clamp(percent, 0, 100)); }

void TProgressForm::closeIfShowing() {
  if (isVisible()) hide();
}

void TProgressForm::Button1Click() {
  LOG_ERR("Нажата кнопка отмена");
  if (workers_.stopSearch()) {
    LOG_ERR("DeviceFoundThread terminate");
    // What the search's own end would have given back, without the read
    // commands: the gauge has not been found.
    mainForm_.setCommandsEnabled(commandNames(CommandGroup::Search), true);
  }
  if (workers_.stopReading()) {
    LOG_ERR("ReadMeashsThread terminate");
    // What the reading's own end would have given back except Save, which
    // waits for the next row or loaded file, and also Open: the table is
    // the user's again.
    mainForm_.setCommandsEnabled(commandNames(CommandGroup::Search), true);
    mainForm_.setCommandsEnabled(commandNames(CommandGroup::Read), true);
    mainForm_.setTableLocked(false);
  }
  hide();
}

void TProgressForm::closeEvent(QCloseEvent* event) {
  if (event->spontaneous()) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

}  // namespace korsi
