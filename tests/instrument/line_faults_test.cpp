// What the search and the reading do when the line itself fails, against the
// simulated gauge on a real pseudo-terminal: the gauge unplugged (its side of
// the terminal closes) while a reading runs or while the port is idle, and
// plugged in again; and a line that never falls silent during a search, a
// reading and at exit. Nothing may hang: the reading ends on the
// lost-connection path, the port closes, its threads go, and Cancel and exit
// end a never-quiet exchange. The time limits here are hang guards only; the
// measured times and CPU shares are printed.

#include <sys/resource.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "instrument/converter_driver.h"
#include "instrument/device_found_thread.h"
#include "instrument/hand_over.h"
#include "instrument/read_meashs_thread.h"
#include "tests/support/comm_port_access.h"
#include "tests/support/gauge_bench.h"
#include "tests/support/patient_reply_wait.h"
#include "tests/support/tempdir.h"
#include "tests/support/thread_census.h"
#include "tests/support/view_recorder.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Faults = korsi::sim::GaugeFaults;
using ::testing::Contains;
using ::testing::Not;

constexpr std::int32_t kPort = 7;
// Hang guards: far beyond what each step needs.
constexpr auto kCloseGuard = 5s;
constexpr auto kStopGuard = 5s;
constexpr const char* kLostConnectionBox =
    "message Ошибка: Сбой при передаче данных. Попробуйте перезапустить программу. [error icon]";

class InstalledDriverWithoutPorts final : public korsi::ConverterDriver {
 public:
  korsi::ConverterPorts query() const override { return {true, {}}; }
};

// Waits until no thread is left of those started since before; the ones
// still there after a generous bound.
korsi::test::ThreadIds threadsLeftSince(const korsi::test::ThreadIds& before) {
  const auto left = [&before](const korsi::test::ThreadIds& now) { return korsi::test::newThreads(before, now); };
  return left(korsi::test::waitForThreads([&left](const auto& now) { return left(now).empty(); }));
}

// The process's CPU time and its context switches: a thread that rests
// switches a few times a second, one that spins on a dead device a thousand.
struct Usage {
  std::chrono::nanoseconds cpu{0};
  long switches = 0;

  static Usage now() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    return {std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec), r.ru_nvcsw + r.ru_nivcsw};
  }
};

template <class Duration>
double milliseconds(Duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

class LineFaults : public ::testing::Test {
 protected:
  LineFaults() : bench(kPort) {
    // The port reaches the gauge through a link, as /dev/serial/by-id names
    // an adapter: plugged in again, the gauge is behind the same name.
    bench.attach(kPort, linkPath);
  }

  // Plugs the simulated gauge in behind the port's name.
  void plugIn(std::size_t count, Faults faults = {}) {
    korsi::sim::SimulatorConfig config;
    config.archive = korsi::sim::generateArchive(count, 4);
    config.faults = faults;
    archive = config.archive;
    gauge = std::make_unique<korsi::sim::GaugeSimulator>(config);
    gauge->start();
    std::filesystem::remove(linkPath);
    std::filesystem::create_symlink(gauge->devicePath(), linkPath);
  }

  void startReading(std::int32_t first, std::int32_t last) {
    reading = korsi::ReadMeashsThread::start(bench.master(), korsi::ReadRange::of(first, last), *view,
                                             std::make_shared<korsi::DirectHandOver>());
  }

  void search() {
    auto worker = korsi::DeviceFoundThread::start({bench.port(), bench.master(), bench.config(), driver}, *view,
                                                  std::make_shared<korsi::DirectHandOver>());
    worker->wait();
  }

  // Asks worker to stop and waits for it; the time it took.
  static Clock::duration stopAndWait(korsi::StoppableWorker& worker) {
    const auto start = Clock::now();
    worker.requestStop();
    worker.wait();
    return Clock::now() - start;
  }

  // Closes the port; the time it took.
  Clock::duration closePort() {
    const auto start = Clock::now();
    bench.port().setActive(false);
    return Clock::now() - start;
  }

  // The rows are measurements 1, 2, ... of the gauge, in order and whole.
  void expectLeadingRows(std::size_t atLeast) const {
    const std::vector<Meash> rows = view->rows();
    ASSERT_GE(rows.size(), atLeast);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].num, i + 1);
      EXPECT_EQ(rows[i].h, archive[i].h) << "row " << i + 1;
    }
  }

  // These tests are about a line that fails, not about the reply wait: a
  // busy computer must not turn an on-time reply into a lost connection.
  korsi::test::PatientReplyWait patience;
  korsi::test::TempDir dir;
  std::string linkPath = dir.file("gauge");
  korsi::test::GaugeBench bench;
  InstalledDriverWithoutPorts driver;
  // A fresh one when the gauge is plugged in again.
  std::unique_ptr<korsi::test::ViewRecorder> view = std::make_unique<korsi::test::ViewRecorder>();
  std::vector<Meash> archive;
  std::unique_ptr<korsi::sim::GaugeSimulator> gauge;
  std::shared_ptr<korsi::ReadMeashsThread> reading;
};

