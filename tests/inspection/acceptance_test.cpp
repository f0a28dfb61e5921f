// The acceptance rules on small hand-computed sets that sit exactly on each
// limit and just past it, with and without a roughness correction; the
// refused entries; and the words behind a criterion.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "inspection/acceptance.h"

namespace {

using korsi::inspection::Assessment;
using korsi::inspection::Entries;
using korsi::inspection::Outcome;
using korsi::inspection::ReadingMark;
using korsi::inspection::Roughness;
using korsi::inspection::Rule;
using korsi::inspection::Unit;

constexpr Outcome P = Outcome::Pass;
constexpr Outcome F = Outcome::Fail;
constexpr Outcome N = Outcome::NotChecked;

// `count` copies of a reading in millimetres.
std::vector<double> times(int count, double mm) { return std::vector<double>(static_cast<std::size_t>(count), mm); }

std::vector<double> join(std::initializer_list<std::vector<double>> parts) {
  std::vector<double> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Entries iso(double ndft, std::optional<double> maximum = std::nullopt, Roughness roughness = Roughness::None,
            Unit unit = Unit::Micrometre) {
  return Entries{Rule::Iso19840, ndft, maximum, roughness, unit};
}

Entries pspc(double ndft, std::optional<double> maximum = std::nullopt, Roughness roughness = Roughness::None) {
  return Entries{Rule::Pspc9010, ndft, maximum, roughness, Unit::Micrometre};
}

struct RuleCase {
  const char* name;
  std::vector<double> readingsMm;
  Entries entries;
  std::vector<Outcome> outcomes;  // per criterion, in the rule's order
  std::vector<std::size_t> failing;
};

std::ostream& operator<<(std::ostream& out, const RuleCase& c) { return out << c.name; }

class Boundaries : public ::testing::TestWithParam<RuleCase> {};

TEST_P(Boundaries, EachCriterionAndTheVerdict) {
  const RuleCase& c = GetParam();
  const Assessment a = korsi::inspection::assess(c.readingsMm, c.entries);
  ASSERT_TRUE(a.ok()) << a.refusal;
  ASSERT_EQ(a.verdict.criteria.size(), c.outcomes.size());
  bool pass = true;
  for (std::size_t i = 0; i < c.outcomes.size(); ++i) {
    const auto& criterion = a.verdict.criteria[i];
    EXPECT_EQ(criterion.outcome, c.outcomes[i]) << criterion.label << " " << criterion.figures;
    pass = pass && c.outcomes[i] != Outcome::Fail;
  }
  EXPECT_EQ(a.verdict.pass, pass) << a.verdict.summary;
  EXPECT_EQ(a.verdict.failing, c.failing);
}

// ISO 19840 criteria: (a) mean, (b) 80 %, (c) share in 80-100 %, (d) maximum.
INSTANTIATE_TEST_SUITE_P(
    Iso19840, Boundaries,
    ::testing::Values(
        // NDFT 120: 0.096 mm is 80 % exactly (0.8 * 120 in floating point is 96.00000000000001).
        RuleCase{"ReadingAtEightyPercent", join({{0.096, 0.144}, times(8, 0.120)}), iso(120), {P, P, P, N}, {}},
        RuleCase{"ReadingJustUnderEightyPercent", join({{0.0959, 0.1441}, times(8, 0.120)}), iso(120),
                 {P, F, P, N}, {0}},
        // Mean exactly NDFT 94 (a naive floating mean is 93.99999999999999).
        RuleCase{"MeanEqualsNdft", {0.090, 0.090, 0.102}, iso(94), {P, P, F, N}, {}},
        RuleCase{"MeanJustUnderNdft", join({{0.090, 0.109}, times(8, 0.100)}), iso(100), {F, P, P, N}, {}},
        // 1 of 5 between 80 and 100 %: exactly 20 %, which is not fewer than 20 %.
        RuleCase{"BandAtTwentyPercent", {0.090, 0.110, 0.100, 0.100, 0.100}, iso(100), {P, P, F, N}, {}},
        RuleCase{"BandUnderTwentyPercent", {0.090, 0.110, 0.100, 0.100, 0.100, 0.100}, iso(100), {P, P, P, N}, {}},
        // A reading equal to NDFT is not in the band; one at 80 % is.
        RuleCase{"BandEdges", {0.080, 0.100, 0.100, 0.100, 0.100, 0.120}, iso(100), {P, P, P, N}, {}},
        RuleCase{"ReadingEqualsMaximum", {0.100, 0.200}, iso(100, 200.0), {P, P, P, P}, {}},
        RuleCase{"ReadingJustOverMaximum", {0.100, 0.2001}, iso(100, 200.0), {P, P, P, F}, {1}},
        RuleCase{"MaximumEqualsNdft", {0.100, 0.100}, iso(100, 100.0), {P, P, P, P}, {}},
        // Medium roughness: 25 µm off each reading, so 0.105 mm counts as 80 µm.
        RuleCase{"MediumRoughnessAtEightyPercent", join({{0.105, 0.145}, times(8, 0.125)}),
                 iso(100, std::nullopt, Roughness::Medium), {P, P, P, N}, {}},
        RuleCase{"MediumRoughnessUnderEightyPercent", join({{0.1049, 0.1451}, times(8, 0.125)}),
                 iso(100, std::nullopt, Roughness::Medium), {P, F, P, N}, {0}},
        RuleCase{"MediumRoughnessMeanJustUnderNdft", join({{0.115, 0.134}, times(8, 0.125)}),
                 iso(100, std::nullopt, Roughness::Medium), {F, P, P, N}, {}},
        RuleCase{"MediumRoughnessReadingEqualsMaximum", {0.125, 0.225}, iso(100, 200.0, Roughness::Medium),
                 {P, P, P, P}, {}},
        RuleCase{"MediumRoughnessReadingOverMaximum", {0.125, 0.226}, iso(100, 200.0, Roughness::Medium),
                 {P, P, P, F}, {1}},
        // The same stored readings pass without the correction.
        RuleCase{"NoRoughnessSameReadingOverMaximum", {0.125, 0.225}, iso(100, 200.0), {P, P, P, F}, {1}},
        RuleCase{"NoRoughnessStoredReadingsPass", join({{0.1049, 0.1451}, times(8, 0.125)}), iso(100),
                 {P, P, P, N}, {}},
        RuleCase{"FineRoughnessAtEightyPercent", join({{0.090, 0.130}, times(8, 0.110)}),
                 iso(100, std::nullopt, Roughness::Fine), {P, P, P, N}, {}},
        RuleCase{"CoarseRoughnessUnderEightyPercent", join({{0.1199, 0.1601}, times(8, 0.140)}),
                 iso(100, std::nullopt, Roughness::Coarse), {P, F, P, N}, {0}},
        // Mils: NDFT 5 mils = 127 µm; 0.1016 mm = 4 mils, 80 % exactly.
        RuleCase{"MilsAtEightyPercent", join({{0.1016, 0.1524}, times(8, 0.127)}),
                 iso(5, std::nullopt, Roughness::None, Unit::Mil), {P, P, P, N}, {}},
        RuleCase{"MilsUnderEightyPercent", join({{0.1015, 0.1525}, times(8, 0.127)}),
                 iso(5, std::nullopt, Roughness::None, Unit::Mil), {P, F, P, N}, {0}}),
    [](const auto& info) { return std::string(info.param.name); });

// IMO PSPC 90/10: 90 % at least NDFT, the rest at least 90 % of NDFT, maximum.
INSTANTIATE_TEST_SUITE_P(
    Pspc9010, Boundaries,
    ::testing::Values(
        RuleCase{"NinetyPercentExactlyAtNdft", join({times(9, 0.100), {0.090}}), pspc(100), {P, P, N}, {}},
        RuleCase{"JustUnderNinetyPercentAtNdft", join({times(17, 0.100), {0.099, 0.099}}), pspc(100),
                 {F, P, N}, {}},
        RuleCase{"RestJustUnderNinetyPercent", join({times(9, 0.100), {0.0899}}), pspc(100), {P, F, N}, {9}},
        // NDFT 120: 0.108 mm is 90 % exactly (0.9 * 120 is 108.00000000000001).
        RuleCase{"RestAtNinetyPercentOfAnOddNdft", join({times(9, 0.120), {0.108}}), pspc(120), {P, P, N}, {}},
        RuleCase{"ReadingEqualsMaximum", join({times(9, 0.100), {0.500}}), pspc(100, 500.0), {P, P, P}, {}},
        RuleCase{"ReadingOverMaximum", join({times(9, 0.100), {0.5001}}), pspc(100, 500.0), {P, P, F}, {9}},
        RuleCase{"CoarseRoughnessNinetyPercent", join({times(9, 0.140), {0.130}}),
                 pspc(100, std::nullopt, Roughness::Coarse), {P, P, N}, {}},
        RuleCase{"CoarseRoughnessUnderNdft", join({times(9, 0.1399), {0.140}}),
                 pspc(100, std::nullopt, Roughness::Coarse), {F, P, N}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
  const char* name;
  std::vector<double> readingsMm;
  Entries entries;
  std::string refusal;
  std::optional<std::size_t> reading;
};

std::ostream& operator<<(std::ostream& out, const RefusalCase& c) { return out << c.name; }

class Refused : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refused, NoVerdictAndAReason) {
  const RefusalCase& c = GetParam();
  const Assessment a = korsi::inspection::assess(c.readingsMm, c.entries);
  EXPECT_FALSE(a.ok());
  EXPECT_EQ(a.refusal, c.refusal);
  EXPECT_EQ(a.refusedReading, c.reading);
  EXPECT_TRUE(a.verdict.criteria.empty());
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Entries, Refused,
    ::testing::Values(
        RefusalCase{"NoReadings", {}, iso(120), "Нет замеров: выберите строки с толщиной", std::nullopt},
        RefusalCase{"NotANumber", {0.1, kNaN, 0.1}, iso(120), "Замер 2 из 3 замеров: толщина не число", 1},
        RefusalCase{"Infinite", {kInf}, pspc(120), "Замер 1 из 1 замера: толщина не число", 0},
        RefusalCase{"MinusInfinite", {0.1, -kInf}, iso(120), "Замер 2 из 2 замеров: толщина не число", 1},
        RefusalCase{"BeyondAnyCoat", {0.1, 1000.5}, iso(120),
                    "Замер 2 из 2 замеров: толщина больше 1000 мм, это не замер", 1},
        RefusalCase{"NdftZero", {0.1}, iso(0), "NDFT должна быть числом больше нуля", std::nullopt},
        RefusalCase{"NdftNegative", {0.1}, pspc(-120), "NDFT должна быть числом больше нуля", std::nullopt},
        RefusalCase{"NdftNotANumber", {0.1}, iso(kNaN), "NDFT должна быть числом больше нуля", std::nullopt},
        RefusalCase{"NdftUnderHalfANanometre", {0.1}, iso(0.0004), "NDFT должна быть числом больше нуля",
                    std::nullopt},
        RefusalCase{"MaximumNotANumber", {0.1}, iso(120, kNaN), "Максимум должен быть числом", std::nullopt},
        RefusalCase{"MaximumUnderNdft", {0.1}, iso(120, 119.5), "Максимум 119,5 мкм меньше NDFT 120,0 мкм",
                    std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// 120 readings at NDFT 120 µm: 17 between 96 and 120 µm, 2 under 96 µm, 1
// over the maximum of 360 µm.
std::vector<double> inspectedDeck() {
  return join({times(17, 0.110), times(2, 0.090), {0.361}, times(100, 0.130)});
}

TEST(Words, IsoCriteriaSayTheFigures) {
  const Assessment a = korsi::inspection::assess(inspectedDeck(), iso(120, 360.0));
  ASSERT_TRUE(a.ok()) << a.refusal;
  const auto& v = a.verdict;
  ASSERT_EQ(v.criteria.size(), 4u);
  // Mean (1870 + 180 + 361 + 13000) / 120 = 128.425 µm, at the precision of NDFT beside it.
  EXPECT_EQ(v.criteria[0].figures, "среднее 128,4 мкм при NDFT 120,0 мкм");
  EXPECT_EQ(v.criteria[1].figures, "2 из 120 замеров ниже 80 % NDFT (96,0 мкм), наименьший 90,0 мкм");
  // 17 / 120 = 14.17 %: cut to tenths, never rounded up to a limit.
  EXPECT_EQ(v.criteria[2].figures, "17 из 120 замеров (14,1 %) от 80 % до 100 % NDFT (96,0 мкм – 120,0 мкм)");
  EXPECT_EQ(v.criteria[3].figures, "1 из 120 замеров выше максимума 360,0 мкм, наибольший 361,0 мкм");
  EXPECT_EQ(v.summary, "Не соответствует ISO 19840: не выполнено (b), (d)");
  EXPECT_EQ(v.failing, (std::vector<std::size_t>{17, 18, 19}));
  EXPECT_EQ(v.marks[0], ReadingMark::BelowNominal);
  EXPECT_EQ(v.marks[17], ReadingMark::BelowMinimum);
  EXPECT_EQ(v.marks[19], ReadingMark::AboveMaximum);
  EXPECT_EQ(v.marks[20], ReadingMark::Ok);
}

TEST(Words, WithoutMaximumCriterionDIsNotChecked) {
  const Assessment a = korsi::inspection::assess(times(3, 0.120), iso(120));
  ASSERT_TRUE(a.ok());
  EXPECT_EQ(a.verdict.criteria[3].outcome, Outcome::NotChecked);
  EXPECT_EQ(a.verdict.criteria[3].figures, "максимум не задан, не проверялось");
  EXPECT_EQ(a.verdict.summary, "Соответствует ISO 19840");
}

TEST(Words, MilsAndRoughnessAreSaid) {
  // 0.1524 mm = 6 mils; medium roughness 25 µm = 0.9843 mil leaves 5.0157 mils.
  const Assessment a = korsi::inspection::assess(times(10, 0.1524), iso(5, std::nullopt, Roughness::Medium, Unit::Mil));
  ASSERT_TRUE(a.ok());
  EXPECT_EQ(a.verdict.correctionText, "из каждого замера вычтена поправка на шероховатость (средняя) 0,9843 мил");
  EXPECT_EQ(a.verdict.criteria[1].figures, "наименьший замер 5,02 мил, 80 % NDFT = 4,00 мил");
}

TEST(Words, PspcCriteriaSayTheFigures) {
  const Assessment a = korsi::inspection::assess(join({times(17, 0.100), times(3, 0.095)}), pspc(100));
  ASSERT_TRUE(a.ok());
  EXPECT_EQ(a.verdict.criteria[0].figures, "17 из 20 замеров (85,0 %) не ниже NDFT 100,0 мкм");
  EXPECT_EQ(a.verdict.criteria[1].figures, "наименьший замер 95,0 мкм, 90 % NDFT = 90,0 мкм");
  EXPECT_EQ(a.verdict.summary, "Не соответствует IMO PSPC 90/10: не выполнено 90 %");
}

TEST(Words, CountsOfReadings) {
  EXPECT_EQ(korsi::inspection::readingsCount(1), "1 замер");
  EXPECT_EQ(korsi::inspection::readingsCount(3), "3 замера");
  EXPECT_EQ(korsi::inspection::readingsCount(11), "11 замеров");
  EXPECT_EQ(korsi::inspection::readingsCount(14), "14 замеров");
  EXPECT_EQ(korsi::inspection::readingsCount(21), "21 замер");
  EXPECT_EQ(korsi::inspection::readingsCount(122), "122 замера");
}

}  // namespace
