#pragma once
// The gauge simulator: answers the gauge's requests on a line from a
// background thread: a pseudo-terminal, or a line inside the program
// (in_process_line.h) for the training mode. Tests run it in-process:
//
//   korsi::sim::SimulatorConfig config;
//   config.archive = korsi::sim::generateArchive(20, 1);
//   korsi::sim::GaugeSimulator gauge(config);
//   gauge.start();                        // throws std::system_error on failure
//   open(gauge.devicePath().c_str(), ...) // the device a serial port opens
//   ...
//   gauge.stop();                         // or let the destructor do it
//
// Each reply goes out in one write as soon as its request is whole (unless a
// delay, a late reply or a mid-reply pause is asked for). The answering thread
// runs at a real-time priority where the system permits it, so that a busy
// computer does not make the gauge miss the master's reply wait. Stray bytes follow a
// reply after a quiet gap; a streaming line sends random bytes at about the
// line's rate until stop, reading and dropping whatever comes.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "instrument/meash.h"
#include "simulator/answer_priority.h"
#include "simulator/gauge_protocol.h"

namespace korsi::sim {

class GaugeLine;

struct SimulatorConfig {
  std::vector<Meash> archive;
  GaugeFaults faults;
  std::uint64_t seed = 1;
};

// What the simulator has done so far; each count only grows.
struct SimulatorCounters {
  std::uint64_t bytesHandled = 0;     // bytes received and dealt with (dropped while streaming)
  std::uint64_t requestsSeen = 0;     // requests for address 1 with a right checksum
  std::uint64_t repliesStarted = 0;   // replies whose first bytes have been sent
  std::uint64_t repliesSent = 0;      // replies sent whole
  FaultCounts faults;                 // faults decided so far
  std::uint64_t bytesStreamed = 0;    // bytes of the never-quiet line sent
};

class GaugeSimulator {
 public:
  explicit GaugeSimulator(SimulatorConfig config);
  ~GaugeSimulator();
  GaugeSimulator(const GaugeSimulator&) = delete;
  GaugeSimulator& operator=(const GaugeSimulator&) = delete;

  // Called on the simulator's thread with a line of text for each request
  // and reply ("<- 01 04 00 00 00 00 0A F0", "-> 01 04 00 01 5A 5B 99"). Set
  // before start.
  void setTrace(std::function<void(std::string_view)> trace);

  // Opens a pseudo-terminal and starts answering on it. Throws
  // std::system_error when the terminal cannot be opened (always on a
  // platform without pseudo-terminals).
  void start();
  // Starts answering on the given line.
  void start(std::unique_ptr<GaugeLine> line);
  // Stops answering (a delay or pause under way is cut short), joins the
  // thread and closes the terminal, so the device goes away for its users.
  // Does nothing when not running.
  void stop();

  // The device to open (the line's name for a line inside the program);
  // empty before start.
  const std::string& devicePath() const noexcept { return path_; }
  // The priority the answering thread got; Ordinary before start.
  AnswerPriority answerPriority() const noexcept { return priority_; }

  SimulatorCounters counters() const;
  // Waits until done(counters) holds or limit passes; true when it holds.
  bool waitUntil(const std::function<bool(const SimulatorCounters&)>& done,
                 std::chrono::milliseconds limit) const;

 private:
  void run();
  void stream(GaugeProtocol& protocol);
  void update(const std::function<void(SimulatorCounters&)>& change);

  SimulatorConfig config_;
  std::function<void(std::string_view)> trace_;
  std::unique_ptr<GaugeLine> terminal_;
  std::string path_;
  AnswerPriority priority_ = AnswerPriority::Ordinary;
  std::thread thread_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  SimulatorCounters counters_;
};

}  // namespace korsi::sim
