// The command line of korsi7-transfer.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/transfer/transfer_options.h"

namespace {

using namespace korsi::transfer;
using Action = ParsedCommandLine::Action;

struct GoodCase {
  const char* name;
  std::vector<std::string> args;
  std::function<bool(const TransferOptions&)> holds;
};

std::ostream& operator<<(std::ostream& out, const GoodCase& c) { return out << c.name; }

class GoodTransferCommandLine : public ::testing::TestWithParam<GoodCase> {};

TEST_P(GoodTransferCommandLine, SetsTheOptions) {
  const ParsedCommandLine parsed = parseCommandLine(GetParam().args);
  ASSERT_EQ(parsed.action, Action::Run) << parsed.error;
  EXPECT_TRUE(GetParam().holds(parsed.options));
}

INSTANTIATE_TEST_SUITE_P(
    Options, GoodTransferCommandLine,
    ::testing::Values(
        GoodCase{"FindAlone", {"find"},
                 [](const TransferOptions& o) {
                   return o.command == Subcommand::Find && !o.port && !o.configPath && !o.logPath && !o.remember &&
                          !o.quiet && !o.fast;
                 }},
        GoodCase{"ReadIsWholeArchiveByDefault", {"read", "-o", "a.csv"},
                 [](const TransferOptions& o) {
                   return o.command == Subcommand::Read && o.kind == ReadKind::All && o.output == "a.csv";
                 }},
        GoodCase{"Range", {"read", "--range", "5-7", "--output=x.ks"},
                 [](const TransferOptions& o) {
                   return o.kind == ReadKind::Range && o.first == 5 && o.last == 7 && o.output == "x.ks";
                 }},
        GoodCase{"RangeOfOne", {"read", "--range=65535-65535", "-o", "-"},
                 [](const TransferOptions& o) { return o.first == 65535 && o.last == 65535 && o.output == "-"; }},
        GoodCase{"Number", {"read", "--number", "42", "-o", "x.csv"},
                 [](const TransferOptions& o) { return o.kind == ReadKind::Number && o.first == 42 && o.last == 42; }},
        GoodCase{"OptionsBeforeTheSubcommand", {"--config", "k.conf", "--quiet", "read", "-o", "x.csv", "--log=l.log"},
                 [](const TransferOptions& o) {
                   return o.configPath == "k.conf" && o.quiet && o.logPath == "l.log";
                 }},
        GoodCase{"PortAndRemember", {"find", "--port", "/dev/ttyUSB0", "--remember", "--fast"},
                 [](const TransferOptions& o) { return o.port == "/dev/ttyUSB0" && o.remember && o.fast; }}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCase {
  const char* name;
  std::vector<std::string> args;
  const char* named;  // what the error must mention
};

std::ostream& operator<<(std::ostream& out, const BadCase& c) { return out << c.name; }

class BadTransferCommandLine : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadTransferCommandLine, IsRefusedWithAReason) {
  const ParsedCommandLine parsed = parseCommandLine(GetParam().args);
  ASSERT_EQ(parsed.action, Action::Error);
  EXPECT_NE(parsed.error.find(GetParam().named), std::string::npos) << parsed.error;
  EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    Options, BadTransferCommandLine,
    ::testing::Values(BadCase{"NoSubcommand", {}, "subcommand"},
                      BadCase{"UnknownSubcommand", {"check"}, "check"},
                      BadCase{"TwoSubcommands", {"find", "read"}, "read"},
                      BadCase{"UnknownOption", {"find", "--bogus"}, "--bogus"},
                      BadCase{"ValueMissing", {"find", "--port"}, "--port"},
                      BadCase{"ValueOnAFlag", {"find", "--quiet=1"}, "--quiet"},
                      BadCase{"ReadWithoutOutput", {"read", "--all"}, "-o"},
                      BadCase{"OutputForFind", {"find", "-o", "x.csv"}, "-o"},
                      BadCase{"RangeForFind", {"find", "--range", "1-2"}, "--range"},
                      BadCase{"TwoReadKinds", {"read", "--all", "--number", "3", "-o", "x.csv"}, "exclude"},
                      BadCase{"BackwardsRange", {"read", "--range", "7-5", "-o", "x.csv"}, "greater"},
                      BadCase{"RangeWithoutDash", {"read", "--range", "7", "-o", "x.csv"}, "A-B"},
                      BadCase{"NumberZero", {"read", "--number", "0", "-o", "x.csv"}, "1 to 65535"},
                      BadCase{"NumberBeyondSixteenBits", {"read", "--number", "65536", "-o", "x.csv"}, "1 to 65535"},
                      BadCase{"RangeEndBeyondSixteenBits", {"read", "--range", "65530-65536", "-o", "x.csv"},
                              "1 to 65535"},
                      BadCase{"RangeBeyondAnInteger", {"read", "--range", "1-99999999999", "-o", "x.csv"},
                              "1 to 65535"},
                      BadCase{"NumberNotANumber", {"read", "--number", "4x", "-o", "x.csv"}, "4x"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TransferHelpAndVersion, WinOverEverythingElse) {
  EXPECT_EQ(parseCommandLine({"read", "--help"}).action, Action::Help);
  EXPECT_EQ(parseCommandLine({"--version"}).action, Action::Version);
}

TEST(TransferHelpText, ListsEveryExitStatus) {
  const std::string help = helpText();
  for (const char* status : {"\n  0 ", "\n  2 ", "\n  3 ", "\n  4 ", "\n  5 ", "\n  130 "}) {
    EXPECT_NE(help.find(status), std::string::npos) << status;
  }
}

struct PortCase {
  const char* text;
  std::optional<std::int32_t> number;
};

class PortArgumentOf : public ::testing::TestWithParam<PortCase> {};

TEST_P(PortArgumentOf, IsANumberOrAPath) {
  const PortArgument port = portArgument(GetParam().text);
  EXPECT_EQ(port.number, GetParam().number);
  EXPECT_EQ(port.path, GetParam().number ? "" : GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Ports, PortArgumentOf,
                         ::testing::Values(PortCase{"5", 5}, PortCase{"COM33", 33}, PortCase{"com7", 7},
                                           PortCase{"/dev/ttyUSB0", std::nullopt}, PortCase{"COM", std::nullopt},
                                           PortCase{"5x", std::nullopt}, PortCase{"ttyS0", std::nullopt}));

}  // namespace
