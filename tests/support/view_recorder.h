#pragma once
// A WorkerView that writes down every call as one readable event line, for
// example "progress 33", "commands Reading off", "rows cleared", "row 5",
// "message Внимание: Устройство найдено и готово к работе",
// "caption Всего найдено 3 измерений", "end -1". The workers call it on their
// own thread (through a DirectHandOver) while the test reads it, so every call
// is taken under a lock. A test may wait for an event, or have an action run
// when an event arrives: pressing Cancel right after row 3, for example.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "instrument/worker_view.h"

namespace korsi::test {

class ViewRecorder final : public WorkerView {
 public:
  // Runs action once, on the calling worker's thread, right after event has
  // been recorded (outside the recorder's lock, so the action may read it).
  void on(const std::string& event, std::function<void()> action) {
    std::lock_guard lock(mutex_);
    actions_[event] = std::move(action);
  }

  // Waits until event has been recorded; false if it never comes (a guard
  // against a hung test, never a measurement).
  bool waitFor(const std::string& event, std::chrono::milliseconds limit = std::chrono::seconds(20)) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return countLocked(event) > 0; });
  }

  std::vector<std::string> events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  int count(const std::string& event) const {
    std::lock_guard lock(mutex_);
    return countLocked(event);
  }
  // The events starting with prefix, in order ("progress " gives the gauge's values).
  std::vector<std::string> eventsStartingWith(const std::string& prefix) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const std::string& e : events_) {
      if (e.rfind(prefix, 0) == 0) out.push_back(e);
    }
    return out;
  }
  std::vector<Meash> rows() const {
    std::lock_guard lock(mutex_);
    return rows_;
  }

  void showProgress() override { record("progress shown"); }
  void setProgress(int percent) override { record("progress " + std::to_string(percent)); }
  void closeProgress() override { record("progress closed"); }
  void setCommandsEnabled(CommandGroup group, bool enabled) override {
    record(std::string("commands ") + groupName(group) + (enabled ? " on" : " off"));
  }
  void setStatusText(const std::string& text) override { record("status " + text); }
  void setCaption(const std::string& text) override { record("caption " + text); }
  void clearRows() override {
    {
      std::lock_guard lock(mutex_);
      rows_.clear();
    }
    record("rows cleared");
  }
  void addRow(const Meash& meash) override {
    {
      std::lock_guard lock(mutex_);
      rows_.push_back(meash);
    }
    record("row " + std::to_string(meash.num));
  }
  void showMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
    record("message " + caption + ": " + text + (icon == MessageIcon::Error ? " [error icon]" : ""));
  }
  void endProgram(int exitStatus) override { record("end " + std::to_string(exitStatus)); }

 private:
  static const char* groupName(CommandGroup group) {
    switch (group) {
      case CommandGroup::Search: return "Search";
      case CommandGroup::Read: return "Read";
      case CommandGroup::Reading: return "Reading";
    }
    return "?";
  }

  int countLocked(const std::string& event) const {
    int n = 0;
    for (const std::string& e : events_) n += e == event ? 1 : 0;
    return n;
  }

  void record(std::string event) {
    std::function<void()> action;
    {
      std::lock_guard lock(mutex_);
      events_.push_back(event);
      if (auto found = actions_.find(event); found != actions_.end()) {
        action = std::move(found->second);
        actions_.erase(found);
      }
    }
    changed_.notify_all();
    if (action) action();
  }

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::string> events_;
  std::vector<Meash> rows_;
  std::map<std::string, std::function<void()>> actions_;
};

}  // namespace korsi::test
