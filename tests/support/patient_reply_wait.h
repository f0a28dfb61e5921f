#pragma once
// For tests that are about what is exchanged, not about when. The master's
// fixed timing gives up after 50 ms of silence: a 30 ms wait, then polls every
// 2 ms. On a busy computer the port's reader thread can be that late with a
// reply that has already come, and the test then fails by chance. While this
// object lives each of those polls waits kPatientPoll instead, so a line must
// stay silent for about a second before an exchange gives up; a reply that is
// there is still taken at the first poll, so nothing slows down. Every other
// wait stays real. Tests of the give-up itself use the real wait. The fast
// exchange waits on the port, not through this hook.

#include <chrono>
#include <thread>

#include "link/link_wait.h"
#include "link/modbus_master.h"

namespace korsi::test {

class PatientReplyWait {
 public:
  static constexpr std::chrono::milliseconds kPatientPoll{100};

  PatientReplyWait() { korsi::link::setWaitFunction(&wait); }
  ~PatientReplyWait() { korsi::link::setWaitFunction(nullptr); }
  PatientReplyWait(const PatientReplyWait&) = delete;
  PatientReplyWait& operator=(const PatientReplyWait&) = delete;

 private:
  static void wait(std::chrono::microseconds d) {
    std::this_thread::sleep_for(d == Modbus::kPollInterval ? std::chrono::microseconds(kPatientPoll) : d);
  }
};

}  // namespace korsi::test
