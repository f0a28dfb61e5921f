#include "link/modbus_master.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "link/link_wait.h"
#include "services/logs.h"

namespace Modbus {

namespace {

void appendHex(std::string& text, std::uint8_t b) {
  char piece[8];
  std::snprintf(piece, sizeof piece, " 0x%02X", static_cast<unsigned>(b));
  text += piece;
}

std::string dump(const message_queue_t& bytes) {
  std::string text;
  for (const unsigned char b : bytes) appendHex(text, b);
  return text;
}

// Everything waiting in the receive ring, the count read again before each byte.
std::string dumpWaiting(TCommPort& port) {
  std::string text;
  for (std::uint32_t i = 0; i < available(port); ++i) appendHex(text, peek(port, i));
  return text;
}

}  // namespace

Uart& writeFrame(Uart& uart, const ADU& frame) {
  for (const unsigned char b : frame) putByte(uart.port(), b);
  return uart;
}

std::size_t replyLength(std::uint8_t function) noexcept {
  if (function > 0x80) return 5;
  switch (function) {
    case 4: return 7;
    case 5: return 8;
    case 6: return 18;
    default: return 0;
  }
}

bool readFrame(Uart& uart, PDU& frame) {
  std::uint8_t b = 0;
  while (getBytes(uart.port(), &b, 1) == 0) {
    if (frame.size() >= kLongestReply) return false;
    frame.push_back(b);
  }
  return true;
}

MBMaster::MBMaster(TCommPort& port) : uart_(port) {}

void MBMaster::forgetEarlierOpening() {
  owed_ = 0;
  behind_ = false;
  quietWait_ = QuietWait::None;
  silenceSinceReply_ = false;
  lineNotSilent_ = false;
}

void MBMaster::send(ADU& request) {
  TCommPort& port = uart_.port();
  // Nothing owed to a device opened before can come on this opening: a
  // search that probes port after port starts each one afresh.
  if (port.openings() != opening_) {
    forgetEarlierOpening();
    opening_ = port.openings();
  }
  // A silence was the whole reply wait of a quiet line; only bytes that have
  // come since (a late reply under way) make the line wait again.
  const bool cameSinceSilence =
      quietWait_ == QuietWait::AfterSilence && available(port) + port.driverWaitingCount() != 0;
  bool quietFirst = behind_ || quietWait_ == QuietWait::Needed || cameSinceSilence;
  // A line that has already been purged for a whole budget without falling
  // silent is not waited for again: the request goes out after the purge
  // below, and its exchange tells whether the line has calmed down.
  if (lineNotSilent_ && quietFirst) {
    quietFirst = false;
    behind_ = false;
    owed_ = 0;
  }
  quietWait_ = QuietWait::None;
  if (quietFirst) awaitQuietLine();
  // A reply that came after the last exchange gave up waiting would otherwise
  // be taken as the answer to this request.
  port.purgeInput();
  request.setAddress(deviceAddress);
  request.calcCrc(true);
  writeFrame(uart_, request);
  ++owed_;
}

void MBMaster::awaitQuietLine() {
  TCommPort& port = uart_.port();
  // A closed port or a device that has hung up sends nothing more.
  const auto deaf = [&port] { return !port.isHandleValid() || port.deviceGone(); };
  constexpr int kQuietPolls = static_cast<int>(kWholeReplyWait / kByteWait);
  constexpr int kBudgetPolls = static_cast<int>(kQuietLineBudget / kByteWait);
  // A gauge answering behind has its owed replies let pass however they come:
  // the wait lasts until the newest request is kLateReplyLimit old.
  const auto until = owedSince_ + kLateReplyLimit;
  int quiet = 0;
  for (int poll = 0;; ++poll) {
    if (deaf()) break;
    if (poll == kBudgetPolls) {
      LOG_ERR("LINE_NOT_SILENT");
      lineNotSilent_ = true;
      break;
    }
    korsi::link::linkWait(kByteWait);
    if (available(port) + port.driverWaitingCount() != 0) {
      port.purgeInput();
      quiet = 0;
      continue;
    }
    if (++quiet >= kQuietPolls && (!behind_ || std::chrono::steady_clock::now() >= until)) {
      lineNotSilent_ = false;
      break;
    }
  }
  if (behind_) {
    // What has not come by now is not awaited again.
    behind_ = false;
    owed_ = 0;
  }
}

int MBMaster::drainAfter(int result) {
  TCommPort& port = uart_.port();
  // A line found not to fall silent is not drained again for the budget: it
  // is purged once, and the next request goes out after a purge of its own.
  if (lineNotSilent_) {
    port.purgeInput();
    return result;
  }
  // A drain that ends is no proof of a quiet line (a gap of a millisecond
  // ends it), so it leaves lineNotSilent_ as it was.
  if (drain(port)) return result;
  lineNotSilent_ = true;
  LOG_ERR("LINE_NOT_SILENT");
  return Result::kPacketCrcError;
}

bool MBMaster::waitForReply() {
  TCommPort& port = uart_.port();
  // A device that has hung up sends nothing more: no need to wait it out.
  const auto gone = [&port] { return port.deviceGone() && available(port) < kShortestReply; };
  if (gone()) return false;
  if (fastExchange_) {
    // The same 50 ms for a silent gauge, but woken as the bytes arrive.
    if (port.waitForInput(kShortestReply, replyDeadline_)) return true;
  } else {
    korsi::link::linkWait(kReplyWait);
    for (int poll = 0; poll < kPolls; ++poll) {
      if (gone()) return false;
      if (available(port) >= kShortestReply) return true;
      korsi::link::linkWait(kPollInterval);
    }
  }
  return replyAfterWait();
}

bool MBMaster::replyAfterWait() {
  TCommPort& port = uart_.port();
  std::uint32_t seen = available(port);
  if (seen >= kShortestReply) return true;
  // Nothing in the ring nor in the driver: no reply has begun, silence.
  if (seen + port.driverWaitingCount() == 0) return false;
  // A reply has begun in time (on a busy computer its bytes may still be in
  // the driver): it is no silence while its bytes keep coming. One that stops
  // short of kShortestReply bytes is none; its bytes stay queued.
  int quiet = 0;
  for (int lag = 0;;) {
    if (port.deviceGone()) return false;
    korsi::link::linkWait(kByteWait);
    const std::uint32_t now = available(port);
    if (now >= kShortestReply) break;
    if (now > seen) {
      seen = now;
      quiet = 0;
      lag = 0;
    } else if (readerLagging(port, lag)) {
      ++lag;
    } else if (++quiet >= 2) {
      return false;
    }
  }
  ++lateLooks_;
  return true;
}

bool MBMaster::takeReply(PDU& frame, std::uint8_t function) {
  if (!fastExchange_) return readFrame(uart_, frame);
  TCommPort& port = uart_.port();
  const std::size_t length = replyLength(function);
  const std::size_t limit = length != 0 ? length : kLongestReply;
  // The same silence that ends a frame of getBytes: nothing for two 1 ms
  // looks (longer only while the reader lags behind the driver). A reply of
  // known length that is still short may pause until the reply wait is over.
  const auto silent = [&] {
    for (int lag = 0;; lag += 2) {
      const auto now = std::chrono::steady_clock::now();
      auto until = now + 2 * kByteWait;
      if (length != 0 && frame.size() < length && replyDeadline_ > until) until = replyDeadline_;
      if (port.waitForInput(1, until)) return false;
      if (!readerLagging(port, lag)) return true;
    }
  };
  unsigned char chunk[kLongestReply];
  while (frame.size() < limit) {
    if (silent()) return true;  // cut short: the checksum decides
    const auto want = static_cast<std::uint32_t>(std::min<std::size_t>(available(port), limit - frame.size()));
    if (want == 0) continue;  // still in the driver: wait for the reader
    const std::uint32_t got = port.read(chunk, want);
    frame.insert(frame.end(), chunk, chunk + got);
  }
  // Bytes already behind a whole reply mean it may not be the answer to this
  // request (a late or repeated reply ahead of the real one): refused.
  if (length != 0) return available(port) + port.driverWaitingCount() == 0;
  if (silent()) return true;
  std::uint8_t dropped = 0;
  port.read(&dropped, 1);
  return false;
}

int MBMaster::receive(ADU& response) {
  const int result = classifyReply(response);
  // After any failure the two sides may be out of step: the next request
  // waits for a quiet line (after a silence only if something comes since).
  if (result == Result::kNoReply) {
    if (quietWait_ == QuietWait::None) quietWait_ = QuietWait::AfterSilence;
  } else if (result < 0) {
    quietWait_ = QuietWait::Needed;
  }
  // Whatever was taken, right or faulty, was the reply to one request.
  // One taken while more were owed shows the gauge answering behind: the
  // replies still owed are awaited before the next request.
  if (result != Result::kNoReply && owed_ > 0 && --owed_ > 0) behind_ = true;
  if (result == Result::kNoReply) {
    silenceSinceReply_ = true;
    // Not a byte all through the reply wait: the line has fallen silent.
    if (available(uart_.port()) + uart_.port().driverWaitingCount() == 0) lineNotSilent_ = false;
  } else if (result >= 0) {
    // A reply taken after a silence may be the late answer to the earlier
    // request; the answer to this one is then still coming, and is let pass
    // on a quiet line before the next request.
    if (silenceSinceReply_) quietWait_ = QuietWait::Needed;
    silenceSinceReply_ = false;
    lineNotSilent_ = false;
  }
  return result;
}

void MBMaster::awaitRequestSent() {
  TCommPort& port = uart_.port();
  const auto until = std::chrono::steady_clock::now() + kQuietLineBudget;
  // Through linkWait, so that a test's clock moves with the line.
  while ((port.outputWaitingCount() != 0 || port.driverOutputCount() != 0) && port.isHandleValid() &&
         !port.deviceGone() && std::chrono::steady_clock::now() < until) {
    korsi::link::linkWait(kSentPoll);
  }
}

int MBMaster::classifyReply(ADU& response) {
  TCommPort& port = uart_.port();
  // The reply wait counts from when the request has left the line: a writer
  // thread kept waiting on a busy computer, or a driver still sending, must
  // not eat into the gauge's time.
  awaitRequestSent();
  owedSince_ = std::chrono::steady_clock::now();
  replyDeadline_ = owedSince_ + kWholeReplyWait;
  if (!waitForReply()) return Result::kNoReply;  // nothing logged, nothing drained

  if (peek(port, 0) != deviceAddress) {
    LOG_ERR("DEVICE_ADDRESS_ERROR");
    korsi::link::linkWait(kByteWait);  // let the rest of the stray frame arrive
    LOG_INF(dumpWaiting(port));
    return drainAfter(Result::kDeviceAddressError);
  }

  response.clear();
  const std::uint8_t f = peek(port, 1);
  if (f == 0) {
    LOG_INF("INCORRECT_FUNCTION_CODE");
    return drainAfter(Result::kIncorrectFunctionCode);
  }

  if (f > 0x80) {
    LOG_INF("EXCEPTION");
    exception_.clear();
    const bool ended = takeReply(exception_, f);
    if (!ended || !exception_.checkCrc()) {
      LOG_ERR("EXCEPTION_CRC_ERROR");
      LOG_ERR(dump(exception_));
      return drainAfter(Result::kExceptionCrcError);
    }
    return f;
  }

  const bool ended = takeReply(response, f);
  if (!ended || !response.checkCrc()) {
    LOG_INF("PACKET_CRC_ERROR");
    LOG_INF(dump(response));
    return drainAfter(Result::kPacketCrcError);
  }
  return f;
}

MBSlave::MBSlave(TCommPort& port) : uart_(port) {}

}  // namespace Modbus
