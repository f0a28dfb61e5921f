// The terminal on Windows: the console, its control events and the wide
// command line.

#include <windows.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <mutex>
#include <thread>

#include "services/utf16.h"
#include "tools/transfer/terminal.h"

namespace korsi::transfer {

bool isTerminal(std::FILE* stream) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != FALSE;
}

std::vector<std::string> programArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return {argv + 1, argv + argc};
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(win32::narrow(wide[i]));
  ::LocalFree(wide);
  return args;
}

Utf8Console::Utf8Console() {
  const UINT current = ::GetConsoleOutputCP();
  // 0: no console to change; already UTF-8: nothing to give back.
  if (current != 0 && current != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) previous_ = current;
}

Utf8Console::~Utf8Console() {
  if (previous_ == 0) return;
  // What the program wrote is shown in UTF-8 before the code page goes back.
  std::fflush(nullptr);
  ::SetConsoleOutputCP(previous_);
}

// Windows has no SIGPIPE: a write to a closed pipe already fails to the writer.
void ignoreBrokenPipe() {}

struct StopSignals::Watcher {
  std::function<void()> onStop;
};

namespace {

// The watcher the handler calls, under the lock: the handler runs on a thread
// of the system's, and may be running (or about to run) while StopSignals
// ends; the end takes the lock, so it waits for a call under way and no call
// uses the watcher once it is gone.
std::mutex watcherLock;
StopSignals::Watcher* activeWatcher = nullptr;

// The system runs this on a thread of its own for each event.
BOOL WINAPI onConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  std::lock_guard lock(watcherLock);
  if (activeWatcher == nullptr) return FALSE;
  activeWatcher->onStop();
  return TRUE;
}

}  // namespace

StopSignals::StopSignals(std::function<void()> onStop) : watcher_(std::make_unique<Watcher>()) {
  watcher_->onStop = std::move(onStop);
  {
    std::lock_guard lock(watcherLock);
    activeWatcher = watcher_.get();
  }
  ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

StopSignals::~StopSignals() {
  ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  std::lock_guard lock(watcherLock);
  activeWatcher = nullptr;
}

}  // namespace korsi::transfer
