#pragma once
// The workers' view on a terminal: the progress window becomes the progress
// display on standard error, rows are kept for the output file, and what the
// window would show in a box or its status bar is kept for the command runner
// to judge once the worker has ended. The workers call it through a
// DirectHandOver on their own thread; the runner reads it only after the
// worker has been waited for.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "instrument/worker_view.h"
#include "storage/recordset/archive_row.h"
#include "tools/transfer/progress_display.h"

namespace korsi::transfer {

class ConsoleView final : public WorkerView {
 public:
  explicit ConsoleView(ProgressDisplay& progress) : progress_(progress) {}

  // What the progress display is to say for the next worker: a search, or a
  // reading of total measurements.
  void expectSearch();
  void expectReading(std::int64_t total);

  void showProgress() override;
  void setProgress(int percent) override;
  void closeProgress() override;
  void setCommandsEnabled(CommandGroup, bool) override {}
  void setStatusText(const std::string& text) override { status_ = text; }
  void setCaption(const std::string&) override {}
  void clearRows() override;
  void addRow(const Meash& meash) override;
  void showMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void endProgram(int exitStatus) override { endStatus_ = exitStatus; }

  // The rows read, in order; a measurement whose date is not a real date is
  // left out, as the window's table refuses it.
  const std::vector<ArchiveRow>& rows() const noexcept { return rows_; }
  // Measurements the gauge sent, refused ones included.
  std::int64_t received() const noexcept { return received_; }
  // Numbers of the measurements left out for their date.
  const std::vector<std::int32_t>& refusedDates() const noexcept { return refusedDates_; }
  // The reading stopped because the gauge fell silent.
  bool transferFailed() const noexcept { return transferFailed_; }
  // The search asked to end the program (the converter's driver is missing).
  std::optional<int> endStatus() const noexcept { return endStatus_; }
  const std::string& status() const noexcept { return status_; }

 private:
  ProgressDisplay& progress_;
  std::string label_ = "searching";
  std::optional<std::int64_t> total_;
  std::vector<ArchiveRow> rows_;
  std::int64_t received_ = 0;
  std::vector<std::int32_t> refusedDates_;
  bool transferFailed_ = false;
  std::optional<int> endStatus_;
  std::string status_;
};

}  // namespace korsi::transfer
