#include "link/uart.h"

#include "link/link_wait.h"

UartBase::UartBase(TCommPort& port) : port_(&port) { port_->setBaudRate(TCommPort::kBaud115200); }

UartBase::~UartBase() { port_->setActive(false); }

void putByte(TCommPort& port, std::uint8_t b) { port.writeByte(b); }

int getBytes(TCommPort& port, std::uint8_t* buffer, std::uint8_t n) {
  constexpr int kSleeps = 2;
  for (std::uint8_t i = 0; i < n; ++i) {
    int slept = 0;
    while (!port.inputWaiting()) {
      if (slept == kSleeps) {
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

void drain(TCommPort& port) {
  for (;;) {
    korsi::link::linkWait(kByteWait);
    if (available(port) == 0) return;
    port.purgeInput();
  }
}
