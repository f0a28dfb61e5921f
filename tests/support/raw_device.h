#pragma once
// A serial device opened with plain POSIX calls in raw mode, for tests that
// talk to the gauge simulator (or any peer) over a real pseudo-terminal.
// Waits are bounded so that a missing reply fails a test instead of hanging it.

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace korsi::test {

class RawDevice {
 public:
  using Bytes = std::vector<unsigned char>;

  explicit RawDevice(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return;
    termios settings{};
    ::tcgetattr(fd_, &settings);
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::cfsetspeed(&settings, B115200);
    ::tcsetattr(fd_, TCSANOW, &settings);
    ::tcflush(fd_, TCIOFLUSH);
  }
  ~RawDevice() { close(); }
  RawDevice(const RawDevice&) = delete;
  RawDevice& operator=(const RawDevice&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool write(const Bytes& bytes) {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  template <class Frame>
  bool writeFrame(const Frame& frame) {
    return write(Bytes(frame.begin(), frame.end()));
  }

  // Bytes waiting to be read.
  std::size_t waiting() const {
    int count = 0;
    return ::ioctl(fd_, FIONREAD, &count) == 0 && count > 0 ? static_cast<std::size_t>(count) : 0;
  }

  // Reads until count bytes have come or limit has passed; returns what came.
  Bytes readExactly(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    Bytes bytes;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (bytes.size() < count && readSome(bytes, count - bytes.size(), deadline)) {
    }
    return bytes;
  }

  // Reads one reply: waits up to limit for its first byte, then takes bytes
  // until the line has been silent for silence.
  Bytes readReply(std::chrono::milliseconds silence = std::chrono::milliseconds(30),
                  std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    Bytes bytes;
    if (!readSome(bytes, 4096, std::chrono::steady_clock::now() + limit)) return bytes;
    while (readSome(bytes, 4096, std::chrono::steady_clock::now() + silence)) {
    }
    return bytes;
  }

  // Result of read() once the other side has gone: -1 (EIO) or 0 (end).
  ssize_t readAfterHangUp() {
    pollfd p{fd_, POLLIN, 0};
    ::poll(&p, 1, 5000);
    unsigned char byte = 0;
    return ::read(fd_, &byte, 1);
  }

 private:
  // Appends up to most bytes that come before deadline; false when none came.
  bool readSome(Bytes& bytes, std::size_t most, std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0 || (p.revents & POLLIN) == 0) return false;
    unsigned char buffer[4096];
    const ssize_t got = ::read(fd_, buffer, most < sizeof buffer ? most : sizeof buffer);
    if (got <= 0) return false;
    bytes.insert(bytes.end(), buffer, buffer + got);
    return true;
  }

  int fd_ = -1;
};

}  // namespace korsi::test
