#pragma once
// The port's reader thread: every millisecond it asks the driver how many
// received bytes it holds and moves as many as fit into the receive ring.

#include <atomic>
#include <chrono>
#include <thread>

#include "link/serial_device.h"

class TCommPort;

class TReadThread {
 public:
  static constexpr std::chrono::milliseconds kPollInterval{1};
  // Longest wait for bytes on a quiet line before the terminate flag is looked at.
  static constexpr std::chrono::milliseconds kIdleWait{20};

  // Starts running at once on port's open device.
  explicit TReadThread(TCommPort& port);
  // Terminates and waits.
  ~TReadThread();
  TReadThread(const TReadThread&) = delete;
  TReadThread& operator=(const TReadThread&) = delete;

  void terminate() noexcept { terminated.store(true); }
  // Waits until the thread has ended; it ends within one pass after
  // terminate, even while bytes keep arriving.
  void waitFor();

 private:
  void execute();

  TCommPort* port;
  korsi::serial::SerialDevice* device;
  std::atomic<bool> terminated{false};
  std::thread thread;  // last, so the thread starts with every other member ready
};
