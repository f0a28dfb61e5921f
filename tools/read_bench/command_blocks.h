#pragma once
// The second half of the read benchmark: the program's own windows and
// commands ("Найти устройство", "Весь архив") against the simulated gauge on
// a noisy line, measuring how long the window thread is kept from its events
// while each runs.

namespace korsi::bench {

// Runs the cases and prints one line each; false when a case could not run.
bool measureCommandBlocks();

}  // namespace korsi::bench
