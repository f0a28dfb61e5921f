#pragma once
// The workers' view in the desktop program: the main window's commands,
// status bar and title, the progress window, the archive table and message
// boxes. Used on the user-interface thread only (through QtHandOver).

#include <functional>

#include "instrument/worker_view.h"

namespace korsi {

class ArchiveActions;
class TMainForm;
class TProgressForm;

class WindowView final : public WorkerView {
 public:
  using EndProgram = std::function<void(int exitStatus)>;

  // The windows must outlive the view; endProgram ends the message loop.
  WindowView(TMainForm& window, TProgressForm& progress, ArchiveActions& archive, EndProgram endProgram);

  void showProgress() override;
  void setProgress(int percent) override;
  void closeProgress() override;
  void setCommandsEnabled(CommandGroup group, bool enabled) override;
  void setStatusText(const std::string& text) override;
  void setCaption(const std::string& text) override;
  void clearRows() override;
  void addRow(const Meash& meash) override;
  void showMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void endProgram(int exitStatus) override;

 private:
  TMainForm& window_;
  TProgressForm& progress_;
  ArchiveActions& archive_;
  EndProgram endProgram_;
};

}  // namespace korsi
