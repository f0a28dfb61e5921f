#pragma once
// The simulator's end of a pseudo-terminal: the other end is a device that a
// serial-port user opens like a real port. The platform's code lives in its
// own file (pseudo_terminal_posix.cpp).

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "simulator/gauge_line.h"

namespace korsi::sim {

class PseudoTerminal : public GaugeLine {
 public:
  // Opens a new pseudo-terminal in raw mode (8 data bits, no echo, no line
  // editing). The device side stays usable while its users close and reopen
  // it. Throws std::system_error with the system's reason.
  PseudoTerminal();
  ~PseudoTerminal() override;

  // The device that a serial-port user opens, for example /dev/pts/3.
  const std::string& devicePath() const override;

  // Waits until bytes come from the device side or wake() is called, and
  // reads what has come (at most capacity bytes) into buffer.
  ReadResult read(unsigned char* buffer, std::size_t capacity, std::size_t* count) override;

  // Reads and drops whatever has come from the device side, without waiting;
  // how many bytes that was.
  std::size_t dropInput() override;

  // Sends bytes to the device side at once. Bytes that the device side
  // cannot take for a while are dropped, as on a line without flow control.
  void write(const unsigned char* bytes, std::size_t count) override;

  // Waits for the given time; false when wake() cut it short.
  bool pause(std::chrono::microseconds duration) override;

  // From any thread: makes the current and every later read or pause return
  // at once.
  void wake() override;

  // Closes the terminal: its users see the line go away (EIO, hang-up).
  void close() override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace korsi::sim
