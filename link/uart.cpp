#include "link/uart.h"

#include "link/link_wait.h"

UartBase::UartBase(TCommPort& port) : port_(&port) { port_->setBaudRate(TCommPort::kBaud115200); }

UartBase::~UartBase() { port_->setActive(false); }

void putByte(TCommPort& port, std::uint8_t b) { port.writeByte(b); }

bool readerLagging(TCommPort& port, int extraSleeps) {
  // Bytes the driver holds are not silence, only the reader's lag; but a
  // driver that reports bytes nobody can take must not hold the caller.
  return extraSleeps < kReaderLagSleeps && !port.deviceGone() && port.driverWaitingCount() != 0;
}

int getBytes(TCommPort& port, std::uint8_t* buffer, std::uint8_t n) {
  constexpr int kSleeps = 2;
  for (std::uint8_t i = 0; i < n; ++i) {
    int slept = 0;
    while (!port.inputWaiting()) {
      if (slept >= kSleeps && !readerLagging(port, slept - kSleeps)) {
        port.purgeInput();
        return kGetBytesTimeout;
      }
      korsi::link::linkWait(kByteWait);
      ++slept;
    }
    buffer[i] = port.readByte();
  }
  return 0;
}

std::uint32_t available(TCommPort& port) { return port.waitingCount(); }

std::uint8_t peek(TCommPort& port, std::uint32_t i) { return port.peek(i); }

bool drain(TCommPort& port) {
  const auto deadline = std::chrono::steady_clock::now() + kDrainTimeBudget;
  std::uint32_t purged = 0;
  for (;;) {
    korsi::link::linkWait(kByteWait);
    // The driver's count too: the reader moves bytes only every millisecond,
    // and bytes that came during the sleep are not silence.
    const std::uint32_t waiting = available(port) + port.driverWaitingCount();
    if (waiting == 0) return true;
    port.purgeInput();
    purged += waiting;
    if (purged >= kDrainByteBudget || std::chrono::steady_clock::now() >= deadline) return false;
  }
}
