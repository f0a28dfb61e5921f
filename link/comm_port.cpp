#include "link/comm_port.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "link/read_thread.h"
#include "link/write_thread.h"
#include "services/logs.h"
#include "services/error_box.h"

namespace {

constexpr std::array<std::uint32_t, 16> kBaudTable{
    110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, 230400, 256000,
};

// The whole flag word of each flow-control mode; any other mode is mode 0.
std::uint32_t flowControlFlags(std::uint8_t mode) {
  switch (mode) {
    case 1: return 0x1311;  // XON/XOFF both ways, DTR and RTS enabled
    case 2: return 0x202D;  // CTS/DSR output control, DTR and RTS handshake
    default: return 0x0001;  // binary mode only
  }
}

constexpr const char* kWarningCaption = "COM port warning";

}  // namespace

const char* ComPortException::what() const noexcept {
  switch (code_) {
    case kOk: return "OK";
    case kCantOpen: return "Can't open port";
    default: return "Unknown";
  }
}

TCommPort::TCommPort() = default;

TCommPort::TCommPort(korsi::PortResolver portResolver) : resolver(std::move(portResolver)) {}

TCommPort::~TCommPort() { close(); }

void TCommPort::setPortResolver(korsi::PortResolver portResolver) { resolver = std::move(portResolver); }

void TCommPort::setPortNumber(std::int32_t n) {
  if (active) setActive(false);
  portNumber = n;
}

void TCommPort::setActive(bool on) {
  if (on == active) return;
  if (on) {
    open();
  } else {
    close();
  }
}

void TCommPort::freeBuffers() noexcept {
  txBuffer.reset();
  rxBuffer.reset();
  txHead = 0;
  txCount = 0;
  rxHead = 0;
  rxCount = 0;
}

void TCommPort::open() {
  if (active) return;
  rxSize = kRxSize;
  txSize = kTxSize;
  txHead = 0;
  txCount = 0;
  rxHead = 0;
  rxCount = 0;
  txBuffer = std::make_unique<unsigned char[]>(txSize);
  rxBuffer = std::make_unique<unsigned char[]>(rxSize);

  lastAccessRefusal_.reset();
  const auto path = resolver.devicePath(portNumber);
  if (!path) {
    freeBuffers();
    lastOpenFailure_ = "no device has this port number";
    throw ComPortException(ComPortException::kCantOpen, true);
  }
  korsi::serial::OpenResult opened = resolver.openDevice(portNumber, *path);
  if (!opened.device) {
    freeBuffers();
    lastOpenFailure_ = opened.reason;
    if (opened.refused) lastAccessRefusal_ = AccessRefusal{*path, opened.accessGroup};
    if (!opened.missing) LOG_ERR("Can't open port COM", portNumber, " (", *path, "): ", opened.reason);
    throw ComPortException(ComPortException::kCantOpen, opened.missing);
  }
  handle = std::move(opened.device);
  fineTimer_.emplace();
  ++openings_;
  lastOpenFailure_.clear();

  // The driver sizes its own queues and never waits on a read, so the queue
  // sizes and zero time-outs need no call of their own here.
  setFlowControl(flowControl);
  setBaudRate(baudIndex);
  setParity(parityIndex);
  setStopBits(stopBitsIndex);
  setByteSize(byteSize);
  setXonLimit(xonLimit);
  setXoffLimit(xoffLimit);
  setXonChar(xonChar);
  setXoffChar(xoffChar);
  setEventChar(eventChar);

  gone = false;
  try {
    readThread = std::make_unique<TReadThread>(*this);
    txEvent.reset();
    writeThread = std::make_unique<TWriteThread>(*this);
  } catch (...) {
    readThread.reset();
    handle.reset();
    fineTimer_.reset();
    freeBuffers();
    throw;
  }
  active = true;
  setDtr(dtr);
  setRts(rts);
}

void TCommPort::close() {
  if (!active) return;
  readThread->terminate();
  readThread->waitFor();
  readThread.reset();
  writeThread->terminate();
  txEvent.set();
  writeThread->waitFor();
  writeThread.reset();
  handle.reset();
  fineTimer_.reset();
  freeBuffers();
  gone = false;
  active = false;
}

template <class Change>
void TCommPort::applySetting(Change change) {
  if (!isHandleValid()) return;
  handle->getState(dcb);
  change(dcb);
  handle->setState(dcb);
}

void TCommPort::setBaudRate(std::uint8_t index) {
  baudIndex = index;
  if (index >= kBaudTable.size()) return;
  applySetting([index](korsi::serial::LineState& s) { s.baudRate = kBaudTable[index]; });
}

void TCommPort::setParity(std::uint8_t index) {
  parityIndex = index;
  if (index > 4) return;
  applySetting([index](korsi::serial::LineState& s) { s.parity = index; });
}

void TCommPort::setFlowControl(std::uint8_t mode) {
  flowControl = mode;
  applySetting([mode](korsi::serial::LineState& s) { s.flags = flowControlFlags(mode); });
}

void TCommPort::setStopBits(std::uint8_t index) {
  stopBitsIndex = index;
  if (index <= 2) applySetting([index](korsi::serial::LineState& s) { s.stopBits = index; });
  checkFrameFormat();
}

void TCommPort::setByteSize(std::uint16_t bits) {
  if (bits < 5 || bits > 8) bits = 8;
  byteSize = bits;
  applySetting([bits](korsi::serial::LineState& s) { s.byteSize = static_cast<std::uint8_t>(bits); });
  checkFrameFormat();
}

void TCommPort::setXonLimit(std::uint16_t value) {
  xonLimit = value;
  applySetting([value](korsi::serial::LineState& s) { s.xonLimit = value; });
}

