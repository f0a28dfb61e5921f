#pragma once
// The one place where the serial port meets the operating system. TCommPort,
// its rings and its threads talk only to this interface; each platform has its
// own file that implements it (serial_posix.cpp for termios systems,
// serial_win32.cpp for Windows).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace korsi::serial {

// The line state that the port keeps and applies: the same members a Windows
// device control block has, so the setters can change one member at a time.
struct LineState {
  std::uint32_t baudRate = 9600;  // bit/s
  std::uint8_t parity = 0;        // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t stopBits = 0;      // 0 one, 1 one and a half, 2 two
  std::uint8_t byteSize = 8;      // data bits, 5 to 8
  std::uint32_t flags = 0x0001;   // flow-control flag word, see below
  std::uint16_t xonLimit = 0;
  std::uint16_t xoffLimit = 1024;
  std::uint8_t xonChar = 0x11;
  std::uint8_t xoffChar = 0x13;
  std::uint8_t eventChar = 0;
};

// Bits of LineState::flags that a platform may act on.
inline constexpr std::uint32_t kFlagBinary = 0x0001;
inline constexpr std::uint32_t kFlagCtsOutput = 0x0004;
inline constexpr std::uint32_t kFlagDsrOutput = 0x0008;
inline constexpr std::uint32_t kFlagXonXoffOutput = 0x0100;
inline constexpr std::uint32_t kFlagXonXoffInput = 0x0200;
inline constexpr std::uint32_t kFlagRtsHandshake = 0x2000;

enum class ModemLine { Dtr, Rts };

enum class IoStatus {
  Done,        // the call moved the bytes it reports (possibly 0 on a read)
  WouldBlock,  // nothing moved now; try again later
  Gone,        // the device has failed or disappeared; retrying will not help
};

struct IoResult {
  std::size_t bytes = 0;
  IoStatus status = IoStatus::Done;
  int error = 0;  // the platform's error number when status is not Done
};

// An open serial device, held exclusively. Every call returns at once except
// waitReadable and waitWritable, which wait at most their limit.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  SerialDevice() = default;
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;

  // Reads the driver's current line state; false when the driver refused.
  virtual bool getState(LineState& state) = 0;
  // Applies the whole state; false when the driver refused any of it.
  virtual bool setState(const LineState& state) = 0;
  // Raises or drops a modem line; false when the driver refused.
  virtual bool setModemLine(ModemLine line, bool on) = 0;

  // How many received bytes the driver holds; 0 when it cannot tell.
  virtual std::size_t waiting() = 0;
  // Takes up to count bytes that the driver already holds; never waits.
  virtual IoResult read(unsigned char* dst, std::size_t count) = 0;
  // Waits until the driver holds received bytes (or the device has gone), at
  // most limit.
  virtual void waitReadable(std::chrono::milliseconds limit) = 0;
  // The device has hung up or failed (a USB adapter pulled out, the far end
  // of a pseudo-terminal closed): it will not deliver bytes again. Never waits.
  // A platform that cannot tell says false.
  virtual bool hungUp() { return false; }
  // Ends a waitReadable under way at once, from another thread: the port is
  // closing. A platform whose waits are short anyway may do nothing.
  virtual void wakeReader() noexcept {}
  // Hands up to count bytes to the driver; never waits.
  virtual IoResult write(const unsigned char* src, std::size_t count) = 0;
  // Waits until the driver can take more bytes, at most limit.
  virtual void waitWritable(std::chrono::milliseconds limit) = 0;
  // How many bytes handed to the driver have not left the line yet; 0 when
  // the platform cannot tell. Never waits.
  virtual std::size_t outputWaiting() { return 0; }

  // Discards what the driver holds in that direction.
  virtual void purgeInput() = 0;
  virtual void purgeOutput() = 0;
};

struct OpenResult {
  std::unique_ptr<SerialDevice> device;  // empty when the open failed
  // Why it failed, in words a user can act on, with the platform's error
  // name, for example "No such file or directory (ENOENT)".
  std::string reason;
  // The open failed because nothing is there: no such device node, or a
  // node with no hardware behind it (ENOENT, ENODEV, ENXIO, EIO). A search
  // over many port numbers passes such ports silently.
  bool missing = false;
  // The device is there but this user may not open it (EACCES, EPERM).
  bool refused = false;
  // When refused: the group whose members may read and write the device
  // (the one to join), empty when its group has no such right.
  std::string accessGroup = {};
};

// Opens path for reading and writing, held exclusively against every other
// open of the same device (this process or another, whatever its privileges),
// in raw 8-bit mode without flow control, modem lines left as the driver has them.
OpenResult openSerialDevice(const std::string& path);

// Opens a device of the program's own in place of the platform's: a port
// number mapped to one (PortResolver::setDevice) opens it through this, with
// the same outcomes as openSerialDevice. The training mode's simulated gauge
// is such a device.
using DeviceFactory = std::function<OpenResult()>;

// Holds the system's timer at its finest tick (1 ms) while it lives: the
// master's 1 ms silences and 30 ms wait would otherwise take whole ticks of
// the system's default 15.6 ms on Windows. Nothing to do where sleeps keep
// their time already.
class FineTimer {
 public:
  FineTimer();
  ~FineTimer();
  FineTimer(const FineTimer&) = delete;
  FineTimer& operator=(const FineTimer&) = delete;

 private:
  bool held_ = false;
};

// The platform's text and name for an error number, for the log.
std::string errorText(int error);

}  // namespace korsi::serial
