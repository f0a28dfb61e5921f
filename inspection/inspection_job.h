#pragma once
// An inspection job as the inspector keeps it: who, what and by which rule
// (the header), the areas of the structure with the measurement numbers each
// holds, and a copy of the readings the areas use, so that the job stands on
// its own without the gauge and without the archive database (emptied at
// every start). Plain data: judging it is the inspection's matter.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "inspection/number_ranges.h"
#include "inspection/surface.h"
#include "storage/recordset/date_time.h"

namespace korsi::job {

// The rules a job may name; the inspection maps them onto its own.
enum class JobRule { Iso19840, Pspc9010, SspcPa2 };
enum class JobUnit { Micrometre, Mil };
// How the gauge was set up: a roughness grade, an unknown profile (25 µm),
// or a correction measured on the blasted surface.
enum class SetUp { None, Fine, Medium, Coarse, UnknownProfile, Measured };

struct JobHeader {
  std::string object;  // the object or structure
  std::string client;
  std::string coatingSystem;
  std::string coat;
  std::string inspector;
  std::string gauge;
  std::string gaugeSerial;
  std::string date;  // as the inspector writes it
  JobRule rule = JobRule::Iso19840;
  // NDFT, or for SSPC-PA 2 the required minimum, in `unit`; none: not yet entered.
  std::optional<double> nominal;
  std::optional<double> maximum;
  JobUnit unit = JobUnit::Micrometre;
  int level = 3;             // SSPC-PA 2 restriction level
  std::size_t spotSize = 3;  // SSPC-PA 2 readings to a spot
  SetUp setUp = SetUp::None;
  std::optional<double> measuredCorrection;  // in `unit`, for SetUp::Measured

  friend bool operator==(const JobHeader&, const JobHeader&) = default;
};

// The header's free-text fields in the order the window asks for them and
// the report prints them, with their captions.
struct HeaderTextField {
  const char* caption;
  std::string JobHeader::*member;
};
inline constexpr std::array<HeaderTextField, 8> kHeaderTextFields{{
    {"Объект, конструкция:", &JobHeader::object},
    {"Заказчик:", &JobHeader::client},
    {"Система покрытия:", &JobHeader::coatingSystem},
    {"Слой:", &JobHeader::coat},
    {"Инспектор:", &JobHeader::inspector},
    {"Прибор:", &JobHeader::gauge},
    {"Заводской номер:", &JobHeader::gaugeSerial},
    {"Дата проверки:", &JobHeader::date},
}};

// What an area may judge differently from the job.
struct AreaOverrides {
  std::optional<JobRule> rule;
  std::optional<double> nominal;
  std::optional<double> maximum;
  std::optional<int> level;
  std::optional<std::size_t> spotSize;

  friend bool operator==(const AreaOverrides&, const AreaOverrides&) = default;
};

struct JobArea {
  std::string name;
  // In square metres, or in square feet for a job in mils; each surface
  // keeps the unit it was given in.
  std::optional<inspection::Surface> surface;
  NumberRanges numbers;
  AreaOverrides overrides;
  // Flat or complex, for IMO PSPC's count of readings; none: not given.
  std::optional<inspection::SurfaceKind> kind;

  friend bool operator==(const JobArea&, const JobArea&) = default;
};

struct JobReading {
  std::int32_t num = 0;
  std::optional<DateTime> date;
  double h = 0.0;  // millimetres, as the archive holds it
  std::optional<std::string> note;

  friend bool operator==(const JobReading&, const JobReading&) = default;
};

struct InspectionJob {
  // The job's UUID (job_id.h); empty for a job never saved or published, and
  // for a file saved before jobs had one.
  std::string id;
  JobHeader header;
  std::vector<JobArea> areas;
  std::vector<JobReading> readings;  // ascending numbers, each number once

  friend bool operator==(const InspectionJob&, const InspectionJob&) = default;
};

// The same job, a NaN thickness counting as equal to a NaN (the gauge can
// send any bit pattern): whether there is anything left to save.
bool sameJob(const InspectionJob& a, const InspectionJob& b);

// What taking the readings anew would do to the job's copies (both
// ascending by number): copies that would change (thickness, date or note)
// or go (the number is no longer to be had), and readings new to the job.
struct ReadingsChange {
  std::vector<std::int32_t> changed;
  std::vector<std::int32_t> dropped;
  std::size_t added = 0;
  bool replacesAny() const { return !changed.empty() || !dropped.empty(); }
};
ReadingsChange readingsChange(const std::vector<JobReading>& before, const std::vector<JobReading>& after);

// Why the areas cannot stand together, in Russian: an area without a name
// or numbers, two areas of one name, or a number in two areas. Empty when
// they can.
std::string areasProblem(const std::vector<JobArea>& areas);

// The indices into `readings` (ascending numbers) of the readings an area
// holds, in number order.
std::vector<std::size_t> areaReadings(const JobArea& area, const std::vector<JobReading>& readings);

// The readings the areas use, from `source` (any order); a number the source
// holds twice is refused, as the job could not tell which is meant.
struct TakenReadings {
  std::vector<JobReading> readings;
  std::string error;
  bool ok() const { return error.empty(); }
};
TakenReadings readingsForAreas(const std::vector<JobArea>& areas, const std::vector<JobReading>& source);

}  // namespace korsi::job
