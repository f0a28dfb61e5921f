#pragma once
// How far a search or a reading has come, on standard error: on a terminal a
// bar redrawn in place with the count, the rate and the time left; otherwise
// one plain line each time another 10 % is done; or nothing at all (--quiet).

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace korsi::transfer {

enum class ProgressStyle { Bar, Lines, Silent };

class ProgressDisplay {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  ProgressDisplay(std::FILE* out, ProgressStyle style, Clock clock = std::chrono::steady_clock::now);

  // A new task: a search (percentages only) or a reading of total rows.
  void begin(std::string label, std::optional<std::int64_t> total);
  // The task's gauge, 0 to 100 (clamped).
  void setPercent(int percent);
  // Rows done so far (a reading).
  void setDone(std::int64_t done);
  // The task has ended: a bar leaves its last state on its own line.
  void end();

  // "1:05" for 65 seconds; "0:00" for anything below a second.
  static std::string durationText(std::chrono::seconds time);

 private:
  void show(bool force);

  std::FILE* out_;
  ProgressStyle style_;
  Clock clock_;
  std::string label_;
  std::optional<std::int64_t> total_;
  std::int64_t done_ = 0;
  int percent_ = 0;
  int lastTenth_ = -1;
  bool active_ = false;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point started_{};
  std::chrono::steady_clock::time_point lastDrawn_{};
};

}  // namespace korsi::transfer
