#pragma once
// The serial port the gauge hangs on: which device it opens, its line
// settings, its exclusive open and close, and the two byte rings between the
// program and the driver. While open, a reader thread moves received bytes
// into the receive ring every millisecond and a writer thread sends what the
// transmit ring holds. Each ring has one producer and one consumer; its lock
// guards the head and the count, and the threads hold it only for one
// non-blocking driver call.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "link/manual_reset_event.h"
#include "link/port_resolver.h"
#include "link/serial_device.h"

class TReadThread;
class TWriteThread;

namespace korsi::test {
class CommPortAccess;
}

// Thrown by TCommPort::open. Its texts are never shown to the user.
class ComPortException : public std::exception {
 public:
  static constexpr std::int32_t kOk = 0;
  static constexpr std::int32_t kCantOpen = 1;

  explicit ComPortException(std::int32_t code, bool deviceMissing = false)
      : code_(code), deviceMissing_(deviceMissing) {}
  std::int32_t code() const noexcept { return code_; }
  const char* what() const noexcept override;
  // The port number names no device, or nothing is there (see OpenResult).
  bool deviceMissing() const noexcept { return deviceMissing_; }

 private:
  std::int32_t code_;
  bool deviceMissing_;
};

class TCommPort {
 public:
  // Index 12 of the baud table, the gauge's 115200 bit/s.
  static constexpr std::uint8_t kBaud115200 = 12;
  static constexpr std::uint32_t kTxSize = 4096;
  static constexpr std::uint32_t kRxSize = 1024;

  // Closed, port 1, port numbers resolved by the fixed device blocks alone.
  TCommPort();
  // Closed, port 1, port numbers resolved by resolver.
  explicit TCommPort(korsi::PortResolver resolver);
  ~TCommPort();
  TCommPort(const TCommPort&) = delete;
  TCommPort& operator=(const TCommPort&) = delete;

  // Takes effect at the next open.
  void setPortResolver(korsi::PortResolver resolver);

  // Closes the port if it is open, then stores n; does not reopen.
  void setPortNumber(std::int32_t n);
  // Nothing when already in that state; true opens, false closes.
  void setActive(bool on);
  // Opens the device of portNumber, applies every setting and starts both
  // threads. Throws ComPortException(1) when the device cannot be opened; the
  // port then stays closed. Why is logged at ERR when a device is there (in
  // use, no permission: the user can act on it); a number with no device, or
  // a device node with nothing behind it, logs nothing, as a search tries up
  // to 255 numbers.
  void open();
  // Stops the reader, then the writer (after it has sent what it can), closes
  // the device and frees the rings. Returns promptly even when the device has gone.
  void close();
  bool isHandleValid() const noexcept { return handle != nullptr; }
  // How many times a device has been opened: a reply owed by a device opened
  // before can no longer come.
  std::uint64_t openings() const noexcept { return openings_; }
  // Why the last open failed, in words a user can act on ("Permission denied
  // (EACCES); ..."); empty once an open has succeeded. Read it on the thread
  // that opened the port, or after that thread has been joined.
  const std::string& lastOpenFailure() const noexcept { return lastOpenFailure_; }
  // The last open failed because the device is there but this user may not
  // open it: its path and the group to join (empty when the device's group
  // gives no access). None once an open has succeeded or failed otherwise.
  struct AccessRefusal {
    std::string path;
    std::string group;
  };
  const std::optional<AccessRefusal>& lastAccessRefusal() const noexcept { return lastAccessRefusal_; }
  // The open device has hung up (unplugged): nothing will arrive until the
  // port is closed and opened again. The reader thread rests meanwhile.
  bool deviceGone() const noexcept { return gone.load(); }

  // Each setter stores its value and, while the port is open, changes that one
  // member of the driver's line state. Indices outside their tables are stored
  // but change nothing on the line.
  void setBaudRate(std::uint8_t index);
  void setParity(std::uint8_t index);
  void setFlowControl(std::uint8_t mode);
  void setStopBits(std::uint8_t index);
  // Values below 5 or above 8 become 8.
  void setByteSize(std::uint16_t bits);
  void setXonLimit(std::uint16_t value);
  // Stores the smaller of value and the receive ring's size.
  void setXoffLimit(std::uint16_t value);
  void setXonChar(std::uint8_t value);
  void setXoffChar(std::uint8_t value);
  void setEventChar(std::uint8_t value);
  // While open the line changes and the value is stored only if the driver
  // accepts it (a pseudo-terminal refuses); while closed it is stored for the next open.
  void setDtr(bool on);
  void setRts(bool on);

