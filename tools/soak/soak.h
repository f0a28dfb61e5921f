#pragma once
// The soak: the whole archive of the simulated gauge read through the real
// path (serial port on a pseudo-terminal, master, reading worker) while the
// gauge shows its faults together. A reading that ends on the lost-connection
// path (a late reply is no reply for the master) is followed by a new reading
// from the next number, as a user would go on. At the end every number must
// have come exactly once, in order, with the values of the gauge's archive.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "simulator/gauge_protocol.h"
#include "simulator/gauge_simulator.h"

namespace korsi::soak {

struct SoakSettings {
  std::size_t count = 10000;
  std::uint64_t seed = 1;
  sim::GaugeFaults faults;
  // The master's fast exchange (taken as soon as a reply is whole) instead
  // of its fixed waits.
  bool fastExchange = false;
};

// The combined faults: 10 % checksum faults, 5 % replies with another
// number, 2 % replies followed by stray bytes, 2 % replies split by a 10 ms
// pause, 1 % replies 100 ms late (after the master's wait).
sim::GaugeFaults combinedFaults();
// A slow gauge on top of them: every reply 25 ms after its request, and the
// split replies pausing 20 ms, so a reply may still be on its way when the
// master looks, and a cut one ends while the master asks again.
sim::GaugeFaults slowGaugeFaults();

struct SoakFigures {
  std::size_t count = 0;             // measurements in the gauge's archive
  std::size_t rowsRead = 0;          // rows the readings added
  std::size_t readings = 0;          // readings started
  std::size_t connectionLosses = 0;  // readings that ended on the lost-connection path
  // Losses: numbers that never came, came twice or more, came out of order,
  // or came with other values than the gauge holds.
  std::size_t missing = 0;
  std::size_t duplicates = 0;
  std::size_t outOfOrder = 0;
  std::size_t wrongValues = 0;
  bool stuck = false;  // readings stopped making progress; the soak gave up
  // Exchanges whose reply was found only by the master's last look at what
  // the driver held when its wait was over (a reader late on a busy machine).
  std::uint64_t lateLooks = 0;
  std::string firstLoss;  // the first row that was not the one expected, in words
  sim::SimulatorCounters gauge;  // what the gauge saw, sent and spoiled
  std::chrono::duration<double> elapsed{0};

  std::size_t losses() const { return missing + duplicates + outOfOrder + wrongValues; }
};

// Runs the soak; progress, when given, is called after every reading.
SoakFigures runSoak(const SoakSettings& settings, const std::function<void(const SoakFigures&)>& progress = {});

// The figures as lines of text, for a person.
std::string describe(const SoakFigures& figures);

}  // namespace korsi::soak
