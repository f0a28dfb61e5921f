#pragma once
// Lets the ring tests put the receive ring's head where a wrap happens and
// look at what the port keeps to itself.

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
};

}  // namespace korsi::test
