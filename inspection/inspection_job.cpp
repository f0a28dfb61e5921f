#include "inspection/inspection_job.h"

#include <algorithm>
#include <cmath>

namespace korsi::job {

namespace {

// A NaN thickness counts as equal to a NaN.
bool sameReading(JobReading x, JobReading y) {
  if (std::isnan(x.h) && std::isnan(y.h)) x.h = y.h = 0.0;
  return x == y;
}

}  // namespace

bool sameJob(const InspectionJob& a, const InspectionJob& b) {
  if (a.header != b.header || a.areas != b.areas || a.readings.size() != b.readings.size()) return false;
  return std::equal(a.readings.begin(), a.readings.end(), b.readings.begin(), sameReading);
}

ReadingsChange readingsChange(const std::vector<JobReading>& before, const std::vector<JobReading>& after) {
  ReadingsChange change;
  auto b = before.begin();
  auto a = after.begin();
  while (b != before.end() || a != after.end()) {
    if (a == after.end() || (b != before.end() && b->num < a->num)) {
      change.dropped.push_back((b++)->num);
    } else if (b == before.end() || a->num < b->num) {
      ++change.added;
      ++a;
    } else {
      if (!sameReading(*b, *a)) change.changed.push_back(b->num);
      ++a;
      ++b;
    }
  }
  return change;
}

std::string areasProblem(const std::vector<JobArea>& areas) {
  for (std::size_t i = 0; i < areas.size(); ++i) {
    const JobArea& a = areas[i];
    if (a.name.empty()) return "У зоны " + std::to_string(i + 1) + " нет названия";
    if (a.numbers.empty()) return "В зоне «" + a.name + "» не указаны номера замеров";
    for (std::size_t j = 0; j < i; ++j) {
      const JobArea& b = areas[j];
      if (b.name == a.name) return "Две зоны называются «" + a.name + "»";
      if (const auto shared = firstSharedNumber(b.numbers, a.numbers)) {
        return "Замер № " + std::to_string(*shared) + " отнесён к двум зонам: «" + b.name + "» и «" + a.name + "»";
      }
    }
  }
  return {};
}

std::vector<std::size_t> areaReadings(const JobArea& area, const std::vector<JobReading>& readings) {
  std::vector<std::size_t> held;
  for (const NumberRange& range : area.numbers) {
    auto at = std::lower_bound(readings.begin(), readings.end(), range.first,
                               [](const JobReading& r, std::int32_t n) { return r.num < n; });
    for (; at != readings.end() && at->num <= range.last; ++at) {
      held.push_back(static_cast<std::size_t>(at - readings.begin()));
    }
  }
  std::sort(held.begin(), held.end());
  return held;
}

TakenReadings readingsForAreas(const std::vector<JobArea>& areas, const std::vector<JobReading>& source) {
  TakenReadings out;
  for (const JobReading& r : source) {
    if (std::any_of(areas.begin(), areas.end(), [&](const JobArea& a) { return containsNumber(a.numbers, r.num); })) {
      out.readings.push_back(r);
    }
  }
  std::stable_sort(out.readings.begin(), out.readings.end(),
                   [](const JobReading& a, const JobReading& b) { return a.num < b.num; });
  const auto twice = std::adjacent_find(out.readings.begin(), out.readings.end(),
                                        [](const JobReading& a, const JobReading& b) { return a.num == b.num; });
  if (twice != out.readings.end()) {
    out.error = "Замер № " + std::to_string(twice->num) + " есть в таблице дважды: неясно, какой из них взять в зону";
    out.readings.clear();
  }
  return out;
}

}  // namespace korsi::job
