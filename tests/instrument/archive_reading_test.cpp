// The archive reading against the simulated gauge on a real pseudo-terminal:
// the rows that reach the table, in order and equal to the gauge's archive,
// the progress window, the commands taken and given back, and how each fault
// of the gauge ends (asked again, or the reading ends with what it has).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "instrument/hand_over.h"
#include "instrument/read_meashs_thread.h"
#include "tests/support/gauge_bench.h"
#include "tests/support/patient_reply_wait.h"
#include "tests/support/view_recorder.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"

namespace {

using namespace std::chrono_literals;
using Faults = korsi::sim::GaugeFaults;
using ::testing::Contains;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr std::int32_t kPort = 7;

auto fields(const Meash& m) { return std::tie(m.num, m.sec, m.min, m.hour, m.day, m.month, m.year, m.h); }

class ArchiveReading : public ::testing::Test {
 protected:
  void startGauge(std::size_t count, Faults faults = {}, std::uint64_t seed = 1) {
    korsi::sim::SimulatorConfig config;
    config.archive = korsi::sim::generateArchive(count, 5);
    config.faults = faults;
    config.seed = seed;
    archive = config.archive;
    gauge = std::make_unique<korsi::sim::GaugeSimulator>(config);
    gauge->start();
    bench.attach(kPort, gauge->devicePath());
    bench.open(kPort);
  }

  // Starts the reading of a..b and waits until it has ended.
  void read(std::int32_t a, std::int32_t b) {
    worker = korsi::ReadMeashsThread::start(bench.master(), korsi::ReadRange::of(a, b), view,
                                            std::make_shared<korsi::DirectHandOver>());
    worker->wait();
  }

  // The table holds exactly measurements first..last of the gauge, in order.
  void expectRows(std::int32_t first, std::int32_t last) const {
    const std::vector<Meash> rows = view.rows();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(last - first + 1));
    for (std::int32_t n = first; n <= last; ++n) {
      EXPECT_EQ(fields(rows[static_cast<std::size_t>(n - first)]), fields(archive[static_cast<std::size_t>(n - 1)]))
          << "row of measurement " << n;
    }
  }

  std::uint64_t requestsSeen() const { return gauge->counters().requestsSeen; }
  std::uint64_t repliesSent() const { return gauge->counters().repliesSent; }

  // What is exchanged matters here, not when: a reply late on a busy computer
  // is waited for. The test of a silent gauge drops it.
  std::optional<korsi::test::PatientReplyWait> patience{std::in_place};
  korsi::test::GaugeBench bench;
  korsi::test::ViewRecorder view;
  std::vector<Meash> archive;
  std::unique_ptr<korsi::sim::GaugeSimulator> gauge;
  std::shared_ptr<korsi::ReadMeashsThread> worker;
};

struct RangeCase {
  const char* name;
  std::size_t archive;
  std::int32_t a, b;
  std::int32_t first, last;  // the rows expected
  std::vector<std::string> progress;  // empty: only checked to end at 100
};

void PrintTo(const RangeCase& c, std::ostream* out) { *out << c.name; }

class ReadingRange : public ArchiveReading, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(ReadingRange, TableGetsExactlyTheAskedMeasurementsInOrder) {
  const RangeCase& c = GetParam();
  startGauge(c.archive);
  read(c.a, c.b);

  expectRows(c.first, c.last);
  const auto progress = view.eventsStartingWith("progress ");
  if (!c.progress.empty()) {
    std::vector<std::string> expected{"progress shown"};
    expected.insert(expected.end(), c.progress.begin(), c.progress.end());
    expected.push_back("progress closed");
    EXPECT_THAT(progress, ElementsAreArray(expected));
  } else {
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress[progress.size() - 2], "progress 100");
  }
  // The commands are taken for the whole reading and given back at its end.
  const auto commands = view.eventsStartingWith("commands ");
  EXPECT_THAT(commands, ElementsAre("commands Reading off", "commands Reading on"));
  EXPECT_THAT(bench.logLinesStartingWith("ERR "), IsEmpty());
  // One exchange per row: nothing was asked twice or past the last number.
  EXPECT_EQ(requestsSeen(), static_cast<std::uint64_t>(c.last - c.first + 1));
}

