#pragma once
// The port's writer thread: woken by the port's txEvent, it sends everything
// the transmit ring holds, in order, then waits again.

#include <atomic>
#include <chrono>
#include <thread>

#include "link/serial_device.h"

class TCommPort;

class TWriteThread {
 public:
  // How long the writer waits for the driver to take more bytes before it
  // drops what is queued: a line without flow control always drains, so a
  // driver that takes nothing for this long is stuck.
  static constexpr std::chrono::milliseconds kStallLimit{1000};
  // The same once the port is closing, so close returns promptly.
  static constexpr std::chrono::milliseconds kClosingStallLimit{50};
  static constexpr std::chrono::milliseconds kWaitSlice{5};

  // Starts running at once on port's open device.
  explicit TWriteThread(TCommPort& port);
  // Terminates and waits; the caller must set the port's txEvent to wake it.
  ~TWriteThread();
  TWriteThread(const TWriteThread&) = delete;
  TWriteThread& operator=(const TWriteThread&) = delete;

  void terminate() noexcept { terminated.store(true); }
  void waitFor();

 private:
  void execute();
  void sendQueued();
  // Forgets what the ring holds: the device cannot take it.
  void dropQueued(const char* why, int error);

  korsi::serial::SerialDevice* device;
  TCommPort* port;
  std::atomic<bool> terminated{false};
  bool failureLogged = false;
  std::thread thread;  // last, so the thread starts with every other member ready
};
