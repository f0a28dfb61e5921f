#include "inspection/job_verdict.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "inspection/job_file.h"
#include "tests/support/tempdir.h"

namespace korsi::inspection {
namespace {

using job::InspectionJob;
using job::JobArea;
using job::parseNumberRanges;

void addReadings(InspectionJob& j, std::int32_t first, std::initializer_list<double> micrometres) {
  std::int32_t n = first;
  for (double um : micrometres) j.readings.push_back({n++, DateTime{2026, 12, 10, 8, 0, 0}, um / 1000.0, std::nullopt});
}

JobArea area(const char* name, const char* numbers, std::optional<double> surface = std::nullopt) {
  return {name, surface ? std::optional(squareMetresSurface(*surface)) : std::nullopt,
          parseNumberRanges(numbers).ranges, {}, {}};
}

// ISO 19840, NDFT 100 µm, maximum 300 µm; four areas that end four ways.
InspectionJob fourAreas() {
  InspectionJob j;
  j.header.rule = job::JobRule::Iso19840;
  j.header.nominal = 100.0;
  j.header.maximum = 300.0;
  addReadings(j, 1, {110, 120, 105, 130, 100});        // passes
  addReadings(j, 6, {110, 120, 79, 130, 100});         // (b) fails
  addReadings(j, 11, {110, 120, 105, 130, 100});       // 5 readings for 2 m² (10 needed)
  addReadings(j, 16, {95, 100, 100, 100, 100, 100, 100, 100, 100, 100});  // PSPC: 90 % at NDFT, rest >= 90 %
  j.areas = {area("A", "1-5"), area("B", "6-10"), area("C", "11-15", 2.0), area("D", "16-25", 2.0)};
  // D by IMO PSPC 90/10, which asks nothing of a surface whose kind is not given.
  j.areas[3].overrides.rule = job::JobRule::Pspc9010;
  return j;
}

TEST(JobVerdict, EachAreaByItsOwnRuleAndTheWholeByTheWorst) {
  const JobVerdict v = judgeJob(fourAreas());
  ASSERT_EQ(v.areas.size(), 4u);
  EXPECT_EQ(v.areas[0].judgement(), Judgement::Pass);
  EXPECT_EQ(v.areas[1].judgement(), Judgement::Fail);
  EXPECT_EQ(v.areas[2].judgement(), Judgement::TooFewMeasurements);
  EXPECT_NE(v.areas[2].assessment.verdict.summary.find("недостаточно измерений"), std::string::npos);
  EXPECT_EQ(v.areas[3].entries.rule, Rule::Pspc9010);
  EXPECT_EQ(v.areas[3].judgement(), Judgement::Pass);
  EXPECT_EQ(v.areas[3].readings.size(), 10u);
  // B fails: more readings in C could not make the job pass.
  EXPECT_EQ(v.overall, Judgement::Fail);
  EXPECT_EQ(v.summary, "Не все зоны соответствуют");

  InspectionJob without = fourAreas();
  without.areas.erase(without.areas.begin() + 1);
  EXPECT_EQ(judgeJob(without).overall, Judgement::TooFewMeasurements);
  EXPECT_EQ(judgeJob(without).summary, "Проверка в целом: недостаточно измерений");
}

TEST(JobVerdict, TheWholeFailsWithAnAreaElseHasNoVerdictWithoutOne) {
  struct Case {
    std::vector<std::optional<Judgement>> areas;
    std::optional<Judgement> overall;
  };
  const auto P = Judgement::Pass, F = Judgement::Fail, T = Judgement::TooFewMeasurements,
             N = Judgement::NotApplicable;
  const Case cases[] = {
      {{P, P}, P}, {{P, F}, F}, {{T, P}, T}, {{P, N}, std::nullopt}, {{T, std::nullopt}, std::nullopt},
      {{}, std::nullopt},
      // One failing area fails the job, however few the readings of another
      // and whether or not another has a verdict.
      {{F, T}, F}, {{T, F, P}, F}, {{F, std::nullopt}, F}, {{F, N}, F},
  };
  for (const Case& c : cases) EXPECT_EQ(overallJudgement(c.areas), c.overall);

  InspectionJob j = fourAreas();
  j.header.nominal.reset();
  j.areas[1].overrides.nominal = 100.0;
  const JobVerdict v = judgeJob(j);
  EXPECT_EQ(v.areas[0].assessment.refusal, "Введите номинальную толщину NDFT");
  EXPECT_EQ(v.areas[1].judgement(), Judgement::Fail);  // its own NDFT
  EXPECT_EQ(v.overall, Judgement::Fail);
  j.areas[1].overrides.nominal = 50.0;  // now B passes, and A still has no verdict
  EXPECT_EQ(judgeJob(j).overall, std::nullopt);

  j = fourAreas();
  j.areas.push_back(area("E", "100-200"));
  EXPECT_EQ(judgeJob(j).areas[4].assessment.refusal, "В таблице нет замеров с номерами 100-200");
  j.header.nominal = 30.0;  // ISO 19840 does not apply under 40 µm
  EXPECT_EQ(judgeJob(j).areas[0].judgement(), Judgement::NotApplicable);
}

TEST(JobVerdict, TheSetUpIsTakenFromEveryReading) {
  InspectionJob j;
  j.header.nominal = 100.0;
  addReadings(j, 1, {125, 125, 125, 125, 125});
  j.areas = {area("A", "1-5")};
  const auto mean = [&] { return judgeJob(j).areas[0].assessment.verdict.statistics.mean; };
  EXPECT_EQ(mean(), 125000.0);
  j.header.setUp = job::SetUp::UnknownProfile;
  EXPECT_EQ(mean(), 100000.0);
  j.header.setUp = job::SetUp::Measured;
  j.header.measuredCorrection = 17.5;
  EXPECT_EQ(mean(), 107500.0);
  EXPECT_NE(judgeJob(j).areas[0].assessment.verdict.correctionText.find("измеренная поправка 17,5 мкм"),
            std::string::npos);
}

TEST(JobVerdict, AJobOpenedInAFreshFolderGivesTheSameVerdicts) {
  if (!job::jobFilesSupported()) GTEST_SKIP() << "this build has no SQLite for job files";
  InspectionJob j = fourAreas();
  // SSPC-PA 2 level 3 with 5 spots of 3 readings, in mils.
  j.areas.push_back(area("E", "31-45", 9.0));
  j.areas.back().overrides = {job::JobRule::SspcPa2, 4.0, 8.0, 3, std::size_t{3}};
  for (std::int32_t n = 31; n <= 45; ++n) j.readings.push_back({n, std::nullopt, 0.1016 + n * 1e-4, std::nullopt});
  j.header.unit = job::JobUnit::Mil;
  j.header.nominal = 4.0;
  j.header.maximum = 12.0;
  const JobVerdict before = judgeJob(j);

  test::TempDir here;
  ASSERT_EQ(job::saveJob(here.file("job.kjob"), j), "");
  test::TempDir fresh;
  std::filesystem::copy_file(here.file("job.kjob"), fresh.file("job.kjob"));
  const job::OpenedJob opened = job::openJob(fresh.file("job.kjob"));
  ASSERT_TRUE(opened.ok()) << opened.error;
  const JobVerdict after = judgeJob(opened.job);

  ASSERT_EQ(after.areas.size(), before.areas.size());
  for (std::size_t i = 0; i < before.areas.size(); ++i) {
    SCOPED_TRACE(i);
    const Assessment& x = before.areas[i].assessment;
    const Assessment& y = after.areas[i].assessment;
    EXPECT_EQ(x.refusal, y.refusal);
    EXPECT_EQ(x.verdict.judgement, y.verdict.judgement);
    EXPECT_EQ(x.verdict.summary, y.verdict.summary);
    EXPECT_EQ(x.verdict.readings, y.verdict.readings);
    ASSERT_EQ(x.verdict.criteria.size(), y.verdict.criteria.size());
    for (std::size_t c = 0; c < x.verdict.criteria.size(); ++c) {
      EXPECT_EQ(x.verdict.criteria[c].figures, y.verdict.criteria[c].figures);
    }
  }
  EXPECT_EQ(after.overall, before.overall);
  EXPECT_EQ(before.areas[4].judgement(), Judgement::Pass);
}

}  // namespace
}  // namespace korsi::inspection
