#pragma once
// The date of a measurement row and how dates are shown.
//
// A row's date is made the way the gauge's fields have always been turned into
// a date: the text "%02d.%02d.20%02d %02d:%02d:%02d" of day, month, year,
// hour, minute and second, read back with that fixed pattern (day.month.year).
// A field of 100 or more prints with three digits (year 105 gives "20105"), so
// such a text, like one that names no real date (31.02), is refused.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "instrument/meash.h"

namespace korsi {

// A date and time of day on the gauge's clock (no time zone).
using DateTime = std::chrono::local_seconds;

// "09.03.2009 14:30:05" for day 9, month 3, year 9, 14:30:05.
std::string meashDateText(const Meash& meash);

// Reads exactly "DD.MM.YYYY HH:MM:SS" (two-digit day, month, hours, minutes and
// seconds, four-digit year). Nothing for any other shape, or for a date or time
// of day that does not exist (31 February, hour 24, second 60).
std::optional<DateTime> parseMeashDate(std::string_view text);

// The row's date of a record: its date text, parsed. Nothing when refused.
std::optional<DateTime> meashDate(const Meash& meash);

// Whether a date-time at exactly midnight shows its time (the log does) or
// only its date (the grid, the report and the export).
enum class MidnightTime { Shown, LeftOut };

// "09.03.2009 6:22:05": day and month with two digits, four-digit year, hours
// without a leading zero. At exactly midnight, "09.03.2009" with LeftOut and
// "09.03.2009 0:00:00" with Shown.
std::string dateTimeText(DateTime when, MidnightTime midnight);

}  // namespace korsi
