#pragma once
// A gauge that answers from a script, for what the simulator cannot play (its
// faults are fixed for a whole run): for each 8-byte request that comes, the
// next reply of the script, or silence for an empty one. Runs on a real
// pseudo-terminal, on a thread of its own, until the script ends; that thread
// answers at the simulator's raised priority, so that a busy computer does not
// turn a scripted reply into silence. Its users link korsi_gauge_sim.

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <thread>
#include <utility>
#include <vector>

#include "link/modbus_frame.h"
#include "tests/support/pty_peer.h"
#include "simulator/answer_priority.h"

namespace korsi::test {

// bytes followed by their checksum, high byte first, as the gauge sends it.
inline Bytes withCrc(std::initializer_list<std::uint8_t> bytes) {
  Bytes frame(bytes);
  const std::uint16_t crc = Modbus::crc16(frame.data(), frame.size());
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  return frame;
}

inline Bytes echoReply() { return withCrc({0x01, 0x04, 0x00, 0x01, 0x5A}); }
inline Bytes archiveSizeReply(std::uint16_t n) {
  return withCrc({0x01, 0x05, 0x00, 0x01, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n & 0xFF)});
}
inline Bytes exceptionReply(std::uint8_t function, std::uint8_t code) {
  return withCrc({0x01, static_cast<std::uint8_t>(function | 0x80), code});
}
// No reply to that request.
inline Bytes silence() { return {}; }

class ScriptedGauge {
 public:
  explicit ScriptedGauge(std::vector<Bytes> replies)
      : thread_([this, replies = std::move(replies)] {
          korsi::sim::raiseAnswerPriority();
          for (const Bytes& reply : replies) {
            if (peer_.receive(8).size() < 8) return;  // the port never asked
            ++requests_;
            if (!reply.empty()) peer_.send(reply);
          }
        }) {}
  ~ScriptedGauge() { join(); }
  ScriptedGauge(const ScriptedGauge&) = delete;
  ScriptedGauge& operator=(const ScriptedGauge&) = delete;

  const std::string& devicePath() const { return peer_.devicePath(); }
  // Waits until the script has ended; then requests() is final.
  void join() {
    if (thread_.joinable()) thread_.join();
  }
  int requests() const { return requests_.load(); }

 private:
  PtyPeer peer_;
  std::atomic<int> requests_{0};
  std::thread thread_;  // last: it starts once the peer is made
};

}  // namespace korsi::test
