// The serial device on termios systems (Linux first). The descriptor is
// non-blocking: the reader only asks for bytes the driver already holds, and
// the writer waits for room with poll, so no call can hang the port's threads.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "link/serial_device.h"

namespace korsi::serial {

namespace {

struct Speed {
  std::uint32_t bitsPerSecond;
  speed_t code;
};

// The rates termios can name; 14400, 56000, 128000 and 256000 bit/s have no
// code, and asking for one leaves the line at its previous rate.
constexpr std::array<Speed, 15> kSpeeds{{
    {110, B110}, {300, B300}, {600, B600}, {1200, B1200}, {2400, B2400},
    {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000}, {921600, B921600},
}};

bool speedCode(std::uint32_t bitsPerSecond, speed_t& code) {
  for (const Speed& s : kSpeeds) {
    if (s.bitsPerSecond == bitsPerSecond) {
      code = s.code;
      return true;
    }
  }
  return false;
}

std::uint32_t speedRate(speed_t code, std::uint32_t fallback) {
  for (const Speed& s : kSpeeds) {
    if (s.code == code) return s.bitsPerSecond;
  }
  return fallback;
}

bool transient(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

IoResult failure(int error) {
  return {0, transient(error) ? IoStatus::WouldBlock : IoStatus::Gone, error};
}

class PosixSerialDevice final : public SerialDevice {
 public:
  explicit PosixSerialDevice(int fd) : fd_(fd) {
    // The reader's wait is ended from another thread through this pipe, so a
    // closing port does not wait out the reader's idle wait.
    if (::pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
  }

  ~PosixSerialDevice() override {
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);  // also releases the flock
    for (const int end : wake_) {
      if (end >= 0) ::close(end);
    }
  }

  bool getState(LineState& state) override {
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return false;
    // Members that termios does not hold come from the last state applied.
    state = applied_;
    state.baudRate = speedRate(::cfgetospeed(&tio), applied_.baudRate);
    if ((tio.c_cflag & PARENB) == 0) {
      state.parity = 0;
    } else if ((tio.c_cflag & CMSPAR) != 0) {
      state.parity = (tio.c_cflag & PARODD) != 0 ? 3 : 4;
    } else {
      state.parity = (tio.c_cflag & PARODD) != 0 ? 1 : 2;
    }
    if ((tio.c_cflag & CSTOPB) == 0) {
      state.stopBits = 0;
    } else if (state.stopBits == 0) {
      state.stopBits = 2;
    }
    switch (tio.c_cflag & CSIZE) {
      case CS5: state.byteSize = 5; break;
      case CS6: state.byteSize = 6; break;
      case CS7: state.byteSize = 7; break;
      default: state.byteSize = 8; break;
    }
    const auto setFlag = [&state](std::uint32_t flag, bool on) {
      state.flags = on ? (state.flags | flag) : (state.flags & ~flag);
    };
    setFlag(kFlagCtsOutput, (tio.c_cflag & CRTSCTS) != 0);
    setFlag(kFlagXonXoffOutput, (tio.c_iflag & IXON) != 0);
    setFlag(kFlagXonXoffInput, (tio.c_iflag & IXOFF) != 0);
    state.xonChar = tio.c_cc[VSTART];
    state.xoffChar = tio.c_cc[VSTOP];
    return true;
  }

  bool setState(const LineState& state) override {
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return false;
    const speed_t previousSpeed = ::cfgetospeed(&tio);
    ::cfmakeraw(&tio);
    // Raw bytes, no modem-status dependence, and the lines left alone on close.
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(HUPCL | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    switch (state.byteSize) {
      case 5: tio.c_cflag |= CS5; break;
      case 6: tio.c_cflag |= CS6; break;
      case 7: tio.c_cflag |= CS7; break;
      default: tio.c_cflag |= CS8; break;
    }
    switch (state.parity) {
      case 1: tio.c_cflag |= PARENB | PARODD; break;
      case 2: tio.c_cflag |= PARENB; break;
      case 3: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
      case 4: tio.c_cflag |= PARENB | CMSPAR; break;
      default: break;
    }
    // With five data bits the line's "two stop bits" are one and a half.
    if (state.stopBits != 0) tio.c_cflag |= CSTOPB;
    if ((state.flags & (kFlagCtsOutput | kFlagRtsHandshake)) != 0) tio.c_cflag |= CRTSCTS;
    if ((state.flags & kFlagXonXoffOutput) != 0) tio.c_iflag |= IXON;
    if ((state.flags & kFlagXonXoffInput) != 0) tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = state.xonChar;
    tio.c_cc[VSTOP] = state.xoffChar;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    speed_t code = previousSpeed;
    const bool speedKnown = speedCode(state.baudRate, code);
    ::cfsetspeed(&tio, code);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return false;
    applied_ = state;
    if (!speedKnown) applied_.baudRate = speedRate(previousSpeed, applied_.baudRate);
    return speedKnown;
  }

  bool setModemLine(ModemLine line, bool on) override {
    int bits = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
  }

  std::size_t waiting() override {
    int count = 0;
    if (::ioctl(fd_, FIONREAD, &count) != 0 || count < 0) return 0;
    return static_cast<std::size_t>(count);
  }

  IoResult read(unsigned char* dst, std::size_t count) override {
    const ssize_t got = ::read(fd_, dst, count);
    if (got < 0) return failure(errno);
    return {static_cast<std::size_t>(got), IoStatus::Done, 0};
  }

  IoResult write(const unsigned char* src, std::size_t count) override {
    const ssize_t put = ::write(fd_, src, count);
    if (put < 0) return failure(errno);
    return {static_cast<std::size_t>(put), IoStatus::Done, 0};
  }

  void waitReadable(std::chrono::milliseconds limit) override {
    pollfd entries[] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    ::poll(entries, wake_[0] >= 0 ? 2 : 1, static_cast<int>(limit.count()));
    if ((entries[1].revents & POLLIN) != 0) {
      unsigned char taken[16];
      while (::read(wake_[0], taken, sizeof taken) > 0) {
      }
    }
  }

  void wakeReader() noexcept override {
    if (wake_[1] < 0) return;
    const unsigned char one = 1;
    (void)!::write(wake_[1], &one, 1);
  }

  bool hungUp() override {
    pollfd entry{fd_, POLLIN, 0};
    if (::poll(&entry, 1, 0) < 0) return false;
    return (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  }

  void waitWritable(std::chrono::milliseconds limit) override {
    pollfd entry{fd_, POLLOUT, 0};
    ::poll(&entry, 1, static_cast<int>(limit.count()));
  }

  std::size_t outputWaiting() override {
    int count = 0;
    if (::ioctl(fd_, TIOCOUTQ, &count) != 0 || count < 0) return 0;
    return static_cast<std::size_t>(count);
  }

  void purgeInput() override { ::tcflush(fd_, TCIFLUSH); }
  void purgeOutput() override { ::tcflush(fd_, TCOFLUSH); }

 private:
  int fd_;
  int wake_[2] = {-1, -1};
  LineState applied_;
};

// The group that owns the device, when its members may read and write it.
std::string groupWithAccess(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) return {};
  std::vector<char> buffer(16384);
  struct group entry {};
  struct group* found = nullptr;
  if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return {};
  return found->gr_name;
}

std::string permissionHint(int error) {
  if (error != EACCES && error != EPERM) return {};
  return "; the user may need to join the group that owns the device (often \"dialout\")";
}

}  // namespace

// Sleeps keep their time here: nothing to hold.
FineTimer::FineTimer() = default;
FineTimer::~FineTimer() = default;

std::string errorText(int error) {
  const char* description = ::strerrordesc_np(error);
  const char* name = ::strerrorname_np(error);
  std::string text = description != nullptr ? description : "Unknown error " + std::to_string(error);
  if (name != nullptr) text += std::string(" (") + name + ")";
  return text;
}

OpenResult openSerialDevice(const std::string& path) {
  // Non-blocking also keeps the open itself from waiting for a carrier.
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    const bool missing = error == ENOENT || error == ENODEV || error == ENXIO || error == EIO;
    const bool refused = error == EACCES || error == EPERM;
    return {nullptr, errorText(error) + permissionHint(error), missing, refused,
            refused ? groupWithAccess(path) : std::string()};
  }
  // TIOCEXCL keeps other users out but not root; the lock keeps everyone out,
  // including a second open from this very process.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) {
      return {nullptr, "the device is in use: another program or port holds it (EWOULDBLOCK)"};
    }
    return {nullptr, "the device cannot be locked: " + errorText(error)};
  }
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    const int error = errno;
    ::close(fd);
    return {nullptr, "not a serial device: " + errorText(error)};
  }
  ::ioctl(fd, TIOCEXCL);
  auto device = std::make_unique<PosixSerialDevice>(fd);
  device->setState(LineState{});
  return {std::move(device), {}};
}

}  // namespace korsi::serial
