#pragma once
// The port's reader thread: every millisecond it asks the driver how many
// received bytes it holds and moves as many as fit into the receive ring,
// telling a master that waits for them. On a quiet line it waits in the driver
// instead; after a hang-up it marks the device gone and rests until closed.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "link/serial_device.h"

class TCommPort;

class TReadThread {
 public:
  static constexpr std::chrono::milliseconds kPollInterval{1};
  // Longest wait for bytes on a quiet line before the terminate flag is looked at.
  static constexpr std::chrono::milliseconds kIdleWait{20};
  // How often a device that has hung up is looked at again; terminate wakes
  // the thread at once.
  static constexpr std::chrono::milliseconds kGoneRest{250};

  // Starts running at once on port's open device.
  explicit TReadThread(TCommPort& port);
  // Terminates and waits.
  ~TReadThread();
  TReadThread(const TReadThread&) = delete;
  TReadThread& operator=(const TReadThread&) = delete;

  void terminate() noexcept;
  // Waits until the thread has ended; it ends within one pass after
  // terminate, even while bytes keep arriving.
  void waitFor();

 private:
  void execute();
  // Moves up to held bytes from the driver into the receive ring.
  korsi::serial::IoStatus moveHeldBytes(std::size_t held);
  // Marks the port's device gone and rests until terminate (or until the
  // device answers again).
  void restWhileGone();

  TCommPort* port;
  korsi::serial::SerialDevice* device;
  std::atomic<bool> terminated{false};
  std::mutex restMutex;
  std::condition_variable restWake;
  std::thread thread;  // last, so the thread starts with every other member ready
};
