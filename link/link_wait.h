#pragma once
// Every wait of an exchange (the master's reply wait and polls, the look-again
// sleeps of getBytes and drain) goes through linkWait, so that a test can run
// the master on a clock of its own, with no real time passing, and deliver the
// line's bytes as that clock moves. The program never replaces it.

#include <chrono>

namespace korsi::link {

using WaitFunction = void (*)(std::chrono::microseconds);

// Sleeps for d, or calls the function a test installed.
void linkWait(std::chrono::microseconds d);
// Installs wait in place of the real sleep; nullptr restores the real sleep.
// Not for use while an exchange runs.
void setWaitFunction(WaitFunction wait) noexcept;

}  // namespace korsi::link
