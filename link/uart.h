#pragma once
// The link adapter between the Modbus layer and the serial port, and the four
// link operations the Modbus layer uses: put one byte, take bytes with a short
// time-out, count the waiting bytes, drain the receive side (and peek).

#include <chrono>
#include <cstdint>

#include "link/comm_port.h"
#include "link/modbus_frame.h"

// Selects 115200 bit/s on its port when made and closes the port when
// destroyed. Its own byte queue stays empty.
class UartBase : public message_queue_t {
 public:
  explicit UartBase(TCommPort& port);
  ~UartBase();
  UartBase(const UartBase&) = delete;
  UartBase& operator=(const UartBase&) = delete;

  TCommPort& port() const noexcept { return *port_; }

 private:
  TCommPort* port_;
};

class Uart : public UartBase {
 public:
  using UartBase::UartBase;
};

// Result of getBytes when a byte did not come in time.
inline constexpr int kGetBytesTimeout = 42;
// One look-again sleep of getBytes and drain.
inline constexpr std::chrono::milliseconds kByteWait{1};
// How long, and how many bytes, drain purges a line that keeps sending before
// it gives up: noise that never pauses must not hold the exchange for ever.
inline constexpr std::chrono::milliseconds kDrainTimeBudget{300};
inline constexpr std::uint32_t kDrainByteBudget = 4096;

// True while the driver holds received bytes that the reader thread has not
// moved into the ring yet, for at most kReaderLagSleeps looks (extraSleeps
// counts those already made), and never once the device has hung up.
inline constexpr int kReaderLagSleeps = 20;
bool readerLagging(TCommPort& port, int extraSleeps);

// Queues b for sending; on a closed port the byte is lost without notice.
void putByte(TCommPort& port, std::uint8_t b);
// Takes n bytes into buffer, waiting for each over two 1 ms sleeps (and on
// while readerLagging). Returns 0, or 42
// after purging the port's input when a byte did not come; the bytes taken
// before stay in buffer.
int getBytes(TCommPort& port, std::uint8_t* buffer, std::uint8_t n);
// Received bytes waiting in the port's ring.
std::uint32_t available(TCommPort& port);
// The i-th waiting byte without taking it.
std::uint8_t peek(TCommPort& port, std::uint32_t i);
// Sleeps 1 ms and purges the input until a sleep passes with nothing new
// (in the ring or in the driver).
// Returns true then; false when the line was still sending after the time or
// byte budget above (the input is purged all the same).
bool drain(TCommPort& port);
