#pragma once
// The measurement numbers an area holds, as the inspector types them:
// "1-30, 45-60, 72". Numbers are whole, from 1; a range runs upwards and
// includes both ends; commas or semicolons part the items, blanks are
// free, and a dash may be typed as "-" or "–". A number may appear once in
// one list; whether it belongs to one area only is the job's matter
// (inspection_job.h).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korsi::job {

struct NumberRange {
  std::int32_t first = 1;
  std::int32_t last = 1;

  bool contains(std::int64_t number) const { return number >= first && number <= last; }
  friend bool operator==(const NumberRange&, const NumberRange&) = default;
};

using NumberRanges = std::vector<NumberRange>;

struct ParsedRanges {
  NumberRanges ranges;  // in the order typed
  std::string error;    // why the text is refused, in Russian; empty when it is not
  bool ok() const { return error.empty(); }
};

ParsedRanges parseNumberRanges(std::string_view text);

// "1-30, 45-60, 72": what parseNumberRanges reads back to the same ranges.
std::string rangesText(const NumberRanges& ranges);

bool containsNumber(const NumberRanges& ranges, std::int64_t number);

// The first number two lists share, if any.
std::optional<std::int32_t> firstSharedNumber(const NumberRanges& a, const NumberRanges& b);

}  // namespace korsi::job
