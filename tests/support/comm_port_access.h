#pragma once
// Lets the ring tests put the receive ring's head where a wrap happens and
// look at what the port keeps to itself; lets a test run the port on a device
// double without its threads, moving the received bytes itself.

#include <algorithm>
#include <memory>
#include <mutex>

#include "link/comm_port.h"

namespace korsi::test {

class CommPortAccess {
 public:
  // Empties the receive ring with its head at h (the port must be open).
  static void placeEmptyRxHead(TCommPort& port, std::uint32_t h) {
    std::lock_guard lock(port.rxLock);
    port.rxHead = h;
    port.rxCount = 0;
  }
  static std::uint32_t rxHead(TCommPort& port) {
    std::lock_guard lock(port.rxLock);
    return port.rxHead;
  }
  static bool txEventSet(TCommPort& port) { return port.txEvent.isSet(); }
  static const void* readThread(TCommPort& port) { return port.readThread.get(); }
  static const void* writeThread(TCommPort& port) { return port.writeThread.get(); }

  // Opens port on device with empty rings but without the reader and writer
  // threads: readerPass stands for the reader and writerPass for the writer.
  static void attach(TCommPort& port, std::unique_ptr<serial::SerialDevice> device) {
    port.rxSize = TCommPort::kRxSize;
    port.txSize = TCommPort::kTxSize;
    port.rxHead = port.txHead = 0;
    port.rxCount = port.txCount = 0;
    port.rxBuffer = std::make_unique<unsigned char[]>(port.rxSize);
    port.txBuffer = std::make_unique<unsigned char[]>(port.txSize);
    port.handle = std::move(device);
    port.active = true;
  }
  // Closes a port that attach opened.
  static void detach(TCommPort& port) {
    port.handle.reset();
    port.freeBuffers();
    port.active = false;
  }
  // One pass of the reader thread: moves what the device holds into the
  // receive ring, as far as the ring's contiguous free stretch reaches.
  static void readerPass(TCommPort& port) {
    const std::size_t held = port.handle->waiting();
    if (held == 0) return;
    std::lock_guard lock(port.rxLock);
    const std::uint32_t w = port.rxHead + port.rxCount;
    const std::uint32_t at = w < port.rxSize ? w : w - port.rxSize;
    const std::uint32_t room = w < port.rxSize ? port.rxSize - w : port.rxHead - at;
    const std::size_t k = std::min<std::size_t>(room, held);
    if (k == 0) return;
    const serial::IoResult got = port.handle->read(port.rxBuffer.get() + at, k);
    port.rxCount += static_cast<std::uint32_t>(got.bytes);
  }
  // One pass of the writer thread: hands what the transmit ring holds to the
  // device, as far as the ring's contiguous stretch reaches.
  static void writerPass(TCommPort& port) {
    std::lock_guard lock(port.txLock);
    const std::uint32_t c = port.txCount;
    if (c == 0) return;
    const std::uint32_t h = port.txHead;
    const std::uint32_t run = h + c < port.txSize ? c : port.txSize - h;
    const serial::IoResult put = port.handle->write(port.txBuffer.get() + h, run);
    port.txCount -= static_cast<std::uint32_t>(put.bytes);
    port.txHead = (port.txHead + static_cast<std::uint32_t>(put.bytes)) % port.txSize;
  }
};

}  // namespace korsi::test
