#include "inspection/job_verdict.h"

#include <algorithm>

namespace korsi::inspection {

namespace {

Rule ruleOf(job::JobRule rule) {
  switch (rule) {
    case job::JobRule::Pspc9010:
      return Rule::Pspc9010;
    case job::JobRule::SspcPa2:
      return Rule::SspcPa2;
    case job::JobRule::Iso19840:
      break;
  }
  return Rule::Iso19840;
}

Roughness roughnessOf(job::SetUp setUp) {
  switch (setUp) {
    case job::SetUp::Fine:
      return Roughness::Fine;
    case job::SetUp::Medium:
      return Roughness::Medium;
    case job::SetUp::Coarse:
      return Roughness::Coarse;
    case job::SetUp::UnknownProfile:
      return Roughness::UnknownProfile;
    case job::SetUp::None:
    case job::SetUp::Measured:
      break;
  }
  return Roughness::None;
}

}  // namespace

Entries areaEntries(const job::JobHeader& h, const job::JobArea& area) {
  const job::AreaOverrides& o = area.overrides;
  Entries e;
  e.rule = ruleOf(o.rule.value_or(h.rule));
  e.unit = h.unit == job::JobUnit::Mil ? Unit::Mil : Unit::Micrometre;
  e.ndft = o.nominal.value_or(h.nominal.value_or(0.0));
  e.maximum = o.maximum ? o.maximum : h.maximum;
  e.roughness = roughnessOf(h.setUp);
  if (h.setUp == job::SetUp::Measured) e.measuredCorrection = h.measuredCorrection.value_or(0.0);
  e.level = o.level.value_or(h.level);
  e.spotSize = o.spotSize.value_or(h.spotSize);
  e.surface = area.surface;
  e.surfaceKind = area.kind;
  return e;
}

std::optional<Judgement> overallJudgement(const std::vector<std::optional<Judgement>>& areas) {
  if (areas.empty()) return std::nullopt;
  // One failing area fails the job, whatever the others; more readings elsewhere cannot change that.
  if (std::find(areas.begin(), areas.end(), Judgement::Fail) != areas.end()) return Judgement::Fail;
  Judgement overall = Judgement::Pass;
  for (const std::optional<Judgement>& j : areas) {
    if (!j || *j == Judgement::NotApplicable) return std::nullopt;
    if (*j == Judgement::TooFewMeasurements) overall = *j;
  }
  return overall;
}

JobVerdict judgeJob(const job::InspectionJob& job) {
  JobVerdict out;
  std::vector<std::optional<Judgement>> judgements;
  std::vector<double> readings;
  for (const job::JobArea& area : job.areas) {
    AreaVerdict& a = out.areas.emplace_back();
    a.entries = areaEntries(job.header, area);
    a.readings = job::areaReadings(area, job.readings);
    const bool noNominal = !area.overrides.nominal && !job.header.nominal;
    if (noNominal) {
      a.assessment.refusal = a.entries.rule == Rule::SspcPa2 ? "Введите минимальную толщину"
                                                             : "Введите номинальную толщину NDFT";
    } else if (a.readings.empty()) {
      a.assessment.refusal = "В таблице нет замеров с номерами " + job::rangesText(area.numbers);
    } else {
      readings.clear();
      for (std::size_t i : a.readings) readings.push_back(job.readings[i].h);
      a.assessment = assess(readings, a.entries);
    }
    judgements.push_back(a.judgement());
  }
  out.overall = overallJudgement(judgements);
  if (job.areas.empty()) {
    out.summary = "Зоны не заданы";
  } else if (!out.overall) {
    out.summary = "Нет вердикта: не все зоны удалось оценить";
  } else {
    switch (*out.overall) {
      case Judgement::Pass:
        out.summary = "Все зоны соответствуют";
        break;
      case Judgement::Fail:
        out.summary = "Не все зоны соответствуют";
        break;
      case Judgement::TooFewMeasurements:
      case Judgement::NotApplicable:
        out.summary = "Проверка в целом: недостаточно измерений";
        break;
    }
  }
  return out;
}

}  // namespace korsi::inspection
