// The simulator program's command line.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/gauge_sim/gauge_sim_options.h"

namespace {

using korsi::sim::parseProgramOptions;
using korsi::sim::ProgramOptions;
using namespace std::chrono_literals;

struct GoodCase {
  const char* name;
  std::vector<std::string> args;
  std::function<bool(const ProgramOptions&)> holds;
};

std::ostream& operator<<(std::ostream& out, const GoodCase& c) { return out << c.name; }

class GoodCommandLine : public ::testing::TestWithParam<GoodCase> {};

TEST_P(GoodCommandLine, SetsTheOptions) {
  std::string error;
  const auto options = parseProgramOptions(GetParam().args, &error);
  ASSERT_TRUE(options) << error;
  EXPECT_TRUE(GetParam().holds(*options));
}

INSTANTIATE_TEST_SUITE_P(
    Options, GoodCommandLine,
    ::testing::Values(
        GoodCase{"Defaults", {}, [](const ProgramOptions& o) {
                   return o.count == 20 && o.seed == 1 && !o.csvPath && o.faults.replyAddress == 1 &&
                          !o.faults.silentAfter && !o.faults.archiveSize;
                 }},
        GoodCase{"CountAndSeed", {"--count", "300", "--seed=0x10"},
                 [](const ProgramOptions& o) { return o.count == 300 && o.seed == 16; }},
        GoodCase{"Csv", {"--csv", "archive.csv"}, [](const ProgramOptions& o) { return o.csvPath == "archive.csv"; }},
        GoodCase{"Rates", {"--crc-fault-rate", "0.25", "--wrong-num-rate=1"},
                 [](const ProgramOptions& o) { return o.faults.crcFaultRate == 0.25 && o.faults.wrongNumRate == 1.0; }},
        GoodCase{"AddressAndExceptions", {"--address", "2", "--exception", "6:3", "--exception=0x04:1"},
                 [](const ProgramOptions& o) {
                   return o.faults.replyAddress == 2 && o.faults.exceptions.size() == 2 && o.faults.exceptions.at(6) == 3 &&
                          o.faults.exceptions.at(4) == 1;
                 }},
        GoodCase{"TimingFaults", {"--delay", "40", "--pause-mid-reply", "5"},
                 [](const ProgramOptions& o) { return o.faults.delay == 40ms && o.faults.pauseMidReply == 5ms; }},
        GoodCase{"CountedFaults", {"--silent-after", "0", "--extra-bytes", "2", "--archive-size", "501"},
                 [](const ProgramOptions& o) {
                   return o.faults.silentAfter == 0u && o.faults.extraBytes == 2 && o.faults.archiveSize == 501;
                 }},
        GoodCase{"LateRepliesAndStrayBytes",
                 {"--late-rate", "0.05", "--late-by=80", "--stray-rate", "0.2", "--stray-bytes", "3"},
                 [](const ProgramOptions& o) {
                   return o.faults.lateRate == 0.05 && o.faults.lateBy == 80ms && o.faults.strayRate == 0.2 &&
                          o.faults.strayBytes == 3;
                 }},
        // A share of split replies without a pause length gets a pause
        // longer than the master's silence; a pause alone splits every reply.
        GoodCase{"SplitShareAlone", {"--split-rate", "0.1"},
                 [](const ProgramOptions& o) { return o.faults.splitRate == 0.1 && o.faults.pauseMidReply == 10ms; }},
        GoodCase{"SplitShareWithPause", {"--pause-mid-reply", "3", "--split-rate", "0.5"},
                 [](const ProgramOptions& o) { return o.faults.splitRate == 0.5 && o.faults.pauseMidReply == 3ms; }},
        GoodCase{"PauseAloneSplitsEveryReply", {"--pause-mid-reply", "3"},
                 [](const ProgramOptions& o) { return o.faults.splitRate == 1.0 && o.faults.pauseMidReply == 3ms; }},
        GoodCase{"StreamFromTheStart", {"--stream-after", "0"},
                 [](const ProgramOptions& o) { return o.faults.streamAfter == 0u; }},
        GoodCase{"HelpAndVerbose", {"--verbose", "--help"}, [](const ProgramOptions& o) { return o.help && o.verbose; }}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCase {
  const char* name;
  std::vector<std::string> args;
  const char* error;
};

std::ostream& operator<<(std::ostream& out, const BadCase& c) { return out << c.name; }

class BadCommandLine : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadCommandLine, IsRefusedWithAReason) {
  std::string error;
  EXPECT_FALSE(parseProgramOptions(GetParam().args, &error));
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Options, BadCommandLine,
    ::testing::Values(BadCase{"Unknown", {"--colour", "red"}, "unknown option --colour"},
                      BadCase{"MissingValue", {"--count"}, "--count needs a value"},
                      BadCase{"CountTooLarge", {"--count", "65536"}, "bad value for --count: 65536"},
                      BadCase{"RateAboveOne", {"--crc-fault-rate", "1.5"}, "bad value for --crc-fault-rate: 1.5"},
                      BadCase{"NegativeRate", {"--wrong-num-rate=-0.1"}, "bad value for --wrong-num-rate: -0.1"},
                      BadCase{"AddressAboveAByte", {"--address", "256"}, "bad value for --address: 256"},
                      BadCase{"ExceptionWithoutCode", {"--exception", "6"}, "bad value for --exception: 6"},
                      BadCase{"ArchiveSizeAbove16Bits", {"--archive-size", "70000"}, "bad value for --archive-size: 70000"},
                      BadCase{"LateRateAboveOne", {"--late-rate", "2"}, "bad value for --late-rate: 2"},
                      BadCase{"TooManyStrayBytes", {"--stray-bytes", "5000"}, "bad value for --stray-bytes: 5000"},
                      BadCase{"StreamAfterNothing", {"--stream-after", "x"}, "bad value for --stream-after: x"},
                      BadCase{"CountWithCsv", {"--count", "5", "--csv", "a.csv"}, "--count and --csv exclude each other"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
