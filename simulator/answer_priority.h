#pragma once
// A real gauge answers within a few milliseconds whatever the computer is
// doing; a simulator thread that waits its turn behind busy processes can
// miss the master's 50 ms reply wait. The thread that answers raises itself
// to a real-time priority where the system permits it (root, or a real-time
// allowance), and stays as it is otherwise. The platform's code lives in its
// own file (answer_priority_posix.cpp).

namespace korsi::sim {

enum class AnswerPriority {
  RealTime,  // first-in, first-out real-time scheduling: ahead of every ordinary thread
  Raised,    // a better nice value only
  Ordinary,  // not permitted: left as it was
};

// Raises the calling thread as far as permitted; what it got.
AnswerPriority raiseAnswerPriority() noexcept;

}  // namespace korsi::sim
