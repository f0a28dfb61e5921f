#include "ui/main_window/window_view.h"

#include <QMessageBox>
#include <utility>

#include "instrument/meash_date.h"
#include "ui/main_window/archive_actions.h"
#include "ui/main_window/command_groups.h"
#include "ui/main_window/main_window.h"
#include "ui/dialogs/progress_window.h"
#include "ui/dialogs/dialog_fit.h"

namespace korsi {

WindowView::WindowView(TMainForm& window, TProgressForm& progress, ArchiveActions& archive, EndProgram endProgram)
    : window_(window), progress_(progress), archive_(archive), endProgram_(std::move(endProgram)) {}

void WindowView::showProgress() { progress_.showProgress(); }

void WindowView::setProgress(int percent) { progress_.setProgress(percent); }

void WindowView::closeProgress() { progress_.closeIfShowing(); }

void WindowView::setCommandsEnabled(CommandGroup group, bool enabled) {
  window_.setCommandsEnabled(commandNames(group), enabled);
  // The reading's table is the reading's alone until it ends.
  if (group == CommandGroup::Reading) window_.setTableLocked(!enabled);
}

void WindowView::setStatusText(const std::string& text) { window_.setStatusText(QString::fromStdString(text)); }

void WindowView::setCaption(const std::string& text) { window_.setWindowTitle(QString::fromStdString(text)); }

void WindowView::clearRows() { archive_.clearForReading(); }

void WindowView::addRow(const Meash& meash) {
  archive_.addMeasurement(meash.num, meashDateText(meash), static_cast<double>(meash.h));
}

void WindowView::showMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
  QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                  QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok);
  fitTitle(box);
  box.exec();
}

void WindowView::endProgram(int exitStatus) {
  if (endProgram_) endProgram_(exitStatus);
}

}  // namespace korsi
