// The whole-archive command's question "how many measurements?", asked of the
// simulated gauge on a real pseudo-terminal, or of a scripted one where the
// answer must change from one try to the next. A count the command can read is
// taken at once; faults, exception replies and counts above 500 are asked
// again, at most ten times, each with its own log line.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "instrument/archive_size.h"
#include "tests/support/gauge_bench.h"
#include "tests/support/patient_reply_wait.h"
#include "tests/support/scripted_gauge.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"

namespace {

using korsi::test::Bytes;
using ::testing::ElementsAreArray;

using Faults = korsi::sim::GaugeFaults;

constexpr std::int32_t kPort = 7;

struct SizeCase {
  const char* name;
  // The simulated gauge with the faults this sets (archive of 20)...
  void (*faults)(Faults&);
  // ...or, when not empty, a scripted gauge with one reply per request.
  std::vector<Bytes> script;
  std::optional<std::uint16_t> count;
  int requests;
  // The question's own log lines, in order.
  std::vector<std::string> log;
  // The gauge stays silent on purpose: the real reply wait, not a patient one.
  bool silent = false;
};

void PrintTo(const SizeCase& c, std::ostream* out) { *out << c.name; }

std::vector<std::string> times(int n, const std::string& line) { return std::vector<std::string>(n, line); }

Bytes broken(Bytes frame) {
  frame.back() ^= 0xFF;
  return frame;
}

class ArchiveSize : public ::testing::TestWithParam<SizeCase> {
 protected:
  void SetUp() override {
    const SizeCase& c = GetParam();
    if (c.script.empty()) {
      korsi::sim::SimulatorConfig config;
      config.archive = korsi::sim::generateArchive(20, 3);
      if (c.faults) c.faults(config.faults);
      gauge = std::make_unique<korsi::sim::GaugeSimulator>(config);
      gauge->start();
      bench.attach(kPort, gauge->devicePath());
    } else {
      scripted = std::make_unique<korsi::test::ScriptedGauge>(c.script);
      bench.attach(kPort, scripted->devicePath());
    }
    bench.open(kPort);
  }

  int requestsSeen(int expected) {
    if (scripted) {
      scripted->join();
      return scripted->requests();
    }
    gauge->waitUntil([expected](const auto& c) { return c.requestsSeen >= static_cast<std::uint64_t>(expected); },
                     std::chrono::seconds(5));
    return static_cast<int>(gauge->counters().requestsSeen);
  }

  // The lines the question writes, without the master's own.
  std::vector<std::string> questionLog() const {
    std::vector<std::string> out;
    for (const std::string& line : bench.logLines()) {
      if (line.find("error code = ") != std::string::npos || line.find("Exception with") != std::string::npos ||
          line.find("Unexpected reply") != std::string::npos ||
          line.find("Количество измерений") != std::string::npos) {
        out.push_back(line);
      }
    }
    return out;
  }

  korsi::test::GaugeBench bench;
  std::unique_ptr<korsi::sim::GaugeSimulator> gauge;
  std::unique_ptr<korsi::test::ScriptedGauge> scripted;
};

TEST_P(ArchiveSize, TakesTheFirstCountItCanReadAndGivesUpAfterTenTries) {
  const SizeCase& c = GetParam();
  // What is asked matters here, not when: a reply late on a busy computer is
  // waited for, unless the case is about silence.
  std::optional<korsi::test::PatientReplyWait> patience;
  if (!c.silent) patience.emplace();
  EXPECT_EQ(korsi::askArchiveSize(bench.master()), c.count);
  EXPECT_EQ(requestsSeen(c.requests), c.requests);
  EXPECT_THAT(questionLog(), ElementsAreArray(c.log));
}

INSTANTIATE_TEST_SUITE_P(
    Gauge, ArchiveSize,
    ::testing::Values(
        SizeCase{"Answers", nullptr, {}, 20, 1, {"INF Количество измерений: 20"}},
        SizeCase{"FullArchiveOf500IsRead", [](Faults& f) { f.archiveSize = 500; }, {}, 500, 1,
                 {"INF Количество измерений: 500"}},
        // Silence is no answer, never an empty archive.
        SizeCase{"NoAnswerIsNoCount", [](Faults& f) { f.silentAfter = 0; }, {}, std::nullopt, 10,
                 times(10, "ERR error code = -6"), true},
        SizeCase{"KeepsFaulting", [](Faults& f) { f.crcFaultRate = 1.0; }, {}, std::nullopt, 10,
                 times(10, "ERR error code = -4")},
        SizeCase{"AlwaysAbove500", [](Faults& f) { f.archiveSize = 501; }, {}, std::nullopt, 10,
                 times(10, "ERR Количество измерений > 500: 501")},
        SizeCase{"AlwaysException", [](Faults& f) { f.exceptions[5] = 4; }, {}, std::nullopt, 10,
                 times(10, "ERR Exception with function code: 133 and exception code: 4")},
        SizeCase{"Above500ThenFits",
                 nullptr,
                 {korsi::test::archiveSizeReply(501), korsi::test::archiveSizeReply(300)},
                 300,
                 2,
                 {"ERR Количество измерений > 500: 501", "INF Количество измерений: 300"}},
        SizeCase{"ExceptionThenAnswer",
                 nullptr,
                 {korsi::test::exceptionReply(5, 4), korsi::test::archiveSizeReply(12)},
                 12,
                 2,
                 {"ERR Exception with function code: 133 and exception code: 4", "INF Количество измерений: 12"}},
        SizeCase{"ChecksumFaultThenAnswer",
                 {},
                 {broken(korsi::test::archiveSizeReply(7)), korsi::test::archiveSizeReply(7)},
                 7,
                 2,
                 {"ERR error code = -4", "INF Количество измерений: 7"}},
        // The count is never read from a reply that failed, even when every
        // try after it meets silence.
        SizeCase{"ChecksumFaultThenSilence",
                 {},
                 [] {
                   std::vector<Bytes> script{broken(korsi::test::archiveSizeReply(7))};
                   script.resize(10);
                   return script;
                 }(),
                 std::nullopt,
                 10,
                 [] {
                   std::vector<std::string> log{"ERR error code = -4"};
                   const auto silent = times(9, "ERR error code = -6");
                   log.insert(log.end(), silent.begin(), silent.end());
                   return log;
                 }(),
                 true},
        // An accepted reply of another shape (a late echo reply) holds no count.
        SizeCase{"EchoReplyIsNoCount",
                 {},
                 {korsi::test::echoReply(), korsi::test::archiveSizeReply(9)},
                 9,
                 2,
                 {"ERR Unexpected reply: function code 4, 7 bytes", "INF Количество измерений: 9"}},
        SizeCase{"AnswerAtTheTenthTry",
                 nullptr,
                 [] {
                   std::vector<Bytes> script(9, korsi::test::archiveSizeReply(501));
                   script.push_back(korsi::test::archiveSizeReply(499));
                   return script;
                 }(),
                 499,
                 10,
                 [] {
                   auto log = times(9, "ERR Количество измерений > 500: 501");
                   log.push_back("INF Количество измерений: 499");
                   return log;
                 }()}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
