// The training mode's gauge: the simulator on a line inside the program,
// opened by the real serial port as its device, with the real master and the
// reading worker on top. Runs where there is no pseudo-terminal too.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "instrument/archive_size.h"
#include "instrument/hand_over.h"
#include "instrument/read_meashs_thread.h"
#include "link/comm_port.h"
#include "link/modbus_master.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"
#include "simulator/in_process_line.h"
#include "tests/support/view_recorder.h"

namespace {

using korsi::sim::GaugeFaults;
using korsi::sim::GaugeSimulator;
using korsi::sim::InProcessLine;
using korsi::sim::SimulatorConfig;

constexpr std::int32_t kPort = 200;

struct TrainingGauge {
  explicit TrainingGauge(std::size_t count, GaugeFaults faults = {})
      : archive(korsi::sim::generateArchive(count, 3)), gauge(SimulatorConfig{archive, std::move(faults), 5}) {
    auto line = std::make_unique<InProcessLine>();
    open = line->deviceFactory();
    gauge.start(std::move(line));
  }
  korsi::PortResolver resolver() const {
    korsi::PortResolver r;
    r.setDevice(kPort, gauge.devicePath(), open);
    return r;
  }
  std::vector<Meash> archive;
  GaugeSimulator gauge;
  korsi::serial::DeviceFactory open;
};

// Reads numbers 1..count through the worker, as the window does.
std::vector<Meash> readAll(Modbus::MBMaster& master, std::int32_t count) {
  korsi::test::ViewRecorder view;
  auto worker = korsi::ReadMeashsThread::start(master, korsi::ReadRange::of(1, count), view,
                                               std::make_shared<korsi::DirectHandOver>());
  worker->wait();
  return view.rows();
}

bool sameRows(const std::vector<Meash>& a, const std::vector<Meash>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].num != b[i].num || a[i].h != b[i].h || a[i].sec != b[i].sec || a[i].day != b[i].day) return false;
  }
  return true;
}

TEST(InProcessLineTest, ThePortReadsTheWholeArchiveThroughIt) {
  // Clean, and with the line's faults the pseudo-terminal's gauge shows:
  // checksum faults, replies split by a pause, stray bytes after replies.
  GaugeFaults faulty;
  faulty.crcFaultRate = 0.1;
  faulty.pauseMidReply = std::chrono::milliseconds(10);
  faulty.splitRate = 0.1;
  faulty.strayRate = 0.05;
  for (const GaugeFaults& faults : {GaugeFaults{}, faulty}) {
    TrainingGauge training(40, faults);
    TCommPort port(training.resolver());
    Modbus::MBMaster master(port);
    port.setPortNumber(kPort);
    ASSERT_NO_THROW(port.setActive(true));
    const auto size = korsi::askArchiveSize(master);
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(*size, 40);
    EXPECT_TRUE(sameRows(readAll(master, *size), training.archive));
  }
}

TEST(InProcessLineTest, HeldByOnePortItIsRefusedToAnotherAsInUse) {
  TrainingGauge training(5);
  TCommPort first(training.resolver());
  first.setPortNumber(kPort);
  first.setActive(true);
  TCommPort second(training.resolver());
  second.setPortNumber(kPort);
  EXPECT_THROW(second.setActive(true), ComPortException);
  EXPECT_NE(second.lastOpenFailure().find("in use"), std::string::npos) << second.lastOpenFailure();
  // Closed, it opens again for the other one.
  first.setActive(false);
  EXPECT_NO_THROW(second.setActive(true));
}

TEST(InProcessLineTest, AStoppedGaugeIsADeviceGoneAndNoLongerOpens) {
  TrainingGauge training(5);
  TCommPort port(training.resolver());
  port.setPortNumber(kPort);
  port.setActive(true);
  training.gauge.stop();
  // The reader finds the hang-up on its next wait (a guard, not a measurement).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!port.deviceGone() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(port.deviceGone());
  port.setActive(false);
  try {
    port.setActive(true);
    ADD_FAILURE() << "a stopped gauge opened";
  } catch (const ComPortException& e) {
    EXPECT_TRUE(e.deviceMissing());
  }
}

}  // namespace
