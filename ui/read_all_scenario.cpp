#include "ui/read_all_scenario.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QRegularExpression>
#include <cstdio>

#include "ui/main_window/archive_grid_view.h"
#include "ui/main_window/main_window.h"

namespace korsi {

namespace {

// The master's fixed waits per measurement: 30 ms, then two 1 ms silences.
constexpr double kFloorMs = 32.0;

}  // namespace

ReadAllScenario::ReadAllScenario() {
  timer_.setInterval(20);
  connect(&timer_, &QTimer::timeout, this, &ReadAllScenario::poll);
}

void ReadAllScenario::windowCreated(QWidget& window) {
  if (auto* form = dynamic_cast<TMainForm*>(&window)) {
    main_ = form;
    timer_.start();
  }
}

void ReadAllScenario::finish(const QString& line) {
  step_ = Step::Done;
  timer_.stop();
  std::fprintf(stderr, "korsi7: scenario: %s\n", line.toUtf8().constData());
  std::fflush(stderr);
}

void ReadAllScenario::poll() {
  if (main_ == nullptr || step_ == Step::Done) return;
  // A box is read and closed, as a user would: the one that says the gauge
  // is found is expected; any other one is written down.
  if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
    const QString text = box->text();
    box->accept();
    if (text.contains(QStringLiteral("Устройство найдено"))) return;
    boxes_ += QStringLiteral(" [") + box->windowTitle() + QStringLiteral(": ") + text + ']';
    if (step_ == Step::Reading) finish(QStringLiteral("failed: a box came up while reading:") + boxes_);
    return;
  }
  QAction* find = main_->command("N2");
  QAction* readAll = main_->command("N17");
  switch (step_) {
    case Step::WaitingForWindow:
      if (main_->isVisible() && find->isEnabled()) {
        step_ = Step::Searching;
        find->trigger();
      }
      break;
    case Step::Searching:
      if (readAll->isEnabled()) {
        // "Всего найдено 500 измерений" and "Устройство найдено на порту COM200".
        const auto count =
            QRegularExpression(QStringLiteral("Всего найдено (\\d+)")).match(main_->windowTitle());
        if (!count.hasMatch()) return;  // the count comes right after the read commands
        expected_ = count.captured(1).toInt();
        port_ = main_->statusText().section(' ', -1);
        step_ = Step::Reading;
        reading_.start();
        readAll->trigger();
      } else if (!boxes_.isEmpty() && find->isEnabled()) {
        finish(QStringLiteral("failed: no gauge found:") + boxes_);
      }
      break;
    case Step::Reading: {
      const int rows = main_->grid()->model() != nullptr ? main_->grid()->model()->rowCount() : 0;
      if (readAll->isEnabled() && rows >= expected_) {
        const double seconds = static_cast<double>(reading_.nsecsElapsed()) / 1e9;
        const double each = seconds * 1000.0 / expected_;
        finish(QStringLiteral("found %1, read %2 of %3 measurements in %4 s, %5 ms each (%6 x 32 ms)")
                   .arg(port_)
                   .arg(rows)
                   .arg(expected_)
                   .arg(seconds, 0, 'f', 1)
                   .arg(each, 0, 'f', 1)
                   .arg(each / kFloorMs, 0, 'f', 3));
      } else if (readAll->isEnabled() && find->isEnabled() && rows < expected_ && reading_.elapsed() > 2000) {
        finish(QStringLiteral("failed: the reading ended with %1 of %2 measurements").arg(rows).arg(expected_));
      }
      break;
    }
    case Step::Done:
      break;
  }
}

}  // namespace korsi
