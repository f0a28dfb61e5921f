#pragma once
// What the program asks of the platform about its standard streams and its
// stop signals. terminal_posix.cpp answers on POSIX systems,
// terminal_win32.cpp on Windows.

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korsi::transfer {

// Whether stream is an interactive terminal (a progress bar can be redrawn).
bool isTerminal(std::FILE* stream);

// The program's arguments in UTF-8, as the rest of the program holds text
// (Windows hands argv over in the user's code page).
std::vector<std::string> programArguments(int argc, char** argv);

// While an object of this class lives, the console shows the program's UTF-8
// text as it is (Windows' console would read it in the user's code page);
// the console's own code page comes back when it goes, so the console the
// user typed the command in is left as it was.
class Utf8Console {
 public:
  Utf8Console();
  ~Utf8Console();
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

 private:
  unsigned previous_ = 0;  // the code page to give back; 0: nothing to give back
};

// Writing to a closed pipe gives an error to the writer instead of ending the
// process, so a failed "-o -" gets its own exit status.
void ignoreBrokenPipe();

// SIGINT and SIGTERM (Ctrl+C, kill; Ctrl+C and Ctrl+Break on Windows' console): while an object of this class lives, they
// do not end the process; onStop runs once per signal on a thread of its own.
// Made first in main, before any other thread, so that no other thread takes
// the signals. Its end waits for an onStop under way, and none starts after.
class StopSignals {
 public:
  explicit StopSignals(std::function<void()> onStop);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  struct Watcher;  // the platform's part

 private:
  std::unique_ptr<Watcher> watcher_;
};

}  // namespace korsi::transfer
