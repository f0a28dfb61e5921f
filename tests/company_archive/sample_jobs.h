#pragma once
// Jobs for the company archive's tests: a small one with every kind of
// field (surfaces in m² and ft², a surface's kind, overrides, no date, a NaN
// thickness, empty and missing notes) and a
// large one of up to 65,535 readings.

#include <cmath>
#include <cstdint>
#include <string>

#include "inspection/inspection_job.h"
#include "inspection/job_id.h"

namespace korsi::test {

inline job::InspectionJob sampleArchiveJob() {
  job::InspectionJob j;
  j.id = job::newJobId();
  job::JobHeader& h = j.header;
  h.object = "Танкер «Волга», балластный танк 3";
  h.client = "ООО \"Судоремонт\"";
  h.coatingSystem = "эпоксидная, 2 слоя";
  h.coat = "2-й слой";
  h.inspector = "Иванов И. И.";
  h.gauge = "КОРСИ-7";
  h.gaugeSerial = "0457";
  h.date = "11.12.2026";
  h.rule = job::JobRule::Iso19840;
  h.nominal = 100.0;
  h.maximum = 300.0;
  h.setUp = job::SetUp::Medium;
  j.areas.push_back({"Палуба", inspection::squareMetresSurface(8.5), job::parseNumberRanges("1-12").ranges, {},
                     inspection::SurfaceKind::Flat});
  j.areas.push_back({"Борт", inspection::squareFeetSurface(1050), job::parseNumberRanges("13-20, 25").ranges,
                     {job::JobRule::SspcPa2, 120.0, 300.0, 2, std::size_t{3}}, std::nullopt});
  for (std::int32_t n = 1; n <= 25; ++n) {
    if (n > 20 && n < 25) continue;
    job::JobReading r;
    r.num = n;
    if (n != 2) r.date = DateTime{2026, 12, 10, 9, n % 60, (n * 7) % 60};
    r.h = 0.1 + n * 0.0073;
    if (n == 3) r.note = "у люка";
    if (n == 4) r.note = "";
    j.readings.push_back(r);
  }
  return j;
}

inline job::InspectionJob largeArchiveJob(std::int32_t readings) {
  job::InspectionJob j;
  j.id = job::newJobId();
  j.header.object = "Балкер, трюм 1";
  j.header.inspector = "Петров";
  j.header.nominal = 150.0;
  j.areas.push_back({"Трюм", std::nullopt, job::parseNumberRanges("1-" + std::to_string(readings)).ranges, {},
                     std::nullopt});
  j.readings.reserve(static_cast<std::size_t>(readings));
  for (std::int32_t n = 1; n <= readings; ++n) {
    j.readings.push_back({n, DateTime{2026, 12, 10, (n / 3600) % 24, (n / 60) % 60, n % 60},
                          0.12 + (n % 97) * 0.001, std::nullopt});
  }
  return j;
}

// Equal field by field, a NaN equal to a NaN.
inline bool sameJob(const job::InspectionJob& a, const job::InspectionJob& b) {
  if (a.id != b.id || !(a.header == b.header) || !(a.areas == b.areas) || a.readings.size() != b.readings.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.readings.size(); ++i) {
    const job::JobReading& x = a.readings[i];
    const job::JobReading& y = b.readings[i];
    if (x.num != y.num || x.date != y.date || x.note != y.note) return false;
    if (!(x.h == y.h || (std::isnan(x.h) && std::isnan(y.h)))) return false;
  }
  return true;
}

}  // namespace korsi::test