INSTANTIATE_TEST_SUITE_P(
    Simulator, ReadingRange,
    ::testing::Values(RangeCase{"WholeArchiveOf3", 3, 1, 3, 1, 3, {"progress 33", "progress 66", "progress 100"}},
                      RangeCase{"WholeArchiveOf500", 500, 1, 500, 1, 500, {}},
                      RangeCase{"From5To7", 20, 5, 7, 5, 7, {"progress 33", "progress 66", "progress 100"}},
                      // Entered backwards, the range is its second number alone.
                      RangeCase{"From7To5ReadsOnly5", 20, 7, 5, 5, 5, {"progress 100"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArchiveReading, NumberZeroEndsTheReadingBeforeAnythingIsSent) {
  startGauge(20);
  read(0, 3);

  EXPECT_TRUE(view.rows().empty());
  EXPECT_THAT(bench.logLinesStartingWith("ERR "), ElementsAre("ERR Номер измерения равен нулю"));
  EXPECT_THAT(view.events(), ElementsAre("progress shown", "commands Reading off", "rows cleared", "progress closed",
                                         "commands Reading on"));
  EXPECT_EQ(requestsSeen(), 0u);
}

// A number the gauge cannot hold is never sent cut to its 16 bits (65536
// would ask for 0, -1 for 65535): the reading ends before any request.
TEST_F(ArchiveReading, NumbersBeyondTheGaugesSixteenBitsAreNeverSent) {
  startGauge(20);
  for (const std::int32_t n : {65536, 65536 + 5, -1}) {
    SCOPED_TRACE(n);
    read(n, n);
    EXPECT_EQ(requestsSeen(), 0u);
    EXPECT_THAT(bench.logLinesStartingWith("ERR "),
                Contains("ERR Номер измерения вне 1-65535: " + std::to_string(n)));
  }
  EXPECT_TRUE(view.rows().empty());
}

// The whole archive: the reading asks the size itself, under its progress
// window, then empties the table and reads 1 to the size; a gauge that
// holds nothing leaves the rows as they were and says so.
TEST_F(ArchiveReading, WholeArchiveAsksTheSizeFirstAndSaysWhenThereIsNothing) {
  startGauge(3);
  worker = korsi::ReadMeashsThread::startWholeArchive(bench.master(), view, std::make_shared<korsi::DirectHandOver>());
  worker->wait();
  expectRows(1, 3);
  EXPECT_THAT(view.events(), ElementsAre("progress shown", "progress 0", "commands Reading off", "rows cleared",
                                         "row 1", "progress 33", "row 2", "progress 66", "row 3", "progress 100",
                                         "progress closed", "commands Reading on"));
  EXPECT_EQ(requestsSeen(), 1u + 3u);

  gauge->stop();
  Faults empty;
  empty.archiveSize = 0;
  startGauge(3, empty);
  korsi::test::ViewRecorder emptyView;
  worker = korsi::ReadMeashsThread::startWholeArchive(bench.master(), emptyView,
                                                      std::make_shared<korsi::DirectHandOver>());
  worker->wait();
  EXPECT_THAT(emptyView.events(), ElementsAre("progress shown", "progress 0", "commands Reading off",
                                              "progress closed", "commands Reading on",
                                              "message Внимание: В приборе нет измерений"));
  EXPECT_EQ(requestsSeen(), 1u);  // the size alone
  EXPECT_THAT(bench.logLinesStartingWith("ERR "), Contains("ERR Номер измерения равен нулю"));
}

struct RetryCase {
  const char* name;
  void (*faults)(Faults&);
  std::string line;  // logged once for each reply that is asked again
};

void PrintTo(const RetryCase& c, std::ostream* out) { *out << c.name; }

class ReadingRetry : public ArchiveReading, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(ReadingRetry, AsksAgainUntilTheRightRowSoNoNumberIsMissing) {
  constexpr std::int32_t kCount = 30;
  Faults faults;
  GetParam().faults(faults);
  startGauge(kCount, faults, 11);
  read(1, kCount);

  expectRows(1, kCount);
  // Every reply beyond one per row was a bad one, and each has its line.
  const auto retries = bench.logLinesStartingWith("ERR ");
  EXPECT_GT(retries.size(), 0u) << "the seeded rate gave no fault; choose another seed";
  EXPECT_EQ(retries.size(), repliesSent() - kCount);
  EXPECT_THAT(retries, Each(GetParam().line));
  EXPECT_THAT(view.eventsStartingWith("commands "), ElementsAre("commands Reading off", "commands Reading on"));
}

void crcFaults(Faults& f) { f.crcFaultRate = 0.3; }
void wrongNumbers(Faults& f) { f.wrongNumRate = 0.4; }

INSTANTIATE_TEST_SUITE_P(Simulator, ReadingRetry,
                         ::testing::Values(RetryCase{"ChecksumFault", crcFaults, "ERR error code = -4"},
                                           RetryCase{"WrongNumber", wrongNumbers, "ERR m.num != num"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArchiveReading, ExceptionReplyEndsTheReadingAndKeepsTheRowsSoFar) {
  // Measurement 21 lies beyond an archive of 20: the gauge answers "illegal data address".
  startGauge(20);
  read(18, 25);

  expectRows(18, 20);
  EXPECT_THAT(bench.logLinesStartingWith("ERR "),
              ElementsAre("ERR Exception with function code: 134 and exception code: 2"));
  const auto events = view.events();
  ASSERT_GE(events.size(), 2u);
  // The table is shorter than asked: the box says which measurement the gauge
  // refused and why.
  EXPECT_THAT(std::vector(events.end() - 3, events.end()),
              ElementsAre("progress closed", "commands Reading on",
                          "message Ошибка: " + korsi::refusedMeasurementText(21, 2) + " [error icon]"));
  EXPECT_THAT(korsi::refusedMeasurementText(21, 2), ::testing::AllOf(::testing::HasSubstr("21"),
                                                                       ::testing::HasSubstr("код исключения 2")));
  // The read commands stay: the gauge still answers.
  EXPECT_THAT(events, Not(Contains("commands Read off")));
  EXPECT_EQ(requestsSeen(), 4u);
}

TEST_F(ArchiveReading, GaugeThatStopsAnsweringEndsTheReadingWithTheBox) {
  patience.reset();
  Faults faults;
  faults.silentAfter = 4;
  startGauge(10, faults);
  read(1, 10);

  expectRows(1, 4);
  std::vector<std::string> errors(korsi::kSilentTriesPerNumber, "ERR error code = -6");
  errors.push_back("ERR Измерение 5: нет верного ответа после " + std::to_string(korsi::kSilentTriesPerNumber) +
                   " попыток");
  errors.push_back("ERR Connection lost");
  EXPECT_THAT(bench.logLinesStartingWith("ERR "), ElementsAreArray(errors));
  const auto events = view.events();
  ASSERT_GE(events.size(), 6u);
  EXPECT_THAT(std::vector(events.end() - 6, events.end()),
              ElementsAre("row 4", "progress 40", "progress closed", "commands Reading on", "commands Read off",
                          "message Ошибка: Сбой при передаче данных. Попробуйте перезапустить программу. [error icon]"));
  // One reply missed on a busy computer is asked again; a silent gauge is
  // given up after kSilentTriesPerNumber tries.
  // The last request is never answered: it may still be on its way to the gauge.
  const std::uint64_t asked = 4u + korsi::kSilentTriesPerNumber;
  gauge->waitUntil([asked](const auto& c) { return c.requestsSeen >= asked; }, std::chrono::seconds(10));
  EXPECT_EQ(requestsSeen(), asked);
}

TEST_F(ArchiveReading, CancelAfterARowStopsEverythingAtOnce) {
  startGauge(10);
  std::vector<std::string> logAtStop;
  // Cancel is pressed on the worker's own thread, right as row 3 is shown:
  // the row and its progress are one visit to the window, so the visit ends,
  // and from then on nothing may change. The worker is handed over through an
  // atomic, as it is made while its body already runs.
  std::atomic<korsi::StoppableWorker*> started{nullptr};
  view.on("row 3", [&] {
    while (started.load() == nullptr) std::this_thread::yield();
    logAtStop = bench.logLines();
    started.load()->requestStop();
  });
  worker = korsi::ReadMeashsThread::start(bench.master(), korsi::ReadRange::of(1, 10), view,
                                          std::make_shared<korsi::DirectHandOver>());
  started = worker.get();
  ASSERT_TRUE(view.waitFor("row 3"));
  worker->wait();

  expectRows(1, 3);
  EXPECT_EQ(view.events().back(), "progress 30");
  EXPECT_EQ(bench.logLines(), logAtStop);
  // Nothing more goes to the gauge either.
  EXPECT_FALSE(gauge->waitUntil([](const auto& c) { return c.requestsSeen > 3; }, 300ms));
}

}  // namespace
