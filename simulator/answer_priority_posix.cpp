#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include "simulator/answer_priority.h"

namespace korsi::sim {

AnswerPriority raiseAnswerPriority() noexcept {
  // The lowest real-time level is enough to come before every ordinary
  // thread, and leaves the levels above to the system's own work.
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO);
  if (param.sched_priority >= 0 && pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0) {
    return AnswerPriority::RealTime;
  }
  // Linux takes a thread's id for PRIO_PROCESS: only this thread is raised.
  constexpr int kRaisedNice = -10;
  if (setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kRaisedNice) == 0) return AnswerPriority::Raised;
  return AnswerPriority::Ordinary;
}

}  // namespace korsi::sim
