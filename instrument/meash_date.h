#pragma once
// The date of a measurement row.
//
// A row's date is made the way the gauge's fields have always been turned into
// a date: the text "%02d.%02d.20%02d %02d:%02d:%02d" of day, month, year,
// hour, minute and second, read back with that fixed pattern (day.month.year).
// A field of 100 or more prints with three digits (year 105 gives "20105"), so
// such a text, like one that names no real date (31.02), is refused.
// The text forms themselves live with the date type in storage/recordset.

#include <optional>
#include <string>

#include "instrument/meash.h"
#include "storage/recordset/date_time.h"

namespace korsi {

// "09.03.2009 14:30:05" for day 9, month 3, year 9, 14:30:05.
std::string meashDateText(const Meash& meash);

// The row's date of a record: its date text, parsed with the fixed pattern.
// Nothing when refused.
std::optional<DateTime> meashDate(const Meash& meash);

}  // namespace korsi
