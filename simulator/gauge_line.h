#pragma once
// The gauge's end of the line it answers on. GaugeSimulator reads requests
// from it and writes replies to it, the same way whatever is behind it: a
// pseudo-terminal whose other end is a device for a serial-port user to
// open (pseudo_terminal.h), or a line inside the program whose other end is
// a serial device of the program's own (in_process_line.h).

#include <chrono>
#include <cstddef>
#include <string>

namespace korsi::sim {

class GaugeLine {
 public:
  virtual ~GaugeLine() = default;
  GaugeLine() = default;
  GaugeLine(const GaugeLine&) = delete;
  GaugeLine& operator=(const GaugeLine&) = delete;

  // What a serial-port user opens to reach the gauge: a device path, or a
  // name for a line that has none.
  virtual const std::string& devicePath() const = 0;

  enum class ReadResult { Data, Woken, Failed };
  // Waits until bytes come from the user's side or wake() is called, and
  // reads what has come (at most capacity bytes) into buffer.
  virtual ReadResult read(unsigned char* buffer, std::size_t capacity, std::size_t* count) = 0;

  // Reads and drops whatever has come from the user's side, without waiting;
  // how many bytes that was.
  virtual std::size_t dropInput() = 0;

  // Sends bytes to the user's side at once. Bytes that side cannot take for
  // a while are dropped, as on a line without flow control.
  virtual void write(const unsigned char* bytes, std::size_t count) = 0;

  // Waits for the given time; false when wake() cut it short.
  virtual bool pause(std::chrono::microseconds duration) = 0;

  // From any thread: makes the current and every later read or pause return
  // at once.
  virtual void wake() = 0;

  // Closes the line: its users see it go away (a hang-up).
  virtual void close() = 0;
};

}  // namespace korsi::sim
