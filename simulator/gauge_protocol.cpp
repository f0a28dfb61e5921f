#include "simulator/gauge_protocol.h"

#include <algorithm>
#include <bit>

namespace korsi::sim {

namespace {

constexpr std::size_t kRequestBytes = 8;
constexpr std::uint8_t kEcho = 4;
constexpr std::uint8_t kArchiveSize = 5;
constexpr std::uint8_t kMeasurement = 6;
constexpr std::uint8_t kIllegalFunction = 1;
constexpr std::uint8_t kIllegalDataAddress = 2;
constexpr unsigned char kExtraByte = 0xFF;
// A master looks at a reply once five bytes have come.
constexpr std::size_t kMasterStartsAt = 5;

// Independent streams for the two rates, so that using one fault does not
// change the draws of the other.
constexpr std::uint64_t kCrcStream = 0x43524346;       // "CRCF"
constexpr std::uint64_t kWrongNumStream = 0x4E554D46;  // "NUMF"
constexpr std::uint64_t kSplitStream = 0x53504C54;     // "SPLT"
constexpr std::uint64_t kLateStream = 0x4C415445;      // "LATE"
constexpr std::uint64_t kStrayStream = 0x53545259;     // "STRY"

}  // namespace

Modbus::Response::MeashPoint measurementReply(const Meash& m, std::uint8_t address) {
  Modbus::Response::MeashPoint reply;
  reply.setAddress(address);
  const auto d = reply.data();
  const auto bits = std::bit_cast<std::uint32_t>(m.h);
  const std::uint8_t bytes[12] = {static_cast<std::uint8_t>(m.num >> 8), static_cast<std::uint8_t>(m.num & 0xFF),
                                  m.sec, m.min, m.hour, m.day, m.month, m.year,
                                  static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
                                  static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)};
  for (std::size_t i = 0; i < 12; ++i) d[i] = bytes[i];
  reply.calcCrc(true);
  return reply;
}

GaugeProtocol::GaugeProtocol(std::vector<Meash> archive, GaugeFaults faults, std::uint64_t seed)
    : archive_(std::move(archive)),
      faults_(std::move(faults)),
      crcRandom_(seed ^ kCrcStream),
      wrongNumRandom_(seed ^ kWrongNumStream),
      splitRandom_(seed ^ kSplitStream),
      lateRandom_(seed ^ kLateStream),
      strayRandom_(seed ^ kStrayStream) {}

std::uint16_t GaugeProtocol::archiveSize() const noexcept {
  return faults_.archiveSize.value_or(static_cast<std::uint16_t>(std::min<std::size_t>(archive_.size(), 0xFFFF)));
}

bool GaugeProtocol::streaming() const noexcept { return faults_.streamAfter && repliesMade_ >= *faults_.streamAfter; }

void GaugeProtocol::streamBytes(unsigned char* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(strayRandom_() >> 56);
}

bool GaugeProtocol::chance(std::mt19937_64& random, double rate) {
  // 53 random bits as a number in [0, 1): a rate of 1 always hits, 0 never.
  const double draw = static_cast<double>(random() >> 11) * 0x1.0p-53;
  return draw < rate;
}

std::vector<Reply> GaugeProtocol::feed(const unsigned char* bytes, std::size_t count) {
  pending_.insert(pending_.end(), bytes, bytes + count);
  std::vector<Reply> replies;
  while (pending_.size() >= kRequestBytes) {
    Modbus::ADU frame;
    frame.assign(pending_.begin(), pending_.begin() + kRequestBytes);
    if (!frame.checkCrc()) {
      pending_.pop_front();
      continue;
    }
    pending_.erase(pending_.begin(), pending_.begin() + kRequestBytes);
    if (auto reply = answer(frame)) replies.push_back(std::move(*reply));
  }
  return replies;
}

std::optional<Reply> GaugeProtocol::answer(const Modbus::ADU& request) {
  if (request.size() != kRequestBytes || !request.checkCrc() || request[0] != kGaugeAddress) return std::nullopt;
  ++requestsSeen_;
  if (faults_.silentAfter && repliesMade_ >= *faults_.silentAfter) return std::nullopt;
  if (streaming()) return std::nullopt;

  const std::uint8_t function = request[1];
  const auto argument = static_cast<std::uint16_t>((request[4] << 8) | request[5]);
  Modbus::ADU frame;
  if (const auto refused = faults_.exceptions.find(function); refused != faults_.exceptions.end()) {
    frame = Modbus::Response::Exception(function, refused->second);
  } else {
    frame = replyFor(function, argument);
  }
  frame.setAddress(faults_.replyAddress);
  frame.calcCrc(true);
  ++repliesMade_;
  return finish(std::move(frame));
}

Modbus::ADU GaugeProtocol::replyFor(std::uint8_t function, std::uint16_t argument) {
  switch (function) {
    case kEcho:
      return Modbus::Response::EchoMessage();
    case kArchiveSize: {
      Modbus::Response::ArchPoints reply;
      const auto d = reply.data();
      const std::uint16_t size = archiveSize();
      d[0] = static_cast<std::uint8_t>(size >> 8);
      d[1] = static_cast<std::uint8_t>(size & 0xFF);
      return reply;
    }
    case kMeasurement: {
      if (argument == 0 || argument > archive_.size()) {
        return Modbus::Response::Exception(function, kIllegalDataAddress);
      }
      Meash m = archive_[argument - 1];
      if (chance(wrongNumRandom_, faults_.wrongNumRate)) {
        m.num = static_cast<std::uint16_t>(argument + 1);
        ++faultCounts_.wrongNumbers;
      }
      return measurementReply(m, kGaugeAddress);
    }
    default:
      return Modbus::Response::Exception(function, kIllegalFunction);
  }
}

Reply GaugeProtocol::finish(Modbus::ADU frame) {
  if (chance(crcRandom_, faults_.crcFaultRate)) {
    frame.back() ^= 0xFF;
    ++faultCounts_.crcFaults;
  }
  Reply reply;
  reply.bytes.assign(frame.begin(), frame.end());
  if (faults_.pauseMidReply.count() > 0 && chance(splitRandom_, faults_.splitRate)) {
    const std::size_t size = reply.bytes.size();
    reply.pauseAfter = std::min(size - 1, std::max(kMasterStartsAt, (size + 1) / 2));
    ++faultCounts_.splitReplies;
  }
  reply.bytes.insert(reply.bytes.end(), faults_.extraBytes, kExtraByte);
  if (chance(lateRandom_, faults_.lateRate)) {
    reply.late = faults_.lateBy;
    ++faultCounts_.lateReplies;
  }
  if (faults_.strayBytes > 0 && chance(strayRandom_, faults_.strayRate)) {
    reply.stray.resize(faults_.strayBytes);
    streamBytes(reply.stray.data(), reply.stray.size());
    ++faultCounts_.strayBursts;
  }
  return reply;
}

}  // namespace korsi::sim
