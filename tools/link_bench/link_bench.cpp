// Measures the device link against the simulated gauge on a pseudo-terminal:
//  1. the mean time of one measurement exchange (send, then receive) beside
//     its floor, the fixed waits of the master: the 30 ms sleep and the two
//     1 ms silence sleeps that end a reply;
//  2. the CPU time that the open port's reader and writer threads use per
//     second while nothing is exchanged.
//
// With --fast the master takes each reply as soon as it is whole; the floor is
// then the wire time of the request and the reply at 115200 bit/s (the
// simulator adds no delay of its own).
//
//   korsi7-link-bench [--fast] [exchanges]      (default 200)

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "instrument/gauge_messages.h"
#include "instrument/meash.h"
#include "link/comm_port.h"
#include "link/modbus_master.h"
#include "link/port_resolver.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

constexpr int kPort = 7;
constexpr double kFixedFloorMs = 32.0;
constexpr std::chrono::seconds kIdleSpan{5};

double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  bool fast = false;
  int exchanges = 200;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--fast") {
      fast = true;
    } else {
      exchanges = std::atoi(argv[i]);
    }
  }
  if (exchanges <= 0) {
    std::fprintf(stderr, "usage: %s [--fast] [exchanges]\n", argv[0]);
    return 2;
  }
  // Request and reply: 8 + 18 bytes of 10 bits each.
  const double floorMs = fast ? (8 + 18) * 10 * 1000.0 / 115200.0 : kFixedFloorMs;

  korsi::sim::SimulatorConfig config;
  config.archive = korsi::sim::generateArchive(500, 1);
  korsi::sim::GaugeSimulator gauge(config);
  gauge.start();

  korsi::PortResolver resolver;
  resolver.setPath(kPort, gauge.devicePath());
  TCommPort port(resolver);
  Modbus::MBSlave slave(port);
  Modbus::MBMaster master(port);
  master.setFastExchange(fast);
  port.setPortNumber(kPort);
  port.setActive(true);

  int failures = 0;
  Modbus::Request::MeashPoint request;
  Modbus::Response::MeashPoint response;
  const auto start = Clock::now();
  for (int i = 0; i < exchanges; ++i) {
    const int num = 1 + i % 500;
    request.setNum(num);
    master.send(request);
    Meash m{};
    if (master.receive(response) != 6 || !getMeash(response, &m) || m.num != num) ++failures;
  }
  const double meanMs = Millis(Clock::now() - start).count() / exchanges;

  std::printf("measurement exchanges:   %d (%d failed)\n", exchanges, failures);
  std::printf("mean time per exchange:  %.2f ms\n", meanMs);
  if (fast) {
    std::printf("fast exchange, floor:    %.2f ms (wire time of request and reply)\n", floorMs);
    std::printf("ratio (target <= 1.25):  %.3f\n", meanMs / floorMs);
  } else {
    std::printf("floor of the fixed waits: %.2f ms\n", floorMs);
    std::printf("ratio (target <= 1.05):  %.3f\n", meanMs / floorMs);
  }

  // The simulator's thread sleeps in poll() and this thread sleeps too, so the
  // process's CPU time is that of the port's reader and writer threads.
  const double cpuBefore = processCpuSeconds();
  const auto idleStart = Clock::now();
  std::this_thread::sleep_for(kIdleSpan);
  const double idleSeconds = std::chrono::duration<double>(Clock::now() - idleStart).count();
  const double cpuShare = (processCpuSeconds() - cpuBefore) / idleSeconds;
  std::printf("idle open port CPU:      %.3f %% of one core (target < 1 %%)\n", 100.0 * cpuShare);

  port.setActive(false);
  gauge.stop();
  return failures == 0 ? 0 : 1;
}
