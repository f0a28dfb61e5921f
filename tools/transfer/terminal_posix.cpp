#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <ctime>
#include <thread>

#include "tools/transfer/terminal.h"

namespace korsi::transfer {

bool isTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

std::vector<std::string> programArguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

void ignoreBrokenPipe() { ::signal(SIGPIPE, SIG_IGN); }

struct StopSignals::Watcher {
  std::function<void()> onStop;
  std::atomic<bool> closing{false};
  std::thread thread;
};

namespace {
// Sent by the program to its own watcher when it ends, so that the end does
// not wait for the watcher's next look.
constexpr int kWakeSignal = SIGUSR1;
}  // namespace

StopSignals::StopSignals(std::function<void()> onStop) : watcher_(std::make_unique<Watcher>()) {
  watcher_->onStop = std::move(onStop);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, kWakeSignal);
  // Blocked here, so every thread made from now on inherits the block and
  // only the watcher takes them.
  ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  watcher_->thread = std::thread([watcher = watcher_.get(), signals] {
    // Wakes now and then to see whether the program is ending.
    const timespec tick{0, 50'000'000};
    while (!watcher->closing.load()) {
      const int taken = ::sigtimedwait(&signals, nullptr, &tick);
      if (taken == SIGINT || taken == SIGTERM) watcher->onStop();
    }
  });
}

StopSignals::~StopSignals() {
  watcher_->closing = true;
  ::pthread_kill(watcher_->thread.native_handle(), kWakeSignal);
  watcher_->thread.join();
}

}  // namespace korsi::transfer
