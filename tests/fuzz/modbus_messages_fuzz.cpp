// Runs an arbitrary sequence of operations on the message classes: the frame
// setters, the length and checksum operations and the data access, on frames
// that receive may have emptied, shortened or filled with anything. No
// operation may touch bytes outside its frame (the fuzz build checks every
// index of the byte queue), and the few promises the classes make must hold.
//
// Input: a stream of operations; each takes one byte for which object, one for
// which operation, then the operation's own arguments.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "instrument/gauge_messages.h"
#include "instrument/meash.h"
#include "link/modbus_frame.h"
#include "link/modbus_messages.h"

namespace {

void require(bool promise) {
  if (!promise) std::abort();
}

// Every object the program builds, each also seen as a bare frame.
struct Messages {
  Modbus::Request::EchoMessage echoRequest;
  Modbus::Request::ArchPoints archRequest;
  Modbus::Request::MeashPoint meashRequest;
  Modbus::Response::EchoMessage echoReply;
  Modbus::Response::WordsMessage wordsReply;
  Modbus::Response::ArchPoints archReply;
  Modbus::Response::MeashPoint meashReply;
  Modbus::Response::Exception exception{0, 0};

  static constexpr int kCount = 8;
  Modbus::ADU& frame(int i) {
    switch (i) {
      case 0: return echoRequest;
      case 1: return archRequest;
      case 2: return meashRequest;
      case 3: return echoReply;
      case 4: return wordsReply;
      case 5: return archReply;
      case 6: return meashReply;
      default: return exception;
    }
  }
  Modbus::Request::BytesMessage* request(int i) {
    switch (i) {
      case 0: return &echoRequest;
      case 1: return &archRequest;
      case 2: return &meashRequest;
      default: return nullptr;
    }
  }
  Modbus::Response::BytesMessage* response(int i) {
    switch (i) {
      case 3: return &echoReply;
      case 4: return &wordsReply;
      case 5: return &archReply;
      case 6: return &meashReply;
      default: return nullptr;
    }
  }
};

// The longest frame an operation may build: setLength on a words message
// with the largest count.
constexpr std::size_t kLongestFrame = 2 * 65535 + 6;

void checksumOperations(Modbus::ADU& frame, FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: frame.setCrc(in.ConsumeIntegral<std::uint16_t>()); break;
    case 1: {
      const std::uint16_t computed = frame.calcCrc(true);
      if (frame.size() >= 2) {
        require(frame.crc() == computed);
        require(frame.checkCrc());
      }
      break;
    }
    case 2: {
      const std::size_t size = frame.size();
      const std::uint16_t stored = frame.crc();
      (void)frame.calcCrc(false);
      require(frame.size() == size && frame.crc() == stored);
      break;
    }
    default: (void)frame.checkCrc(); (void)frame.crc(); break;
  }
}

// What a data access must leave alone: the size, the header and the
// checksum (copying a whole frame of up to 128 KiB per operation would slow
// the fuzzer to a crawl).
struct Frame {
  std::size_t size;
  std::uint8_t head[4];
  std::uint8_t tail[2];

  explicit Frame(const Modbus::ADU& f) : size(f.size()), head{}, tail{} {
    for (std::size_t i = 0; i < 4 && i < size; ++i) head[i] = f[i];
    for (std::size_t i = 0; i < 2 && size >= 2; ++i) tail[i] = f[size - 2 + i];
  }
  bool operator==(const Frame& o) const {
    return size == o.size && std::equal(head, head + 4, o.head) && std::equal(tail, tail + 2, o.tail);
  }
};

void dataOperations(Modbus::Response::BytesMessage& reply, FuzzedDataProvider& in) {
  const Frame before(reply);
  auto at = reply.data();
  require(reply.dataPosition() == std::size_t{4});
  const std::size_t index = in.ConsumeIntegralInRange<std::size_t>(0, 70000);
  if (in.ConsumeBool()) {
    const std::uint8_t value = in.ConsumeIntegral<std::uint8_t>();
    at[index] = value;
    // A write lands on a data byte or nowhere: never on the header nor the checksum.
    require(Frame(reply) == before);
    if (index < at.available()) require(reply[4 + index] == value);
  } else {
    const std::uint8_t value = at[index];
    if (index >= at.available()) require(value == 0);
    require(Frame(reply) == before);
  }
}

void operate(Messages& m, FuzzedDataProvider& in) {
  const int which = in.ConsumeIntegralInRange(0, Messages::kCount - 1);
  Modbus::ADU& frame = m.frame(which);
  switch (in.ConsumeIntegralInRange(0, 11)) {
    case 0: frame.clear(); break;  // as receive empties a response
    case 1: {                      // as receive fills it with whatever came
      frame.clear();
      const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, 300);
      for (std::size_t i = 0; i < n && in.remaining_bytes() > 0; ++i) frame.push_back(in.ConsumeIntegral<std::uint8_t>());
      break;
    }
    case 2:
      if (!frame.empty()) frame.pop_back();
      break;
    case 3: frame.setAddress(in.ConsumeIntegral<std::uint8_t>()); break;
    case 4: frame.setFunction(in.ConsumeIntegral<std::uint8_t>()); break;
    case 5: checksumOperations(frame, in); break;
    case 6:
      if (auto* request = m.request(which)) request->setArgument(in.ConsumeIntegral<std::uint16_t>());
      break;
    case 7:
      if (auto* reply = m.response(which)) {
        const std::uint16_t count = in.ConsumeIntegral<std::uint16_t>();
        reply->setLength(count);
        const std::size_t bytes = (reply == &m.wordsReply || reply == &m.archReply) ? 2u * count : count;
        require(reply->size() == bytes + 6);
        require(reply->size() <= kLongestFrame);
        require(((*reply)[2] << 8 | (*reply)[3]) == count);
      }
      break;
    case 8:
      if (auto* reply = m.response(which)) dataOperations(*reply, in);
      break;
    case 9: {
      Modbus::Response::WordsMessage& words =
          which == 5 ? static_cast<Modbus::Response::WordsMessage&>(m.archReply) : m.wordsReply;
      const std::uint16_t index = in.ConsumeIntegral<std::uint16_t>();
      const std::size_t dataBytes = words.size() >= 6 ? words.size() - 6 : 0;
      const std::uint16_t word = words.word(index);
      if (2u * index + 2 > dataBytes) require(word == 0);
      break;
    }
    case 10: {
      const std::uint16_t count = m.archReply.count();
      if (m.archReply.size() < 8) require(count == 0);
      (void)m.exception.code();
      break;
    }
    default: {
      Meash record{};
      const bool whole = getMeash(m.meashReply, &record);
      require(whole == (m.meashReply.size() >= 18));
      if (!whole) require(record.num == 0);
      m.meashRequest.setNum(in.ConsumeIntegral<std::int32_t>());
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Messages messages;
  while (in.remaining_bytes() > 0) operate(messages, in);
  return 0;
}
