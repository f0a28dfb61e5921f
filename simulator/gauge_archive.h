#pragma once
// The simulated gauge's archive: measurement i (from 1) is element i - 1.
// Either generated from a seed or read from a CSV file of num;date;h lines.

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "instrument/meash.h"

namespace korsi::sim {

// The gauge's archive holds at most this many measurements (16-bit numbers).
inline constexpr std::size_t kMaxArchiveSize = 65535;

// count measurements numbered 1..count, dates increasing over days and months
// between 2000 and 2099, thicknesses from 0.000 to 5.000 mm in steps of
// 0.001. The same count and seed always give the same archive.
std::vector<Meash> generateArchive(std::size_t count, std::uint64_t seed);

// Lines "num;date;h", for example "12;09.03.2009 14:30:05;0.215":
// - num: 0..65535, sent as the record's number as written. Line i of the
//   records answers the request for measurement i whatever its num says, so a
//   num that differs from i makes a gauge that answers with a wrong number.
// - date: day.month.year hour:minute:second, or day.month.year alone
//   (midnight); years 2000 to 2255, other fields 0 to 255. The date is not
//   checked against the calendar, so impossible dates can be served on purpose.
// - h: the thickness in millimetres, with a decimal point or comma ("nan" and
//   "inf" too).
// Blank lines, lines starting with '#' and a first line starting with "num"
// (a heading) are skipped. On a malformed line: nothing, and *error says which
// line and why.
std::optional<std::vector<Meash>> readArchiveCsv(std::istream& in, std::string* error);
std::optional<std::vector<Meash>> loadArchiveCsv(const std::string& path, std::string* error);

}  // namespace korsi::sim
