// Which verdict wins when an area has too few measurements: a criterion that
// more readings cannot cure (a reading below the floor or above the maximum,
// an SSPC-PA 2 spot out of its range) fails the area whatever the count;
// one that more readings could still turn (the mean, a share of readings, the
// mean of the spots) leaves "недостаточно измерений". Hand-computed per rule,
// each on a surface that asks for more than is given. (The job that fails
// when one area fails, however few the readings of another: job_verdict_test.)

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "inspection/acceptance.h"

namespace {

namespace in = korsi::inspection;
using in::Judgement;

std::vector<double> times(int count, double mm) { return std::vector<double>(static_cast<std::size_t>(count), mm); }

std::vector<double> join(std::initializer_list<std::vector<double>> parts) {
  std::vector<double> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// NDFT 100 µm, maximum 300 µm; 2 m² asks ISO 19840 for 10 readings.
in::Entries iso() {
  in::Entries e{in::Rule::Iso19840, 100.0, 300.0, in::Roughness::None, in::Unit::Micrometre};
  e.surface = in::squareMetresSurface(2.0);
  return e;
}

// NDFT 100 µm, maximum 300 µm; 30 m² of flat surface asks IMO PSPC for 6 readings.
in::Entries pspc() {
  in::Entries e{in::Rule::Pspc9010, 100.0, 300.0, in::Roughness::None, in::Unit::Micrometre};
  e.surface = in::squareMetresSurface(30.0);
  e.surfaceKind = in::SurfaceKind::Flat;
  return e;
}

// Minimum 100 µm, maximum 200 µm, level 3 (spots 80 to 240 µm); 11 m² asks for 2 areas.
in::Entries sspc() {
  in::Entries e{in::Rule::SspcPa2, 100.0, 200.0, in::Roughness::None, in::Unit::Micrometre};
  e.surface = in::squareMetresSurface(11.0);
  return e;
}

const std::vector<double> k110{0.100, 0.110, 0.120};  // a spot of 110 µm

struct Case {
  const char* name;
  std::vector<double> readingsMm;
  in::Entries entries;
  std::vector<std::string> failed;  // the labels of the failing criteria
  Judgement judgement;
};

std::ostream& operator<<(std::ostream& out, const Case& c) { return out << c.name; }

class TooFewAndFailing : public ::testing::TestWithParam<Case> {};

TEST_P(TooFewAndFailing, ADefiniteFailureWins) {
  const Case& c = GetParam();
  const in::Assessment a = in::assess(c.readingsMm, c.entries);
  ASSERT_TRUE(a.ok()) << a.refusal;
  std::vector<std::string> failed;
  for (const in::Criterion& criterion : a.verdict.criteria) {
    if (criterion.outcome == in::Outcome::Fail) failed.push_back(criterion.label);
  }
  EXPECT_EQ(failed, c.failed);
  EXPECT_EQ(a.verdict.judgement, c.judgement) << a.verdict.summary;
  // The shortage is said either way.
  EXPECT_NE(a.verdict.summary.find("недостаточно измерений"), std::string::npos) << a.verdict.summary;
  EXPECT_EQ(a.verdict.summary.starts_with("Не соответствует"), c.judgement == Judgement::Fail) << a.verdict.summary;
}

INSTANTIATE_TEST_SUITE_P(
    Iso19840, TooFewAndFailing,
    ::testing::Values(
        // 5 of 10 readings. 79 µm is under 80 % of NDFT; the mean 119.8 µm passes.
        Case{"ReadingBelowEightyPercent", join({{0.079}, times(4, 0.130)}), iso(), {"(b)"}, Judgement::Fail},
        Case{"ReadingAboveMaximum", join({{0.301}, times(4, 0.110)}), iso(), {"(d)"}, Judgement::Fail},
        // Mean 98 µm and 4 of 5 between 80 and 100 %: more readings could lift both.
        Case{"MeanAndBandOnly", join({times(4, 0.095), {0.110}}), iso(), {"(a)", "(c)"},
             Judgement::TooFewMeasurements},
        Case{"NothingFails", times(5, 0.110), iso(), {}, Judgement::TooFewMeasurements}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Pspc9010, TooFewAndFailing,
    ::testing::Values(
        // 5 of 6 readings. 89 µm is under 90 % of NDFT; 4 of 5 (80 %) at NDFT fails the share too.
        Case{"ReadingBelowNinetyPercent", join({{0.089}, times(4, 0.110)}), pspc(), {"90 %", "10 %"},
             Judgement::Fail},
        Case{"ReadingAboveMaximum", join({{0.301}, times(4, 0.110)}), pspc(), {"максимум"}, Judgement::Fail},
        // 95 µm is within 90 %: only the share at NDFT fails, which more readings could lift.
        Case{"ShareAtNdftOnly", join({{0.095}, times(4, 0.110)}), pspc(), {"90 %"}, Judgement::TooFewMeasurements},
        Case{"NothingFails", times(5, 0.110), pspc(), {}, Judgement::TooFewMeasurements}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    SspcPa2, TooFewAndFailing,
    ::testing::Values(
        // 1 area of 2. A spot of 79.97 µm is under 80 % of the minimum.
        Case{"SpotBelowItsRange", join({{0.070, 0.080, 0.0899}, k110, k110, k110, k110}), sspc(), {"пятна мин."},
             Judgement::Fail},
        // A spot of 300 µm is over 120 % of the maximum; the area's mean 148 µm passes.
        Case{"SpotAboveItsRange", join({times(3, 0.300), k110, k110, k110, k110}), sspc(), {"пятна макс."},
             Judgement::Fail},
        // Spots of 95 µm are within the level; only the area's mean is under the minimum.
        Case{"AreaMeanOnly", times(15, 0.095), sspc(), {"зона мин."}, Judgement::TooFewMeasurements},
        Case{"NothingFails", join({k110, k110, k110, k110, k110}), sspc(), {}, Judgement::TooFewMeasurements}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
