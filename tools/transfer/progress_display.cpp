#include "tools/transfer/progress_display.h"

#include <algorithm>

namespace korsi::transfer {

namespace {

// A bar is redrawn at most this often, so a fast reading does not flood the terminal.
constexpr std::chrono::milliseconds kRedrawInterval{100};
constexpr int kBarWidth = 30;

}  // namespace

ProgressDisplay::ProgressDisplay(std::FILE* out, ProgressStyle style, Clock clock)
    : out_(out), style_(style), clock_(std::move(clock)) {}

std::string ProgressDisplay::durationText(std::chrono::seconds time) {
  const auto s = std::max<std::int64_t>(0, time.count());
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s / 60), static_cast<long long>(s % 60));
  return text;
}

void ProgressDisplay::begin(std::string label, std::optional<std::int64_t> total) {
  if (active_) end();
  label_ = std::move(label);
  total_ = total;
  done_ = 0;
  percent_ = 0;
  lastTenth_ = -1;
  active_ = true;
  drawn_ = false;
  started_ = clock_();
  show(true);
}

void ProgressDisplay::setPercent(int percent) {
  if (!active_) return;
  percent_ = std::clamp(percent, 0, 100);
  show(false);
}

void ProgressDisplay::setDone(std::int64_t done) {
  if (!active_) return;
  done_ = done;
  if (total_ && *total_ > 0) percent_ = static_cast<int>(std::clamp<std::int64_t>(done * 100 / *total_, 0, 100));
  show(false);
}

void ProgressDisplay::end() {
  if (!active_) return;
  show(true);
  if (style_ == ProgressStyle::Bar && drawn_) std::fputc('\n', out_);
  std::fflush(out_);
  active_ = false;
}

void ProgressDisplay::show(bool force) {
  if (style_ == ProgressStyle::Silent) return;
  const auto now = clock_();
  if (style_ == ProgressStyle::Lines) {
    // One line at 0 %, 10 %, ..., 100 %: each tenth once.
    const int tenth = percent_ / 10;
    if (tenth == lastTenth_) return;
    lastTenth_ = tenth;
    if (total_) {
      std::fprintf(out_, "%s %lld of %lld (%d %%)\n", label_.c_str(), static_cast<long long>(done_),
                   static_cast<long long>(*total_), percent_);
    } else {
      std::fprintf(out_, "%s %d %%\n", label_.c_str(), percent_);
    }
    std::fflush(out_);
    return;
  }
  if (!force && drawn_ && now - lastDrawn_ < kRedrawInterval && percent_ < 100) return;
  lastDrawn_ = now;
  drawn_ = true;
  const int filled = percent_ * kBarWidth / 100;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
  std::string figures;
  if (total_) {
    const double seconds = std::chrono::duration<double>(now - started_).count();
    figures = std::to_string(done_) + "/" + std::to_string(*total_);
    if (seconds > 0.0 && done_ > 0) {
      const double rate = static_cast<double>(done_) / seconds;
      char text[64];
      std::snprintf(text, sizeof text, "  %.1f/s  %s left", rate,
                    durationText(std::chrono::seconds(static_cast<std::int64_t>(
                                     static_cast<double>(*total_ - done_) / rate + 0.5)))
                        .c_str());
      figures += text;
    }
  } else {
    figures = std::to_string(percent_) + " %";
  }
  // Carriage return, the line, then erase whatever a longer earlier line left.
  std::fprintf(out_, "\r%s [%s] %s\x1b[K", label_.c_str(), bar.c_str(), figures.c_str());
  std::fflush(out_);
}

}  // namespace korsi::transfer
