#include <windows.h>

#include "simulator/answer_priority.h"

namespace korsi::sim {

AnswerPriority raiseAnswerPriority() noexcept {
  // Windows lets any user raise a thread within its process's class: the
  // highest level puts the answering thread ahead of the program's others.
  if (SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL)) return AnswerPriority::Raised;
  return AnswerPriority::Ordinary;
}

}  // namespace korsi::sim
