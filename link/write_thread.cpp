#include "link/write_thread.h"

#include <mutex>

#include "link/comm_port.h"
#include "services/logs.h"

TWriteThread::TWriteThread(TCommPort& owner)
    : device(owner.handle.get()), port(&owner), thread(&TWriteThread::execute, this) {}

TWriteThread::~TWriteThread() {
  terminate();
  waitFor();
}

void TWriteThread::waitFor() {
  if (thread.joinable()) thread.join();
}

void TWriteThread::execute() {
  while (!terminated.load()) {
    port->txEvent.wait();
    if (port->txCount.load() == 0) {
      // Cleared under the lock and after a second look, so bytes queued
      // between the two looks keep the event set and are sent at once.
      std::lock_guard lock(port->txLock);
      if (port->txCount == 0) port->txEvent.reset();
      continue;
    }
    sendQueued();
  }
  // The flag may have been set before this thread ever ran: what is still
  // queued goes out now (or is dropped within the closing stall limit).
  sendQueued();
}

void TWriteThread::sendQueued() {
  std::chrono::milliseconds stalled{0};
  while (port->txCount.load() != 0) {
    korsi::serial::IoResult result;
    {
      // One non-blocking driver call under the lock, so a purge cannot
      // change the ring between sending a run and counting it sent.
      std::lock_guard lock(port->txLock);
      const std::uint32_t h = port->txHead;
      const std::uint32_t c = port->txCount;
      if (c == 0) break;
      const std::uint32_t run = h + c < port->txSize ? c : port->txSize - h;
      result = device->write(port->txBuffer.get() + h, run);
      if (result.bytes != 0) {
        port->txCount -= static_cast<std::uint32_t>(result.bytes);
        port->txHead += static_cast<std::uint32_t>(result.bytes);
        if (port->txHead >= port->txSize) port->txHead -= port->txSize;
      }
    }
    if (result.bytes != 0) {
      stalled = std::chrono::milliseconds{0};
      continue;
    }
    if (result.status == korsi::serial::IoStatus::Gone) {
      dropQueued("the device has failed or gone", result.error);
      return;
    }
    const auto limit = terminated.load() ? kClosingStallLimit : kStallLimit;
    if (stalled >= limit) {
      dropQueued("the device takes no more bytes", result.error);
      return;
    }
    device->waitWritable(kWaitSlice);
    stalled += kWaitSlice;
  }
}

void TWriteThread::dropQueued(const char* why, int error) {
  std::uint32_t dropped = 0;
  {
    std::lock_guard lock(port->txLock);
    dropped = port->txCount;
    port->txCount = 0;
  }
  // Once per open: a dead device would otherwise add a line per request.
  if (failureLogged) return;
  failureLogged = true;
  if (error != 0) {
    LOG_ERR("COM port write failed, ", dropped, " bytes dropped: ", why, ": ", korsi::serial::errorText(error));
  } else {
    LOG_ERR("COM port write failed, ", dropped, " bytes dropped: ", why);
  }
}
