// How many measurements a surface needs, at each bound of the tables and
// just past it; ISO 19840 with too few readings for its surface and under
// the NDFT it applies from; and figures that never read as a limit they are
// not on.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "inspection/acceptance.h"
#include "inspection/sampling.h"

namespace {

namespace in = korsi::inspection;

TEST(Sampling, IsoReadingsPerAreaAtEachBound) {
  const std::vector<std::pair<double, std::size_t>> cases{
      {0.5, 5},   {1.0, 5},   {1.01, 10},  {3.0, 10},  {3.5, 15},  {10.0, 15},  {10.5, 20},  {30.0, 20},
      {30.5, 30}, {100.0, 30}, {100.5, 40}, {200.0, 40}, {200.5, 50}, {1000.0, 120}, {1000.1, 130}};
  for (const auto& [surface, readings] : cases) EXPECT_EQ(in::isoReadingsRequired(surface), readings) << surface;
}

TEST(Sampling, SspcAreasPerSurfaceAtEachBound) {
  const std::vector<std::pair<double, std::size_t>> cases{
      {0.5, 1}, {10.0, 1}, {10.5, 2}, {20.0, 2}, {29.9, 3}, {30.0, 3},   {100.0, 3},
      {100.5, 4}, {200.0, 4}, {200.5, 5}, {1000.0, 12}, {1000.5, 13}};
  for (const auto& [surface, areas] : cases) {
    EXPECT_EQ(in::sspcAreasRequired(in::squareMetresSurface(surface)), areas) << surface;
  }
}

// In square feet the table's own US figures, never the metric ones converted:
// one more area for each further 1,000 ft², not each further 100 m².
TEST(Sampling, SspcAreasPerSurfaceInSquareFeet) {
  const std::vector<std::pair<double, std::size_t>> cases{
      {50.0, 1},   {100.0, 1},  {101.0, 2},  {300.0, 3},  {301.0, 3},   {1000.0, 3},
      {1000.5, 4}, {1050.0, 4}, {2000.0, 4}, {2001.0, 5}, {10000.0, 12}, {10001.0, 13}};
  for (const auto& [surface, areas] : cases) {
    EXPECT_EQ(in::sspcAreasRequired(in::squareFeetSurface(surface)), areas) << surface;
  }
}

TEST(Sampling, PspcReadingsPerSurfaceAndKind) {
  struct Case {
    double squareMetres;
    in::SurfaceKind kind;
    std::size_t readings;
  };
  const auto flat = in::SurfaceKind::Flat;
  const auto complex = in::SurfaceKind::Complex;
  const Case cases[] = {
      // One for each 5 m² of flat surface or part of it.
      {0.5, flat, 1}, {5.0, flat, 1}, {5.01, flat, 2}, {12.0, flat, 3}, {500.0, flat, 100},
      // Five per square metre of complex surface, rounded up, at least three.
      {0.2, complex, 3}, {0.6, complex, 3}, {0.61, complex, 4}, {1.0, complex, 5}, {2.5, complex, 13},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(in::pspcReadingsRequired(c.squareMetres, c.kind), c.readings) << c.squareMetres;
  }
}

in::Entries iso(double ndft, std::optional<double> surface) {
  in::Entries e{in::Rule::Iso19840, ndft, std::nullopt, in::Roughness::None, in::Unit::Micrometre};
  if (surface) e.surface = in::squareMetresSurface(*surface);
  return e;
}

TEST(IsoSampling, TooFewReadingsForTheSurfaceIsNeverAPass) {
  const std::vector<double> fourteen(14, 0.120);
  const in::Assessment few = in::assess(fourteen, iso(120, 5.0));
  ASSERT_TRUE(few.ok());
  EXPECT_EQ(few.verdict.judgement, in::Judgement::TooFewMeasurements);
  EXPECT_FALSE(few.verdict.pass);
  EXPECT_EQ(few.verdict.summary, "ISO 19840: недостаточно измерений — для 5 м² нужно не меньше 15 замеров, дано 14");

  const std::vector<double> fifteen(15, 0.120);
  const in::Assessment enough = in::assess(fifteen, iso(120, 5.0));
  EXPECT_EQ(enough.verdict.judgement, in::Judgement::Pass);
  EXPECT_EQ(enough.verdict.sampling, "для 5 м² нужно не меньше 15 замеров, дано 15");

  // Without a surface no sample size is asked: three readings may pass.
  const in::Assessment free = in::assess(std::vector<double>(3, 0.120), iso(120, std::nullopt));
  EXPECT_EQ(free.verdict.judgement, in::Judgement::Pass);
  EXPECT_EQ(free.verdict.sampling, "площадь не задана, число замеров не проверялось");

  // Too few and a reading under 80 %: more readings could not cure (b), so it fails; the shortage is said too.
  std::vector<double> failing(14, 0.120);
  failing[0] = 0.050;
  EXPECT_EQ(in::assess(failing, iso(120, 2.5)).verdict.summary, "Не соответствует ISO 19840: не выполнено (a), (b)");
  EXPECT_EQ(in::assess(failing, iso(120, 12.0)).verdict.summary,
            "Не соответствует ISO 19840: не выполнено (a), (b); кроме того, недостаточно измерений — для 12 м² "
            "нужно не меньше 20 замеров, дано 14");
}

TEST(IsoSampling, UnderFortyMicrometresTheRuleDoesNotApply) {
  const std::vector<double> readings(10, 0.039);
  const in::Assessment under = in::assess(readings, iso(39.999, std::nullopt));
  ASSERT_TRUE(under.ok()) << under.refusal;
  EXPECT_EQ(under.verdict.judgement, in::Judgement::NotApplicable);
  EXPECT_FALSE(under.verdict.pass);
  EXPECT_TRUE(under.verdict.criteria.empty());
  EXPECT_EQ(under.verdict.summary, "ISO 19840 не применяется: NDFT 39,999 мкм меньше 40,000 мкм");
  EXPECT_EQ(under.verdict.statistics.count, 10u);

  EXPECT_EQ(in::assess(std::vector<double>(10, 0.040), iso(40, std::nullopt)).verdict.judgement,
            in::Judgement::Pass);
  // IMO PSPC 90/10 has no such bound.
  in::Entries pspc{in::Rule::Pspc9010, 30.0, std::nullopt, in::Roughness::None, in::Unit::Micrometre};
  EXPECT_EQ(in::assess(std::vector<double>(10, 0.030), pspc).verdict.judgement, in::Judgement::Pass);
}

TEST(FiguresBesideLimits, NeverReadAsALimitTheyAreNotOn) {
  struct Case {
    double nanometres;
    in::Unit unit;
    std::vector<double> limits;
    std::string shown;
  };
  const std::vector<Case> cases{
      {119960.0, in::Unit::Micrometre, {120000.0}, "119,96"},
      {120040.0, in::Unit::Micrometre, {120000.0}, "120,04"},
      {120000.0, in::Unit::Micrometre, {120000.0}, "120,0"},
      {119960.0, in::Unit::Micrometre, {}, "120,0"},
      {119960.0, in::Unit::Micrometre, {96000.0, 360000.0}, "120,0"},
      // A third of a nanometre under: cut down at the last decimal.
      {119999.6667, in::Unit::Micrometre, {120000.0}, "119,999"},
      {120000.3333, in::Unit::Micrometre, {120000.0}, "120,001"},
      // 5 mils is 127,000 nm; 126,990 nm is 4.9996 mils.
      {126990.0, in::Unit::Mil, {127000.0}, "4,9996"},
      {126999.0, in::Unit::Mil, {127000.0}, "4,9999"},
      {127000.0, in::Unit::Mil, {127000.0}, "5,00"},
  };
  for (const Case& c : cases) EXPECT_EQ(in::textBesideLimits(c.nanometres, c.unit, c.limits), c.shown) << c.nanometres;
}

// One text, one precision: the figures of a sentence share their decimals,
// as few as the unit usually shows, as many as an entered limit or a figure
// beside a limit needs.
TEST(FiguresBesideLimits, OneTextShowsItsFiguresAtOnePrecision) {
  struct Case {
    in::Unit unit;
    std::vector<double> limits;
    std::vector<double> figures;
    std::vector<std::string> shown;  // the limits, then the figures
  };
  const Case cases[] = {
      // Not "среднее 1115,766 мкм при NDFT 1000,0 мкм".
      {in::Unit::Micrometre, {1000000.0}, {1115766.0}, {"1000,0", "1115,8"}},
      // A figure that would read as the limit takes more decimals, and so does the limit.
      {in::Unit::Micrometre, {120000.0}, {119960.0}, {"120,00", "119,96"}},
      // An entered limit shows as entered, and the figures beside it as finely.
      {in::Unit::Micrometre, {120250.0}, {130000.0}, {"120,25", "130,00"}},
      {in::Unit::Micrometre, {96000.0, 120000.0}, {}, {"96,0", "120,0"}},
      // A third of a nanometre under the limit: the last decimal, one step to its own side.
      {in::Unit::Micrometre, {120000.0}, {119999.6667}, {"120,000", "119,999"}},
      {in::Unit::Mil, {127000.0}, {152400.0}, {"5,00", "6,00"}},
      {in::Unit::Mil, {127000.0}, {126990.0}, {"5,0000", "4,9996"}},
      // A limit that no decimal of mils shows exactly (120 µm) takes the last, where an equal figure reads equal.
      {in::Unit::Mil, {120000.0}, {120000.0, 119999.0}, {"4,7244", "4,7244", "4,7243"}},
  };
  for (const Case& c : cases) {
    const in::SharedPrecision shown(c.unit, c.limits, c.figures);
    std::vector<std::string> texts;
    for (double l : c.limits) texts.push_back(shown(l));
    for (double f : c.figures) texts.push_back(shown(f));
    EXPECT_EQ(texts, c.shown);
  }
}

TEST(FiguresBesideLimits, TheMeanBesideAFailedCriterion) {
  // 119.96 µm against NDFT 120 µm fails (a); the mean shown must not be 120,0.
  std::vector<double> readings{0.11996, 0.11996, 0.11996};
  const in::Assessment a = in::assess(readings, iso(120, std::nullopt));
  ASSERT_EQ(a.verdict.criteria[0].outcome, in::Outcome::Fail);
  EXPECT_EQ(in::textBesideLimits(a.verdict.statistics.mean, in::Unit::Micrometre, in::limitPositions(a.verdict)),
            "119,96");
}

}  // namespace
