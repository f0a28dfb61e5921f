#include "simulator/gauge_simulator.h"

#include <cstdio>
#include <future>

#include "simulator/pseudo_terminal.h"

namespace korsi::sim {

namespace {

// After a failed read (should the terminal fail) look again after this long.
constexpr auto kRetryAfterFailure = std::chrono::milliseconds(10);
constexpr std::size_t kReadChunk = 256;
// The never-quiet line: about 115200 bit/s (11.5 bytes per ms) in chunks
// whose gaps stay well under the master's 1 ms looks.
constexpr auto kStreamEvery = std::chrono::microseconds(500);
constexpr std::size_t kStreamChunk = 6;

std::string hexLine(std::string_view arrow, const unsigned char* bytes, std::size_t count) {
  std::string line(arrow);
  char hex[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
    line += hex;
  }
  return line;
}

}  // namespace

GaugeSimulator::GaugeSimulator(SimulatorConfig config) : config_(std::move(config)) {}

GaugeSimulator::~GaugeSimulator() { stop(); }

void GaugeSimulator::setTrace(std::function<void(std::string_view)> trace) { trace_ = std::move(trace); }

void GaugeSimulator::start() {
  if (thread_.joinable()) return;
  start(std::make_unique<PseudoTerminal>());
}

void GaugeSimulator::start(std::unique_ptr<GaugeLine> line) {
  if (thread_.joinable()) return;
  terminal_ = std::move(line);
  path_ = terminal_->devicePath();
  // The thread raises itself before its first read, so that no request is
  // ever answered at the ordinary priority; start returns once it has.
  std::promise<AnswerPriority> raised;
  std::future<AnswerPriority> priority = raised.get_future();
  thread_ = std::thread([this, raised = std::move(raised)]() mutable {
    raised.set_value(raiseAnswerPriority());
    run();
  });
  priority_ = priority.get();
}

void GaugeSimulator::stop() {
  if (!thread_.joinable()) return;
  terminal_->wake();
  thread_.join();
  terminal_->close();
}

SimulatorCounters GaugeSimulator::counters() const {
  std::lock_guard lock(mutex_);
  return counters_;
}

bool GaugeSimulator::waitUntil(const std::function<bool(const SimulatorCounters&)>& done,
                               std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return done(counters_); });
}

void GaugeSimulator::update(const std::function<void(SimulatorCounters&)>& change) {
  {
    std::lock_guard lock(mutex_);
    change(counters_);
  }
  changed_.notify_all();
}

void GaugeSimulator::run() {
  GaugeProtocol protocol(config_.archive, config_.faults, config_.seed);
  const auto delay = config_.faults.delay;
  const auto pause = config_.faults.pauseMidReply;
  unsigned char buffer[kReadChunk];

  for (;;) {
    if (protocol.streaming()) {
      stream(protocol);
      return;
    }
    std::size_t count = 0;
    const auto result = terminal_->read(buffer, sizeof buffer, &count);
    if (result == GaugeLine::ReadResult::Woken) return;
    if (result == GaugeLine::ReadResult::Failed) {
      if (!terminal_->pause(kRetryAfterFailure)) return;
      continue;
    }
    if (trace_ && count > 0) trace_(hexLine("<-", buffer, count));

    const auto replies = protocol.feed(buffer, count);
    const auto seen = protocol.requestsSeen();
    update([seen](SimulatorCounters& c) { c.requestsSeen = seen; });

    const FaultCounts faults = protocol.faultCounts();
    update([&faults](SimulatorCounters& c) { c.faults = faults; });

    for (const Reply& reply : replies) {
      if (delay.count() > 0 && !terminal_->pause(delay)) return;
      if (reply.late.count() > 0 && !terminal_->pause(reply.late)) return;
      const std::size_t first = reply.pauseAfter > 0 ? reply.pauseAfter : reply.bytes.size();
      terminal_->write(reply.bytes.data(), first);
      update([](SimulatorCounters& c) { ++c.repliesStarted; });
      if (first < reply.bytes.size()) {
        if (!terminal_->pause(pause)) return;
        terminal_->write(reply.bytes.data() + first, reply.bytes.size() - first);
      }
      if (trace_) trace_(hexLine("->", reply.bytes.data(), reply.bytes.size()));
      update([](SimulatorCounters& c) { ++c.repliesSent; });
      if (!reply.stray.empty()) {
        if (!terminal_->pause(config_.faults.strayGap)) return;
        terminal_->write(reply.stray.data(), reply.stray.size());
        if (trace_) trace_(hexLine("-> stray", reply.stray.data(), reply.stray.size()));
      }
    }
    update([count](SimulatorCounters& c) { c.bytesHandled += count; });
  }
}

void GaugeSimulator::stream(GaugeProtocol& protocol) {
  unsigned char chunk[kStreamChunk];
  do {
    const std::size_t dropped = terminal_->dropInput();
    protocol.streamBytes(chunk, sizeof chunk);
    terminal_->write(chunk, sizeof chunk);
    update([dropped](SimulatorCounters& c) {
      c.bytesHandled += dropped;
      c.bytesStreamed += kStreamChunk;
    });
  } while (terminal_->pause(kStreamEvery));
}

}  // namespace korsi::sim
