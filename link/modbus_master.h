#pragma once
// The system's side of every exchange with the gauge: send(request) queues the
// addressed and checksummed frame; receive(response) waits with fixed timing
// for the reply, checks its address, function code and checksum, logs each
// failure and returns a result code. Failures are results, never exceptions.
// The master holds no lock and no state but the last exception reply: callers
// must not let two exchanges overlap.

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "link/comm_port.h"
#include "link/modbus_frame.h"
#include "link/modbus_messages.h"
#include "link/uart.h"

namespace Modbus {

// The gauge's address: written into every request, required of every reply.
inline constexpr std::uint8_t deviceAddress = 1;

// Results of MBMaster::receive besides a reply's function code (1 to 0x80 a
// normal reply, 0x81 to 0xFF an exception reply). There is no -5.
namespace Result {
inline constexpr int kDeviceAddressError = -1;
inline constexpr int kIncorrectFunctionCode = -2;
inline constexpr int kExceptionCrcError = -3;
inline constexpr int kPacketCrcError = -4;
inline constexpr int kNoReply = -6;
}  // namespace Result

// The reply timing: a first sleep, then polls until 5 bytes wait.
inline constexpr std::chrono::milliseconds kReplyWait{30};
inline constexpr std::chrono::milliseconds kPollInterval{2};
inline constexpr int kPolls = 10;
// The whole reply wait: how long the gauge may take to start its reply.
inline constexpr std::chrono::milliseconds kWholeReplyWait = kReplyWait + kPolls * kPollInterval;
// How long a line that will not fall quiet may hold back the next request
// after a failed exchange, before the request goes out all the same.
inline constexpr std::chrono::milliseconds kQuietLineBudget{1000};
// How long after a request left its reply may still come: before the next
// request the master awaits an unanswered one's reply this long, so that a
// gauge that falls behind by a reply can never have it taken for another's.
inline constexpr std::chrono::milliseconds kLateReplyLimit{400};
inline constexpr std::uint32_t kShortestReply = 5;
// How often the master looks whether its request has left the line.
inline constexpr std::chrono::microseconds kSentPoll{100};
// The largest reply the protocol allows; a frame never grows past it.
inline constexpr std::size_t kLongestReply = 256;

// The whole length of the gauge's replies by function code, for the fast
// exchange: echo 7, archive size 8 (one word), measurement 18, an exception
// reply 5; 0 for any other code, whose reply ends when the line falls silent.
std::size_t replyLength(std::uint8_t function) noexcept;

// Puts every byte of frame, in order.
Uart& writeFrame(Uart& uart, const ADU& frame);
// Appends bytes to frame until the line stays silent over two 1 ms sleeps, or
// until frame holds kLongestReply bytes. Returns false when the line was still
// sending then: the byte after the longest reply is taken and dropped.
bool readFrame(Uart& uart, PDU& frame);

class MBMaster {
 public:
  // Selects 115200 bit/s on port; destroying the master closes the port.
  explicit MBMaster(TCommPort& port);

  // Purges the input, writes the device address and the checksum into request
  // and queues it. After a failed exchange (or resynchronise()), and after the
  // first reply taken since a silence, it first waits until the line has been
  // quiet for the whole reply wait, purging whatever still comes, so that a
  // late or repeated reply to an earlier request can never be taken as the
  // answer to this one. A silence is such a quiet line already, as long as
  // nothing has come since; a line just found not to fall silent is not
  // waited for again (it was purged for the drain's budget). Once a reply has
  // come while more were owed (the gauge answers behind), the wait lasts until
  // kLateReplyLimit has passed since the newest request left, so that the owed
  // replies come and go. All of this belongs to one opening of the port: a
  // port opened again starts afresh, as nothing owed before can come.
  void send(ADU& request);
  // Waits for the reply and classifies it (see Result). A normal reply is
  // left in response, an exception reply in exception(). A reply that does
  // not end within kLongestReply bytes fails as one with a wrong checksum;
  // a line that does not fall silent while it is drained (within
  // kDrainTimeBudget or kDrainByteBudget) fails with kPacketCrcError, logged at
  // ERR "LINE_NOT_SILENT". So every call ends within about half a second.
  // Once the port's device has hung up it gives kNoReply at once.
  int receive(ADU& response);
  // The last exception reply (00 80 00 00 10 until the first one).
  Response::Exception& exception() noexcept { return exception_; }

