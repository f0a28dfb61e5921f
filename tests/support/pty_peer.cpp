#include "tests/support/pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace korsi::test {

PtyPeer::PtyPeer() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    throw std::runtime_error("cannot make a pseudo-terminal");
  }
  char name[PATH_MAX];
  if (::ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("no pseudo-terminal name");
  devicePath_ = name;
  // Raw from the start, so bytes sent before the port opens are not echoed.
  termios tio{};
  ::tcgetattr(master_, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(master_, TCSANOW, &tio);
}

PtyPeer::~PtyPeer() {
  stopFlood();
  waitPlayed();
  hangUp();
}

void PtyPeer::send(const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (put > 0) {
      done += static_cast<std::size_t>(put);
    } else if (put < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd entry{master_, POLLOUT, 0};
      ::poll(&entry, 1, 10);
    } else {
      return;
    }
  }
}

void PtyPeer::play(std::vector<Step> steps) {
  waitPlayed();
  player_ = std::thread([this, steps = std::move(steps)] {
    for (const Step& step : steps) {
      send(step.bytes);
      std::this_thread::sleep_for(step.pauseAfter);
    }
  });
}

void PtyPeer::waitPlayed() {
  if (player_.joinable()) player_.join();
}

Bytes PtyPeer::receive(std::size_t count, std::chrono::milliseconds limit) {
  Bytes got;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
    std::uint8_t chunk[4096];
    const std::size_t want = std::min(sizeof chunk, count - got.size());
    const ssize_t n = ::read(master_, chunk, want);
    if (n > 0) {
      got.insert(got.end(), chunk, chunk + n);
    } else {
      // EAGAIN: nothing yet; EIO: the port has the device side closed.
      pollfd entry{master_, POLLIN, 0};
      if (::poll(&entry, 1, 5) < 0 || (entry.revents & POLLHUP) != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
  }
  return got;
}

Bytes PtyPeer::receiveWaiting() {
  Bytes got;
  std::uint8_t chunk[4096];
  for (;;) {
    const ssize_t n = ::read(master_, chunk, sizeof chunk);
    if (n <= 0) return got;
    got.insert(got.end(), chunk, chunk + n);
  }
}

void PtyPeer::startFlood(Bytes prefix) {
  flooding_ = true;
  flooder_ = std::thread([this, prefix = std::move(prefix)] {
    send(prefix);
    const Bytes noise(64, 0x55);
    while (flooding_.load()) {
      // A short rest when the terminal is full, so that a purge on the other
      // side is refilled at once, as a line that keeps sending would.
      if (::write(master_, noise.data(), noise.size()) < 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
  });
}

void PtyPeer::stopFlood() {
  flooding_ = false;
  if (flooder_.joinable()) flooder_.join();
}

termios PtyPeer::lineSettings() const {
  termios tio{};
  ::tcgetattr(master_, &tio);
  return tio;
}

void PtyPeer::hangUp() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

}  // namespace korsi::test
