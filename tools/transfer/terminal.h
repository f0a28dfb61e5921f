#pragma once
// What the program asks of the platform about its standard streams and its
// stop signals. terminal_posix.cpp answers on POSIX systems.

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>

namespace korsi::transfer {

// Whether stream is an interactive terminal (a progress bar can be redrawn).
bool isTerminal(std::FILE* stream);

// Writing to a closed pipe gives an error to the writer instead of ending the
// process, so a failed "-o -" gets its own exit status.
void ignoreBrokenPipe();

// SIGINT and SIGTERM (Ctrl+C, kill): while an object of this class lives, they
// do not end the process; onStop runs once per signal on a thread of its own.
// Made first in main, before any other thread, so that no other thread takes
// the signals.
class StopSignals {
 public:
  explicit StopSignals(std::function<void()> onStop);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  struct Watcher;
  std::unique_ptr<Watcher> watcher_;
};

}  // namespace korsi::transfer