// ---- Unplugging -----------------------------------------------------------

struct UnplugCase {
  const char* name;
  bool whileReading;
};

void PrintTo(const UnplugCase& c, std::ostream* out) { *out << c.name; }

class Unplug : public LineFaults, public ::testing::WithParamInterface<UnplugCase> {};

TEST_P(Unplug, PortRestsWhileGoneClosesAndTheGaugeIsFoundAgain) {
  const korsi::test::ThreadIds withoutGauge = korsi::test::threadIds();
  plugIn(500);
  search();
  ASSERT_TRUE(bench.port().isActive());
  ASSERT_THAT(view->events(), Contains("commands Read on"));

  if (GetParam().whileReading) {
    startReading(1, 500);
    ASSERT_TRUE(view->waitFor("row 20"));
  }
  gauge->stop();  // the cable is pulled

  if (GetParam().whileReading) {
    // The reading ends on its own, on the lost-connection path, with the
    // rows read so far.
    reading->wait();
    EXPECT_EQ(view->events().back(), kLostConnectionBox);
    EXPECT_THAT(bench.logLinesStartingWith("ERR "), Contains("ERR Connection lost"));
    expectLeadingRows(20);
  } else {
    // An exchange on the idle port fails with no reply.
    Modbus::Request::EchoMessage echo;
    Modbus::Response::EchoMessage reply;
    bench.master().send(echo);
    EXPECT_EQ(bench.master().receive(reply), Modbus::Result::kNoReply);
  }

  // While the device is gone the port's threads rest.
  const auto deadline = Clock::now() + 5s;
  while (!bench.port().deviceGone() && Clock::now() < deadline) std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(bench.port().deviceGone());
  const Usage before = Usage::now();
  const auto restStart = Clock::now();
  std::this_thread::sleep_for(1s);
  const Usage after = Usage::now();
  const double share = 100.0 * milliseconds(after.cpu - before.cpu) / milliseconds(Clock::now() - restStart);
  const long switches = after.switches - before.switches;
  std::cout << "[ figures  ] " << GetParam().name << ": CPU while gone " << share << " % of a core, " << switches
            << " context switches in 1 s\n";
  EXPECT_LT(switches, 200) << "the port's threads wake as if polling a live line";

  const auto closing = closePort();
  std::cout << "[ figures  ] " << GetParam().name << ": close took " << milliseconds(closing) << " ms\n";
  EXPECT_LT(closing, kCloseGuard);
  EXPECT_EQ(korsi::test::CommPortAccess::readThread(bench.port()), nullptr);
  EXPECT_EQ(korsi::test::CommPortAccess::writeThread(bench.port()), nullptr);
  // The simulator's thread went with the gauge; nothing of the port is left.
  EXPECT_THAT(threadsLeftSince(withoutGauge), ::testing::IsEmpty());

  // Plugged in again: a new search finds it and a reading works.
  plugIn(5);
  reading.reset();
  view = std::make_unique<korsi::test::ViewRecorder>();
  search();
  EXPECT_THAT(view->events(), Contains("commands Read on"));
  ASSERT_TRUE(bench.port().isActive());
  startReading(1, 5);
  reading->wait();
  EXPECT_THAT(view->events(), Not(Contains(kLostConnectionBox)));
  expectLeadingRows(5);
  EXPECT_EQ(view->rows().size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(Gauge, Unplug,
                         ::testing::Values(UnplugCase{"WhileReading", true}, UnplugCase{"WhileIdle", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- A line that never falls silent ---------------------------------------

Faults streamingAfter(std::uint64_t replies) {
  Faults f;
  f.streamAfter = replies;
  return f;
}

TEST_F(LineFaults, NeverQuietLineDuringASearchEndsAtCancel) {
  plugIn(5, streamingAfter(0));
  auto worker = korsi::DeviceFoundThread::start({bench.port(), bench.master(), bench.config(), driver}, *view,
                                                std::make_shared<korsi::DirectHandOver>());
  // The search is probing port 7 while the line streams: its echo requests
  // arrive and are dropped.
  ASSERT_TRUE(gauge->waitUntil([](const auto& c) { return c.bytesHandled >= 3 * 8; }, 20s));
  const auto stopping = stopAndWait(*worker);
  std::cout << "[ figures  ] search on a never-quiet line: Cancel took " << milliseconds(stopping) << " ms\n";
  EXPECT_LT(stopping, kStopGuard);
  EXPECT_THAT(view->events(), Not(Contains("commands Read on")));
  EXPECT_LT(closePort(), kCloseGuard);
}

TEST_F(LineFaults, NeverQuietLineDuringAReadingAddsNoRowAndEndsAtCancel) {
  plugIn(100, streamingAfter(15));
  bench.open(kPort);
  startReading(1, 100);
  // The stream follows the 15th reply at once and spoils it: 14 rows.
  ASSERT_TRUE(view->waitFor("row 14"));
  // Every exchange now ends as a checksum or address fault and is asked
  // again; the reading goes on until Cancel, adding nothing.
  ASSERT_TRUE(gauge->waitUntil([](const auto& c) { return c.bytesHandled >= 14 * 8 + 3 * 8; }, 20s));
  const auto stopping = stopAndWait(*reading);
  std::cout << "[ figures  ] reading on a never-quiet line: Cancel took " << milliseconds(stopping) << " ms\n";
  EXPECT_LT(stopping, kStopGuard);
  expectLeadingRows(14);
  EXPECT_EQ(view->rows().size(), 14u);
  EXPECT_LT(closePort(), kCloseGuard);
}

// Exit stops the reading and closes the port while the line still streams.
TEST_F(LineFaults, NeverQuietLineAtExitEndsTheReadingAndClosesThePort) {
  plugIn(100, streamingAfter(3));
  const korsi::test::ThreadIds withoutPort = korsi::test::threadIds();
  bench.open(kPort);
  startReading(1, 100);
  ASSERT_TRUE(view->waitFor("row 2"));
  ASSERT_TRUE(gauge->waitUntil([](const auto& c) { return c.bytesHandled >= 2 * 8 + 2 * 8; }, 20s));
  const auto start = Clock::now();
  reading->requestStop();
  reading->wait();
  bench.port().setActive(false);
  const auto exiting = Clock::now() - start;
  std::cout << "[ figures  ] exit on a never-quiet line took " << milliseconds(exiting) << " ms\n";
  EXPECT_LT(exiting, kStopGuard);
  reading.reset();
  EXPECT_THAT(threadsLeftSince(withoutPort), ::testing::IsEmpty());
}

}  // namespace