  // The caller found an accepted reply out of step with its request (another
  // function, shape or measurement number): the next send waits for a quiet
  // line first, as after a failed exchange.
  void resynchronise() noexcept { quietWait_ = QuietWait::Needed; }

  // Exchanges whose reply was found only after the reply wait was over: bytes
  // the driver held that the port's reader had not moved yet (a busy
  // computer), or a reply that had begun in time but was still short of
  // kShortestReply bytes.
  std::uint64_t lateLooks() const noexcept { return lateLooks_; }

  // Off (the default): the fixed timing above, which a real gauge may need.
  // On: receive is woken as the bytes arrive (still giving up after the same
  // 50 ms when no byte of a reply has come), and a reply ends as soon as it
  // holds its replyLength; a reply with bytes already waiting behind it is
  // refused like one with a wrong checksum. A reply short of its length may
  // pause until the whole reply wait has passed.
  void setFastExchange(bool on) noexcept { fastExchange_ = on; }
  bool fastExchange() const noexcept { return fastExchange_; }

 private:
  // receive without its bookkeeping.
  int classifyReply(ADU& response);
  // Drains the input after a failed reply: result, or kPacketCrcError when
  // the line did not fall silent.
  int drainAfter(int result);
  // Waits for the first kShortestReply bytes; false when they did not come.
  bool waitForReply();
  // When the reply wait is over: silence only when no byte of a reply has
  // begun. A reply that has (in the ring, or still in the driver) is waited
  // for while its bytes keep coming; true once kShortestReply bytes wait.
  bool replyAfterWait();
  // Reads the reply whose function code is function into frame (readFrame's
  // result: false when it did not end within kLongestReply bytes, or, in the
  // fast exchange, when bytes already wait behind it).
  bool takeReply(PDU& frame, std::uint8_t function);
  // Waits until nothing has come for the whole reply wait, purging what comes.
  void awaitQuietLine();
  // Waits (within kQuietLineBudget) until the request has left the line: the
  // writer has handed its last byte to the driver, and the driver has sent
  // it where the platform can tell.
  void awaitRequestSent();
  // What one opening of the port owes nothing to the next.
  void forgetEarlierOpening();

  // Why the next send waits for a quiet line.
  enum class QuietWait {
    None,
    AfterSilence,  // only when something has come since the silence
    Needed,
  };

  Response::Exception exception_{0, 0};
  Uart uart_;
  bool fastExchange_ = false;
  QuietWait quietWait_ = QuietWait::None;
  bool silenceSinceReply_ = false;  // an exchange met silence since the last reply taken
  // The line was last found not to fall silent (LINE_NOT_SILENT): waiting for
  // it again before the next request would only cost the budget once more.
  bool lineNotSilent_ = false;
  // Requests whose replies have not been taken, the port opening the state
  // above and these belong to, and when the newest request left.
  int owed_ = 0;
  bool behind_ = false;  // a reply came while more were owed
  std::uint64_t opening_ = 0;
  std::chrono::steady_clock::time_point owedSince_{};
  std::chrono::steady_clock::time_point replyDeadline_{};
  std::uint64_t lateLooks_ = 0;
};

// Made beside the master at start-up for the sake of its link adapter only.
class MBSlave {
 public:
  explicit MBSlave(TCommPort& port);

 private:
  ADU adu_;
  Uart uart_;
};

}  // namespace Modbus
