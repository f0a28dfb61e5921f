#include "tools/transfer/console_view.h"

#include "instrument/meash_date.h"
#include "instrument/read_meashs_thread.h"
#include "services/logs.h"

namespace korsi::transfer {

void ConsoleView::expectSearch() {
  label_ = "searching";
  total_.reset();
}

void ConsoleView::expectReading(std::int64_t total) {
  label_ = "reading";
  total_ = total;
}

void ConsoleView::showProgress() { progress_.begin(label_, total_); }

void ConsoleView::setProgress(int percent) {
  // A reading's display counts rows (addRow); a search's follows the gauge.
  if (!total_) progress_.setPercent(percent);
}

void ConsoleView::closeProgress() { progress_.end(); }

void ConsoleView::clearRows() {
  rows_.clear();
  received_ = 0;
  refusedDates_.clear();
}

void ConsoleView::addRow(const Meash& meash) {
  ++received_;
  const auto date = meashDate(meash);
  if (!date) {
    // The line the window's table writes when it refuses a row.
    LOG_ERR("Ошибка insert");
    refusedDates_.push_back(meash.num);
  } else {
    ArchiveRow row;
    row.num = meash.num;
    row.date = *date;
    row.h = static_cast<double>(meash.h);
    rows_.push_back(std::move(row));
  }
  progress_.setDone(received_);
}

void ConsoleView::showMessage(const std::string& text, const std::string&, MessageIcon) {
  if (text == kTransferFailedText) transferFailed_ = true;
}

}  // namespace korsi::transfer