void TCommPort::setXoffLimit(std::uint16_t value) {
  const std::uint32_t queue = std::min<std::uint32_t>(rxSize, 65535);
  xoffLimit = static_cast<std::uint16_t>(std::min<std::uint32_t>(value, queue));
  applySetting([limit = xoffLimit](korsi::serial::LineState& s) { s.xoffLimit = limit; });
}

void TCommPort::setXonChar(std::uint8_t value) {
  xonChar = value;
  applySetting([value](korsi::serial::LineState& s) { s.xonChar = value; });
}

void TCommPort::setXoffChar(std::uint8_t value) {
  xoffChar = value;
  applySetting([value](korsi::serial::LineState& s) { s.xoffChar = value; });
}

void TCommPort::setEventChar(std::uint8_t value) {
  eventChar = value;
  applySetting([value](korsi::serial::LineState& s) { s.eventChar = value; });
}

void TCommPort::checkFrameFormat() const {
  // Only warns; the setting stays as it was set.
  if (byteSize == 5 && stopBitsIndex == 2) {
    korsi::showWarningBox("Invalid combination (5 data bits with 2 stop bits)", kWarningCaption);
  } else if (byteSize != 5 && stopBitsIndex == 1) {
    korsi::showWarningBox("Invalid combination (6,7 or 8 data bits with 1.5 stop bits)", kWarningCaption);
  }
}

bool TCommPort::applyModemLine(korsi::serial::ModemLine line, bool on) {
  return !active || !isHandleValid() || handle->setModemLine(line, on);
}

void TCommPort::setDtr(bool on) {
  if (applyModemLine(korsi::serial::ModemLine::Dtr, on)) dtr = on;
}

void TCommPort::setRts(bool on) {
  if (applyModemLine(korsi::serial::ModemLine::Rts, on)) rts = on;
}

std::uint32_t TCommPort::write(const unsigned char* src, std::uint32_t n) {
  if (!isHandleValid()) return 0;
  std::uint32_t h = 0;
  std::uint32_t c = 0;
  {
    std::lock_guard lock(txLock);
    h = txHead;
    c = txCount;
  }
  // The free space starts at h + c (mod size) and ends just before h.
  std::uint32_t w = h + c;
  std::uint32_t first = 0;
  std::uint32_t second = 0;
  if (w < txSize) {
    first = std::min(n, txSize - w);
    if (n > first) second = std::min(n - first, h);
  } else {
    w -= txSize;
    first = std::min(n, h - w);
  }
  // Only the writer reads the ring, and only the bytes counted; these are not yet.
  std::memcpy(txBuffer.get() + w, src, first);
  if (second != 0) std::memcpy(txBuffer.get(), src + first, second);
  const std::uint32_t total = first + second;
  {
    std::lock_guard lock(txLock);
    txCount += total;
  }
  if (total != 0) txEvent.set();
  return total;
}

int TCommPort::writeByte(unsigned char b) { return write(&b, 1) == 1 ? 1 : 0; }

std::uint32_t TCommPort::read(unsigned char* dst, std::uint32_t n) {
  if (!isHandleValid() || rxCount.load(std::memory_order_relaxed) == 0) {
    LOG_INF("return(0)");
    return 0;
  }
  std::uint32_t a = 0;
  std::uint32_t h = 0;
  {
    std::lock_guard lock(rxLock);
    a = rxCount;
    h = rxHead;
  }
  std::uint32_t first = 0;
  std::uint32_t second = 0;
  if (h + a < rxSize) {
    first = std::min(n, a);
  } else {
    first = std::min(n, rxSize - h);
    if (n > first) second = std::min(n - first, h + a - rxSize);
  }
  // The reader never writes the bytes counted as waiting.
  std::memcpy(dst, rxBuffer.get() + h, first);
  if (second != 0) std::memcpy(dst + first, rxBuffer.get(), second);
  const std::uint32_t total = first + second;
  {
    std::lock_guard lock(rxLock);
    rxCount -= total;
    rxHead += total;
    if (rxHead >= rxSize) rxHead -= rxSize;
  }
  return total;
}

unsigned char TCommPort::readByte() {
  if (rxCount.load(std::memory_order_relaxed) == 0) return 0;
  unsigned char b = 0;
  read(&b, 1);
  return b;
}

bool TCommPort::inputWaiting() const noexcept { return rxCount.load(std::memory_order_relaxed) != 0; }

std::uint32_t TCommPort::waitingCount() const {
  std::lock_guard lock(rxLock);
  return rxCount;
}

std::uint32_t TCommPort::driverWaitingCount() const {
  if (!isHandleValid()) return 0;
  return static_cast<std::uint32_t>(std::min<std::size_t>(handle->waiting(), UINT32_MAX));
}

std::uint32_t TCommPort::driverOutputCount() const {
  if (!isHandleValid()) return 0;
  return static_cast<std::uint32_t>(std::min<std::size_t>(handle->outputWaiting(), UINT32_MAX));
}

bool TCommPort::waitForInput(std::uint32_t count, std::chrono::steady_clock::time_point until) const {
  std::unique_lock lock(rxLock);
  rxArrived.wait_until(lock, until, [&] { return rxCount >= count || gone.load(); });
  return rxCount >= count;
}

unsigned char TCommPort::peek(std::uint32_t i) const {
  std::lock_guard lock(rxLock);
  if (!rxBuffer || i >= rxCount) return 0;
  return rxBuffer[(rxHead + i) % rxSize];
}

void TCommPort::purgeInput() {
  if (isHandleValid()) handle->purgeInput();
  std::lock_guard lock(rxLock);
  rxCount = 0;
}

void TCommPort::purgeOutput() {
  if (isHandleValid()) handle->purgeOutput();
  std::lock_guard lock(txLock);
  txEvent.reset();
  txCount = 0;
}
