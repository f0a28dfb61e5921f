// POSIX pseudo-terminal: posix_openpt on the simulator's side, the slave
// device for the serial-port user.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "simulator/pseudo_terminal.h"

namespace korsi::sim {

namespace {

constexpr auto kWriteStall = std::chrono::milliseconds(100);

[[noreturn]] void throwSystemError(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

struct PseudoTerminal::Impl {
  int master = -1;
  // Our own descriptor of the device side. While it is open the terminal never
  // hangs up when a user closes the device, so the simulator goes on without
  // EIO, and the line settings stay as set.
  int slave = -1;
  int wakeRead = -1;
  int wakeWrite = -1;
  std::string path;

  ~Impl() {
    closeFd(slave);
    closeFd(master);
    closeFd(wakeRead);
    closeFd(wakeWrite);
  }

  // Waits for fd to become ready for events or for a wake; true when fd is ready.
  // A negative timeout waits without end.
  bool waitFor(int fd, short events, int timeoutMs, bool* woken) const {
    pollfd fds[2] = {{wakeRead, POLLIN, 0}, {fd, events, 0}};
    const nfds_t count = fd >= 0 ? 2 : 1;
    for (;;) {
      const int ready = ::poll(fds, count, timeoutMs);
      if (ready < 0 && errno == EINTR) continue;
      *woken = ready > 0 && (fds[0].revents & POLLIN) != 0;
      return !*woken && ready > 0 && count == 2 && fds[1].revents != 0;
    }
  }
};

PseudoTerminal::PseudoTerminal() : impl_(std::make_unique<Impl>()) {
  Impl& p = *impl_;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) throwSystemError("pipe2");
  p.wakeRead = pipeFds[0];
  p.wakeWrite = pipeFds[1];

  p.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (p.master < 0) throwSystemError("posix_openpt");
  if (::grantpt(p.master) != 0) throwSystemError("grantpt");
  if (::unlockpt(p.master) != 0) throwSystemError("unlockpt");
  char name[128];
  if (::ptsname_r(p.master, name, sizeof name) != 0) throwSystemError("ptsname_r");
  p.path = name;
  if (::fcntl(p.master, F_SETFL, ::fcntl(p.master, F_GETFL) | O_NONBLOCK) != 0) throwSystemError("fcntl");

  p.slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (p.slave < 0) throwSystemError("open pseudo-terminal device");
  termios settings{};
  if (::tcgetattr(p.slave, &settings) != 0) throwSystemError("tcgetattr");
  ::cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  ::cfsetspeed(&settings, B115200);
  if (::tcsetattr(p.slave, TCSANOW, &settings) != 0) throwSystemError("tcsetattr");
}

PseudoTerminal::~PseudoTerminal() = default;

const std::string& PseudoTerminal::devicePath() const { return impl_->path; }

PseudoTerminal::ReadResult PseudoTerminal::read(unsigned char* buffer, std::size_t capacity, std::size_t* count) {
  *count = 0;
  bool woken = false;
  if (impl_->master < 0) return ReadResult::Failed;
  if (!impl_->waitFor(impl_->master, POLLIN, -1, &woken)) return woken ? ReadResult::Woken : ReadResult::Failed;
  const ssize_t got = ::read(impl_->master, buffer, capacity);
  if (got > 0) {
    *count = static_cast<std::size_t>(got);
    return ReadResult::Data;
  }
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) return ReadResult::Data;
  return ReadResult::Failed;
}

std::size_t PseudoTerminal::dropInput() {
  unsigned char buffer[256];
  std::size_t dropped = 0;
  while (impl_->master >= 0) {
    const ssize_t got = ::read(impl_->master, buffer, sizeof buffer);
    if (got > 0) {
      dropped += static_cast<std::size_t>(got);
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    break;
  }
  return dropped;
}

void PseudoTerminal::write(const unsigned char* bytes, std::size_t count) {
  while (count > 0 && impl_->master >= 0) {
    const ssize_t put = ::write(impl_->master, bytes, count);
    if (put > 0) {
      bytes += put;
      count -= static_cast<std::size_t>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    bool woken = false;
    if (put < 0 && errno == EAGAIN &&
        impl_->waitFor(impl_->master, POLLOUT, static_cast<int>(kWriteStall.count()), &woken)) {
      continue;
    }
    return;  // the device side takes nothing more: the rest is lost
  }
}

bool PseudoTerminal::pause(std::chrono::microseconds duration) {
  // ppoll: a never-quiet line pauses for less than a millisecond.
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
  timespec limit{static_cast<time_t>(seconds.count()),
                 static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(duration - seconds).count())};
  pollfd wake{impl_->wakeRead, POLLIN, 0};
  for (;;) {
    const int ready = ::ppoll(&wake, 1, &limit, nullptr);
    if (ready < 0 && errno == EINTR) continue;  // the limit is not renewed: a signal rarely comes here
    return !(ready > 0 && (wake.revents & POLLIN) != 0);
  }
}

void PseudoTerminal::wake() {
  const unsigned char byte = 1;
  // The pipe stays readable from now on; nothing ever reads it.
  while (::write(impl_->wakeWrite, &byte, 1) < 0 && errno == EINTR) {
  }
}

void PseudoTerminal::close() {
  closeFd(impl_->slave);
  closeFd(impl_->master);
}

}  // namespace korsi::sim
