// The short soak: a few hundred measurements read through the real serial
// path on a pseudo-terminal while the simulated gauge shows its faults
// together (checksum faults, wrong numbers, stray bytes, split and late
// replies). Every number comes exactly once, in order, with the gauge's
// values. korsi7-soak runs the long one.

#include <gtest/gtest.h>

#include <string>

#include "tools/soak/soak.h"

namespace {

struct SoakCase {
  const char* name;
  bool fastExchange;
  bool slowGauge;
};

void PrintTo(const SoakCase& c, std::ostream* out) { *out << c.name; }

class Soak : public ::testing::TestWithParam<SoakCase> {};

TEST_P(Soak, CombinedFaultsLoseNoMeasurement) {
  korsi::soak::SoakSettings settings;
  settings.count = 300;
  settings.seed = 3;
  settings.faults = GetParam().slowGauge ? korsi::soak::slowGaugeFaults() : korsi::soak::combinedFaults();
  settings.fastExchange = GetParam().fastExchange;
  const auto figures = korsi::soak::runSoak(settings);
  SCOPED_TRACE(korsi::soak::describe(figures));

  EXPECT_FALSE(figures.stuck);
  EXPECT_EQ(figures.rowsRead, 300u);
  EXPECT_EQ(figures.missing, 0u);
  EXPECT_EQ(figures.duplicates, 0u);
  EXPECT_EQ(figures.outOfOrder, 0u);
  EXPECT_EQ(figures.wrongValues, 0u);
  // The faults did happen: each kind at least once.
  const auto& injected = figures.gauge.faults;
  EXPECT_GT(injected.crcFaults, 0u);
  EXPECT_GT(injected.wrongNumbers, 0u);
  EXPECT_GT(injected.splitReplies, 0u);
  EXPECT_GT(injected.lateReplies, 0u);
  EXPECT_GT(injected.strayBursts, 0u);
  // A late reply is no reply for the master: that reading ends on the
  // lost-connection path and the next one goes on from the next number.
  EXPECT_EQ(figures.readings, figures.connectionLosses + 1);
}

INSTANTIATE_TEST_SUITE_P(Master, Soak,
                         ::testing::Values(SoakCase{"FixedWaits", false, false}, SoakCase{"FastExchange", true, false},
                                           // A gauge that answers late inside its reply wait
                                           // once made rows with the previous measurement's values.
                                           SoakCase{"SlowGaugeFixedWaits", false, true},
                                           SoakCase{"SlowGaugeFastExchange", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
