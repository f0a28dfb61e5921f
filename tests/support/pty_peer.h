#pragma once
// The far end of a real pseudo-terminal, standing where the gauge would be:
// the port under test opens the device side (through a "COM<n> <path>" entry),
// the test reads what the port sent and writes scripted replies, with pauses.

#include <termios.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace korsi::test {

using Bytes = std::vector<std::uint8_t>;

class PtyPeer {
 public:
  // One piece of a scripted reply: the bytes, then a pause before the next piece.
  struct Step {
    Bytes bytes;
    std::chrono::milliseconds pauseAfter{0};
  };

  PtyPeer();
  ~PtyPeer();
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  // The path the port opens, for example /dev/pts/3.
  const std::string& devicePath() const { return devicePath_; }
  // The configuration line that points port n at this terminal.
  std::string configEntry(int n) const { return "COM" + std::to_string(n) + " " + devicePath_; }

  // Writes bytes to the port at once.
  void send(const Bytes& bytes);
  // Plays steps on a thread of its own; waitPlayed() waits for the end.
  void play(std::vector<Step> steps);
  void waitPlayed();

  // Reads until count bytes came from the port or limit passed (a guard
  // against a hung test, never a measurement); returns what came.
  Bytes receive(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5));
  // Whatever the port has sent so far.
  Bytes receiveWaiting();

  // Keeps writing bytes until stopFlood(), as a line that never falls silent:
  // first prefix (the start of a reply, say), then 0x55 for ever.
  void startFlood(Bytes prefix = {});
  void stopFlood();

  // The line settings the port has applied to the terminal.
  termios lineSettings() const;

  // Closes the terminal's far end, as when a USB adapter is pulled out.
  void hangUp();

 private:
  int master_ = -1;
  std::string devicePath_;
  std::thread player_;
  std::thread flooder_;
  std::atomic<bool> flooding_{false};
};

}  // namespace korsi::test
