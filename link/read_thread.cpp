#include "link/read_thread.h"

#include <algorithm>
#include <mutex>

#include "link/comm_port.h"

TReadThread::TReadThread(TCommPort& owner)
    : port(&owner), device(owner.handle.get()), thread(&TReadThread::execute, this) {}

TReadThread::~TReadThread() {
  terminate();
  waitFor();
}

void TReadThread::terminate() noexcept {
  {
    std::lock_guard lock(restMutex);
    terminated.store(true);
  }
  restWake.notify_all();
  device->wakeReader();
}

void TReadThread::waitFor() {
  if (thread.joinable()) thread.join();
}

void TReadThread::execute() {
  // The flag is tested on every pass, so a line that never falls silent
  // cannot keep the port from closing.
  bool prompt = false;
  while (!terminated.load()) {
    if (!prompt) std::this_thread::sleep_for(kPollInterval);
    const bool wasPrompt = prompt;
    prompt = false;
    const std::size_t held = device->waiting();
    if (held == 0) {
      // A quiet line: rather than waking every millisecond, wait in the driver
      // until bytes arrive. The limit bounds how long a close waits for the thread.
      device->waitReadable(kIdleWait);
      // After a hang-up every wait returns at once: rest instead of spinning.
      if (device->hungUp()) restWhileGone();
      // The first bytes of a reply are taken at once, without the 1 ms sleep
      // (while bytes keep coming the passes are 1 ms apart again). Never twice
      // running: a wait that returns with nothing to read cannot make a spin.
      prompt = !wasPrompt;
      continue;
    }
    if (moveHeldBytes(held) == korsi::serial::IoStatus::Gone && device->hungUp()) restWhileGone();
  }
}

korsi::serial::IoStatus TReadThread::moveHeldBytes(std::size_t held) {
  // The whole pass runs under the lock: the read never waits (the bytes are
  // already in the driver), and a purge cannot slip between choosing the
  // store position and counting what was stored there.
  std::lock_guard lock(port->rxLock);
  const std::uint32_t h = port->rxHead;
  const std::uint32_t c = port->rxCount;
  const std::uint32_t size = port->rxSize;
  const std::uint32_t w = h + c;
  // The contiguous free stretch from the store position.
  const std::uint32_t at = w < size ? w : w - size;
  const std::uint32_t room = w < size ? size - w : h - at;
  const std::size_t k = std::min<std::size_t>(room, held);
  if (k == 0) return korsi::serial::IoStatus::Done;  // ring full: the bytes wait in the driver
  const korsi::serial::IoResult got = device->read(port->rxBuffer.get() + at, k);
  if (got.bytes != 0) {
    port->rxCount += static_cast<std::uint32_t>(got.bytes);
    port->rxArrived.notify_all();  // a master waiting for a reply takes it at once
  }
  return got.status;
}

void TReadThread::restWhileGone() {
  {
    std::lock_guard lock(port->rxLock);
    port->gone.store(true);
  }
  port->rxArrived.notify_all();
  std::unique_lock lock(restMutex);
  while (!terminated.load() && device->hungUp()) restWake.wait_for(lock, kGoneRest);
  if (!terminated.load()) port->gone.store(false);
}
