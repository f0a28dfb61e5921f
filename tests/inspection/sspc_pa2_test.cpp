// SSPC-PA 2 on hand-computed areas of 5 spots that sit exactly on each limit
// of the level and just past it; the spot size; the level table; and areas
// or spots too few for a verdict, which are never a pass.

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "inspection/acceptance.h"

namespace {

namespace in = korsi::inspection;
using in::Judgement;
using in::Outcome;

constexpr Outcome P = Outcome::Pass;
constexpr Outcome F = Outcome::Fail;
constexpr Outcome N = Outcome::NotChecked;

// Readings in millimetres, spot after spot.
std::vector<double> spots(std::initializer_list<std::vector<double>> parts) {
  std::vector<double> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Minimum 100 µm, maximum 200 µm (without one: none); level 3 unless told.
in::Entries sspc(std::optional<double> maximum = 200.0, int level = 3, std::size_t spotSize = 3,
                 std::optional<double> surface = std::nullopt) {
  in::Entries e{in::Rule::SspcPa2, 100.0, maximum, in::Roughness::None, in::Unit::Micrometre};
  e.level = level;
  e.spotSize = spotSize;
  if (surface) e.surface = in::squareMetresSurface(*surface);
  return e;
}

const std::vector<double> k110{0.100, 0.110, 0.120};  // a spot of 110 µm
const std::vector<double> k150{0.140, 0.150, 0.160};  // a spot of 150 µm

struct SspcCase {
  const char* name;
  std::vector<double> readingsMm;
  in::Entries entries;
  // Spots low and high, area low and high.
  std::vector<Outcome> outcomes;
  Judgement judgement;
};

std::ostream& operator<<(std::ostream& out, const SspcCase& c) { return out << c.name; }

class SspcBoundaries : public ::testing::TestWithParam<SspcCase> {};

TEST_P(SspcBoundaries, EachCriterionAndTheVerdict) {
  const SspcCase& c = GetParam();
  const in::Assessment a = in::assess(c.readingsMm, c.entries);
  ASSERT_TRUE(a.ok()) << a.refusal;
  const in::Verdict& v = a.verdict;
  ASSERT_EQ(v.criteria.size(), c.outcomes.size()) << v.summary;
  for (std::size_t i = 0; i < c.outcomes.size(); ++i) {
    EXPECT_EQ(v.criteria[i].outcome, c.outcomes[i]) << v.criteria[i].label << " " << v.criteria[i].figures;
  }
  EXPECT_EQ(v.judgement, c.judgement) << v.summary;
  EXPECT_EQ(v.pass, c.judgement == Judgement::Pass);
  // Single readings are never failed by themselves.
  EXPECT_TRUE(v.failing.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Level3, SspcBoundaries,
    ::testing::Values(
        // Spot limits 80 µm and 240 µm; area limits 100 µm and 200 µm.
        SspcCase{"SpotAtEightyPercentOfMinimum", spots({{0.070, 0.080, 0.090}, k110, k110, k110, k110}), sspc(),
                 {P, P, P, P}, Judgement::Pass},
        SspcCase{"SpotJustUnderEightyPercent", spots({{0.070, 0.080, 0.0899}, k110, k110, k110, k110}), sspc(),
                 {F, P, P, P}, Judgement::Fail},
        SspcCase{"SpotAtOneHundredTwentyPercentOfMaximum",
                 spots({{0.230, 0.240, 0.250}, k150, k150, k150, k150}), sspc(), {P, P, P, P}, Judgement::Pass},
        SspcCase{"SpotJustOverOneHundredTwentyPercent", spots({{0.230, 0.240, 0.2501}, k150, k150, k150, k150}),
                 sspc(), {P, F, P, P}, Judgement::Fail},
        SspcCase{"SingleReadingFarBelowMinimumInAPassingSpot", spots({{0.020, 0.150, 0.150}, k110, k110, k110, k110}),
                 sspc(), {P, P, P, P}, Judgement::Pass},
        SspcCase{"SingleReadingFarAboveMaximumInAPassingSpot", spots({{0.400, 0.100, 0.100}, k110, k110, k110, k110}),
                 sspc(), {P, P, P, P}, Judgement::Pass},
        SspcCase{"AreaMeanAtMinimum", spots({{0.090, 0.100, 0.110}, k110, {0.090, 0.090, 0.090}, {0.100, 0.100, 0.100}, {0.095, 0.100, 0.105}}),
                 sspc(), {P, P, P, P}, Judgement::Pass},
        // Spots 100, 100, 100, 100 and 99.967 µm: the area 99.993 µm.
        SspcCase{"AreaMeanJustUnderMinimum",
                 spots({{0.100, 0.100, 0.0999}, {0.100, 0.100, 0.100}, {0.100, 0.100, 0.100}, {0.100, 0.100, 0.100},
                        {0.100, 0.100, 0.100}}),
                 sspc(), {P, P, F, P}, Judgement::Fail},
        SspcCase{"AreaMeanJustOverMaximum",
                 spots({{0.200, 0.200, 0.2001}, {0.200, 0.200, 0.200}, {0.190, 0.200, 0.210}, {0.200, 0.200, 0.200},
                        {0.200, 0.200, 0.200}}),
                 sspc(), {P, P, P, F}, Judgement::Fail},
        SspcCase{"WithoutMaximumNothingAboveIsChecked", spots({{0.500, 0.500, 0.500}, k110, k110, k110, k110}),
                 sspc(std::nullopt), {P, N, P, N}, Judgement::Pass},
        // More spots than five: every whole spot counts; the last reading is left out.
        SspcCase{"SixSpotsAndALeftOverReading", spots({k110, k110, k110, k110, k110, {0.090, 0.090, 0.090}, {0.010}}),
                 sspc(), {P, P, P, P}, Judgement::Pass}),
    [](const auto& info) { return std::string(info.param.name); });

// The same spot judged under each level: 99.667 µm against a minimum of
// 100 µm, and 300 µm against a maximum of 200 µm.
INSTANTIATE_TEST_SUITE_P(
    Levels, SspcBoundaries,
    ::testing::Values(
        SspcCase{"Level1SpotJustUnderMinimum", spots({{0.099, 0.100, 0.100}, k150, k150, k150, k150}),
                 sspc(200.0, 1), {F, P, P, P}, Judgement::Fail},
        SspcCase{"Level1SpotAtMaximum", spots({{0.190, 0.200, 0.210}, k150, k150, k150, k150}), sspc(200.0, 1),
                 {P, P, P, P}, Judgement::Pass},
        SspcCase{"Level2SpotJustUnderMinimum", spots({{0.099, 0.100, 0.100}, k150, k150, k150, k150}),
                 sspc(200.0, 2), {F, P, P, P}, Judgement::Fail},
        SspcCase{"Level3SpotJustUnderMinimum", spots({{0.099, 0.100, 0.100}, k150, k150, k150, k150}),
                 sspc(200.0, 3), {P, P, P, P}, Judgement::Pass},
        SspcCase{"Level3SpotAtOneHundredFiftyPercent", spots({{0.300, 0.300, 0.300}, k110, k110, k110, k110}),
                 sspc(200.0, 3), {P, F, P, P}, Judgement::Fail},
        SspcCase{"Level4SpotAtOneHundredFiftyPercent", spots({{0.300, 0.300, 0.300}, k110, k110, k110, k110}),
                 sspc(200.0, 4), {P, P, P, P}, Judgement::Pass},
        SspcCase{"Level4SpotJustOver", spots({{0.300, 0.300, 0.3001}, k110, k110, k110, k110}), sspc(200.0, 4),
                 {P, F, P, P}, Judgement::Fail},
        // No spot limit above, but the area still lies under the maximum.
        SspcCase{"Level5SpotFarAbove", spots({{0.500, 0.500, 0.500}, k110, k110, k110, k110}), sspc(200.0, 5),
                 {P, N, P, P}, Judgement::Pass},
        SspcCase{"Level5AreaOverMaximum", spots({{0.600, 0.600, 0.600}, k110, k110, k110, k110}), sspc(200.0, 5),
                 {P, N, P, F}, Judgement::Fail}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Sampling, SspcBoundaries,
    ::testing::Values(
        // Four spots and two readings: passing spots are still too few.
        SspcCase{"FourSpots", spots({k110, k110, k110, k110, {0.110, 0.110}}), sspc(), {P, P, P, P},
                 Judgement::TooFewMeasurements},
        // Four spots of which one is out of range: more spots cannot bring it back, so the area fails.
        SspcCase{"FourSpotsOneFailing", spots({k110, k110, k110, {0.050, 0.050, 0.050}}), sspc(), {F, P, F, P},
                 Judgement::Fail},
        SspcCase{"NoWholeSpot", {0.110, 0.110}, sspc(), {}, Judgement::TooFewMeasurements},
        // Spots of five: 15 readings are three spots only.
        SspcCase{"FifteenReadingsInSpotsOfFive", spots({k110, k110, k110, k110, k110}), sspc(200.0, 3, 5),
                 {P, P, P, P}, Judgement::TooFewMeasurements},
        SspcCase{"TenSquareMetresNeedOneArea", spots({k110, k110, k110, k110, k110}), sspc(200.0, 3, 3, 10.0),
                 {P, P, P, P}, Judgement::Pass},
        SspcCase{"ElevenSquareMetresNeedTwoAreas", spots({k110, k110, k110, k110, k110}), sspc(200.0, 3, 3, 11.0),
                 {P, P, P, P}, Judgement::TooFewMeasurements}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SspcWords, TheLevelsPercentagesAndSpotsAreSaid) {
  const in::Assessment a =
      in::assess(spots({{0.070, 0.080, 0.0899}, k110, k110, k110, k110, {0.100}}), sspc(200.0, 3, 3, 25.0));
  ASSERT_TRUE(a.ok()) << a.refusal;
  const in::Verdict& v = a.verdict;
  ASSERT_TRUE(v.sspc);
  EXPECT_EQ(v.sspc->level.spotMinimumPercent, 80);
  EXPECT_EQ(v.sspc->level.spotMaximumPercent, 120);
  EXPECT_EQ(v.sspc->spotSums.size(), 5u);
  EXPECT_EQ(v.sspc->leftOver, 1u);
  EXPECT_DOUBLE_EQ(v.sspc->spotMinimum, 80000.0);
  EXPECT_DOUBLE_EQ(*v.sspc->spotMaximum, 240000.0);
  EXPECT_EQ(v.criteria[0].requirement, "Каждое пятно не меньше 80 % минимума");
  // 79.967 µm must not read 80,0 beside a failed criterion; the limit beside it shows as many decimals.
  EXPECT_EQ(v.criteria[0].figures, "1 из 5 пятен ниже 80 % минимума (80,00 мкм), наименьшее 79,97 мкм");
  EXPECT_EQ(v.criteria[1].figures, "наибольшее пятно 110,0 мкм, 120 % максимума = 240,0 мкм");
  EXPECT_EQ(v.criteria[2].figures, "среднее зоны 104,0 мкм при минимуме 100,0 мкм");
  EXPECT_EQ(v.sampling, "5 пятен по 3 замера (не учтено замеров после последнего пятна: 1); "
                        "для 25 м² нужно 3 зоны, дана 1");
  // A spot out of range fails the area however many areas the surface still needs.
  EXPECT_EQ(v.judgement, in::Judgement::Fail);
  EXPECT_EQ(v.summary, "Не соответствует SSPC-PA 2, уровень 3: не выполнено пятна мин.; кроме того, недостаточно "
                       "измерений — для 25 м² нужно 3 зоны, дана 1; пятно вне пределов — снимите дополнительные "
                       "пятна вокруг него");
  EXPECT_EQ(v.advice, "Пятно 1 вне пределов уровня 3. Чтобы найти границы несоответствующего участка, снимайте "
                      "дополнительные пятна в каждом направлении от него, пока два пятна подряд не окажутся в "
                      "пределах.");
  const auto lines = in::limitLines(v);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].name, "пятно 80 % минимума");
  EXPECT_EQ(lines[1].name, "пятно 120 % максимума");
}

TEST(SspcWords, TooFewSpotsAndAPassSay) {
  const in::Assessment few = in::assess(spots({k110, k110, k110, k110}), sspc());
  EXPECT_EQ(few.verdict.summary, "SSPC-PA 2, уровень 3: недостаточно измерений — нужно не меньше 5 пятен по 3 замера, "
                                 "дано 4 пятна");
  const in::Assessment pass = in::assess(spots({k110, k110, k110, k110, k110}), sspc(std::nullopt, 5));
  EXPECT_EQ(pass.verdict.summary, "Соответствует SSPC-PA 2, уровень 5");
  EXPECT_EQ(pass.verdict.criteria[1].figures, "уровень 5: пятна сверху не ограничены");
  EXPECT_EQ(pass.verdict.sampling, "5 пятен по 3 замера; площадь не задана, число зон не проверялось");
  EXPECT_EQ(pass.verdict.advice, "");
}

TEST(SspcWords, SpotsOutOfRangeAreNamedAndMoreSpotsAsked) {
  // Spots 2 and 4 above 120 % of the maximum (240 µm).
  const in::Assessment a =
      in::assess(spots({k110, {0.300, 0.300, 0.300}, k110, {0.250, 0.250, 0.250}, k110}), sspc());
  ASSERT_TRUE(a.ok()) << a.refusal;
  EXPECT_EQ(a.verdict.summary, "Не соответствует SSPC-PA 2, уровень 3: не выполнено пятна макс.; пятна вне пределов — "
                               "снимите дополнительные пятна вокруг них");
  EXPECT_EQ(a.verdict.advice, "Пятна 2, 4 вне пределов уровня 3. Чтобы найти границы несоответствующего участка, "
                              "снимайте дополнительные пятна в каждом направлении от каждого, пока два пятна подряд "
                              "не окажутся в пределах.");
}

// A job in mils counts its areas in square feet, by the US table: 1,050 ft²
// is above 1,000 ft² and needs a fourth area, where the same surface in
// square metres (97.5 m²) needs three.
TEST(SspcUnits, AJobInMilsCountsAreasPerSquareFeet) {
  in::Entries e = sspc(200.0);
  e.unit = in::Unit::Mil;
  e.ndft = 4.0;
  e.maximum = 8.0;
  const std::vector<double> readings = spots({{0.127, 0.127, 0.127}, {0.127, 0.127, 0.127}, {0.127, 0.127, 0.127},
                                              {0.127, 0.127, 0.127}, {0.127, 0.127, 0.127}});  // 5 mils each
  e.surface = in::squareFeetSurface(1050.0);
  const in::Assessment feet = in::assess(readings, e);
  ASSERT_TRUE(feet.ok()) << feet.refusal;
  EXPECT_EQ(feet.verdict.judgement, Judgement::TooFewMeasurements);
  EXPECT_EQ(feet.verdict.sampling, "5 пятен по 3 замера; для 1050 фут² нужно 4 зоны, дана 1");
  e.surface = in::squareMetresSurface(97.5);
  EXPECT_EQ(in::assess(readings, e).verdict.sampling, "5 пятен по 3 замера; для 97,5 м² нужно 3 зоны, дана 1");
}

TEST(SspcEntries, UnknownLevelAndSpotSizeAreRefused) {
  const auto refusal = [](const in::Entries& e) { return in::assess(spots({k110}), e).refusal; };
  EXPECT_EQ(refusal(sspc(200.0, 0)), "Уровень SSPC-PA 2 должен быть от 1 до 5");
  EXPECT_EQ(refusal(sspc(200.0, 6)), "Уровень SSPC-PA 2 должен быть от 1 до 5");
  EXPECT_EQ(refusal(sspc(200.0, 3, 2)), "В пятне должно быть от 3 до 1000 замеров");
  EXPECT_EQ(refusal(sspc(200.0, 3, 3, 0.0)), "Площадь должна быть числом больше нуля");
  EXPECT_EQ(refusal(sspc(99.0)), "Максимум 99,0 мкм меньше минимума 100,0 мкм");
}

}  // namespace