  std::int32_t getPortNumber() const noexcept { return portNumber; }
  std::uint8_t getBaudIndex() const noexcept { return baudIndex; }
  std::uint8_t getParityIndex() const noexcept { return parityIndex; }
  std::uint8_t getFlowControl() const noexcept { return flowControl; }
  std::uint8_t getStopBitsIndex() const noexcept { return stopBitsIndex; }
  std::uint16_t getByteSize() const noexcept { return byteSize; }
  std::uint16_t getXoffLimit() const noexcept { return xoffLimit; }
  bool getDtr() const noexcept { return dtr; }
  bool getRts() const noexcept { return rts; }
  bool isActive() const noexcept { return active; }

  // Appends as many of n bytes as fit into the transmit ring and wakes the
  // writer; returns how many were taken (0 when the port is closed).
  std::uint32_t write(const unsigned char* src, std::uint32_t n);
  int writeByte(unsigned char b);
  // Takes up to n received bytes in arrival order; returns how many. When the
  // port is closed or nothing waits it returns 0 and logs "return(0)".
  std::uint32_t read(unsigned char* dst, std::uint32_t n);
  // One received byte, or 0 at once when nothing waits.
  unsigned char readByte();
  bool inputWaiting() const noexcept;
  // Received bytes waiting in the ring.
  std::uint32_t waitingCount() const;
  // Bytes queued for sending that the writer has not handed to the driver yet.
  std::uint32_t outputWaitingCount() const noexcept { return txCount.load(); }
  // Received bytes the driver holds that the reader has not moved yet; 0 when
  // the port is closed.
  std::uint32_t driverWaitingCount() const;
  // Bytes the writer has handed to the driver that have not left the line
  // yet; 0 when the port is closed or the platform cannot tell.
  std::uint32_t driverOutputCount() const;
  // Waits until at least count received bytes wait in the ring, the device
  // has hung up or until has passed, whichever comes first; woken by the
  // reader thread as bytes arrive. True when count bytes wait.
  bool waitForInput(std::uint32_t count, std::chrono::steady_clock::time_point until) const;
  // The i-th waiting byte, 0 the oldest, without taking it; 0 when the port
  // is closed or fewer than i + 1 bytes wait.
  unsigned char peek(std::uint32_t i) const;
  // Discard what the driver and the ring hold; the ring's head stays.
  void purgeInput();
  void purgeOutput();

 private:
  friend class TReadThread;
  friend class TWriteThread;
  friend class korsi::test::CommPortAccess;

  // Reads the driver's line state, lets change alter one member, writes it back.
  template <class Change>
  void applySetting(Change change);
  void checkFrameFormat() const;
  bool applyModemLine(korsi::serial::ModemLine line, bool on);
  void freeBuffers() noexcept;

  std::unique_ptr<korsi::serial::SerialDevice> handle;
  // While the port is open the master's short waits keep their time.
  std::optional<korsi::serial::FineTimer> fineTimer_;
  std::string lastOpenFailure_;
  std::optional<AccessRefusal> lastAccessRefusal_;
  korsi::serial::LineState dcb;
  std::int32_t portNumber = 1;
  std::uint64_t openings_ = 0;
  std::uint8_t baudIndex = 6;
  std::uint8_t parityIndex = 0;
  std::uint8_t flowControl = 0;
  std::uint8_t stopBitsIndex = 0;
  std::uint16_t byteSize = 8;
  std::uint16_t xonLimit = 0;
  std::uint16_t xoffLimit = 1024;
  std::uint8_t xonChar = 0x11;
  std::uint8_t xoffChar = 0x13;
  std::uint8_t eventChar = 0;
  std::unique_ptr<TReadThread> readThread;
  std::unique_ptr<TWriteThread> writeThread;
  bool dtr = false;
  bool rts = false;
  bool active = false;
  korsi::ManualResetEvent txEvent;
  std::unique_ptr<unsigned char[]> txBuffer;
  std::uint32_t txSize = kTxSize;
  std::uint32_t txHead = 0;
  // Changed only under the lock; read without it where a stale answer is harmless.
  std::atomic<std::uint32_t> txCount{0};
  std::unique_ptr<unsigned char[]> rxBuffer;
  std::uint32_t rxSize = 4096;
  std::uint32_t rxHead = 0;
  std::atomic<std::uint32_t> rxCount{0};
  std::atomic<bool> gone{false};
  mutable std::mutex txLock;
  mutable std::mutex rxLock;
  // Told by the reader thread, with rxLock, whenever it adds received bytes
  // or finds the device gone.
  mutable std::condition_variable rxArrived;
  korsi::PortResolver resolver;
};
