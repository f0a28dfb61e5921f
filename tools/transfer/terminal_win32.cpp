// The terminal on Windows: the console, its control events and the wide
// command line.

#include <windows.h>
#include <io.h>
#include <shellapi.h>

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

void useUtf8Console() { ::SetConsoleOutputCP(CP_UTF8); }

// Windows has no SIGPIPE: a write to a closed pipe already fails to the writer.
void ignoreBrokenPipe() {}

struct StopSignals::Watcher {
  std::function<void()> onStop;
};

namespace {

std::atomic<StopSignals::Watcher*> activeWatcher{nullptr};

// The system runs this on a thread of its own for each event.
BOOL WINAPI onConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (StopSignals::Watcher* watcher = activeWatcher.load()) {
    watcher->onStop();
    return TRUE;
  }
  return FALSE;
}

}  // namespace

StopSignals::StopSignals(std::function<void()> onStop) : watcher_(std::make_unique<Watcher>()) {
  watcher_->onStop = std::move(onStop);
  activeWatcher = watcher_.get();
  ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

StopSignals::~StopSignals() {
  ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  activeWatcher = nullptr;
}

}  // namespace korsi::transfer
