#pragma once
// What the simulated gauge answers, as bytes in and bytes out (no I/O here).
//
// The gauge listens at address 1. Requests are 8-byte frames with the
// checksum high byte first; the gauge answers
//   function 4 (echo)            01 04 00 01 5A crc
//   function 5 (archive size)    01 05 00 01 <size, 2 bytes> crc
//   function 6 (measurement n)   01 06 00 0C <12 bytes of measurement n> crc
// A measurement number outside 1..archive size gets the exception reply
// 01 86 02 crc (illegal data address), any other function f the exception
// 01 <f + 0x80> 01 crc (illegal function). A frame with a wrong checksum or
// for another address is ignored: no reply, as a Modbus slave does.
// The bytes of the line are framed with a sliding 8-byte window, so a stray or
// broken frame is dropped a byte at a time until a valid request lines up.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <vector>

#include "instrument/gauge_messages.h"
#include "instrument/meash.h"
#include "link/modbus_frame.h"

namespace korsi::sim {

inline constexpr std::uint8_t kGaugeAddress = 1;

// Faults the gauge can be made to show. Each works alone or with the others.
struct GaugeFaults {
  // Share of replies (0..1) whose last checksum byte is wrong.
  double crcFaultRate = 0.0;
  // Share of measurement replies (0..1) that carry number n + 1 instead of n.
  double wrongNumRate = 0.0;
  // The address that replies carry (requests are still taken at address 1).
  std::uint8_t replyAddress = kGaugeAddress;
  // Request function code -> exception code: such requests get an exception reply.
  std::map<std::uint8_t, std::uint8_t> exceptions;
  // After this many replies the gauge answers nothing more.
  std::optional<std::uint64_t> silentAfter;
  // A pause inside a reply (see Reply::pauseAfter for where), in the share
  // splitRate (0..1) of replies. A pause longer than the master's two 1 ms
  // looks cuts the reply in two for it.
  std::chrono::milliseconds pauseMidReply{0};
  double splitRate = 1.0;
  // Share of replies (0..1) sent lateBy after their request instead of at
  // once: longer than the master's wait, the reply comes when it has given up.
  double lateRate = 0.0;
  std::chrono::milliseconds lateBy{100};
  // Share of replies (0..1) after which, once the line has been quiet for
  // strayGap, strayBytes random bytes come: noise on the idle line.
  double strayRate = 0.0;
  std::size_t strayBytes = 4;
  std::chrono::milliseconds strayGap{5};
  // After this many replies the gauge answers nothing more and the line
  // carries random bytes for ever, never falling silent (0: from the start).
  std::optional<std::uint64_t> streamAfter;
  // Bytes 0xFF sent right after every reply, in the same burst.
  std::size_t extraBytes = 0;
  // The archive size to report instead of the archive's own.
  std::optional<std::uint16_t> archiveSize;
  // Wait before every reply.
  std::chrono::milliseconds delay{0};
};

struct Reply {
  std::vector<unsigned char> bytes;
  // With a mid-reply pause: bytes sent before it, the first half but at least
  // 5 (so a master has begun reading) and never all. 0: no pause.
  std::size_t pauseAfter = 0;
  // A late reply: the wait before its first byte (beside GaugeFaults::delay).
  std::chrono::milliseconds late{0};
  // Noise sent after the reply once the line has been quiet for strayGap.
  std::vector<unsigned char> stray;
};

// How many faults the gauge has shown; each count only grows.
struct FaultCounts {
  std::uint64_t crcFaults = 0;
  std::uint64_t wrongNumbers = 0;
  std::uint64_t splitReplies = 0;
  std::uint64_t lateReplies = 0;
  std::uint64_t strayBursts = 0;
};

// One measurement reply from address for record m, checksum included.
Modbus::Response::MeashPoint measurementReply(const Meash& m, std::uint8_t address);

class GaugeProtocol {
 public:
  // The fault rates draw from generators seeded with seed, so a run repeats.
  GaugeProtocol(std::vector<Meash> archive, GaugeFaults faults, std::uint64_t seed);

  // Takes bytes as they come off the line and returns the replies to send,
  // in order, for the requests they complete.
  std::vector<Reply> feed(const unsigned char* bytes, std::size_t count);

  // The reply to one whole request frame, or nothing when the gauge stays silent.
  std::optional<Reply> answer(const Modbus::ADU& request);

  // Requests with a right checksum for address 1, answered or not.
  std::uint64_t requestsSeen() const noexcept { return requestsSeen_; }
  std::uint64_t repliesMade() const noexcept { return repliesMade_; }
  std::uint16_t archiveSize() const noexcept;
  const FaultCounts& faultCounts() const noexcept { return faultCounts_; }
  // Whether the line now streams for ever instead of answering.
  bool streaming() const noexcept;
  // Random bytes for the never-quiet line.
  void streamBytes(unsigned char* bytes, std::size_t count);

 private:
  Modbus::ADU replyFor(std::uint8_t function, std::uint16_t argument);
  Reply finish(Modbus::ADU frame);
  static bool chance(std::mt19937_64& random, double rate);

  std::vector<Meash> archive_;
  GaugeFaults faults_;
  std::mt19937_64 crcRandom_;
  std::mt19937_64 wrongNumRandom_;
  std::mt19937_64 splitRandom_;
  std::mt19937_64 lateRandom_;
  std::mt19937_64 strayRandom_;
  FaultCounts faultCounts_;
  message_queue_t pending_;
  std::uint64_t requestsSeen_ = 0;
  std::uint64_t repliesMade_ = 0;
};

}  // namespace korsi::sim
