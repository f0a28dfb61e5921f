#pragma once
// Date and time of a measurement, to the second, local time without a zone,
// and the fixed text forms the program reads and shows.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korsi {

struct DateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;

  friend bool operator==(const DateTime&, const DateTime&) = default;
};

// Years 1 to 9999, a day that exists in its month, 00:00:00 to 23:59:59.
bool isValid(const DateTime& time);

// Seconds since 0001-01-01 00:00:00 (proleptic Gregorian calendar), for
// carrying rounded fractions over minutes, days and years.
std::int64_t toSerialSeconds(const DateTime& time);
DateTime fromSerialSeconds(std::int64_t seconds);

// The gauge's fields as the text "%02d.%02d.20%02d %02d:%02d:%02d" (day,
// month, year of the century, hour, minute, second). A field of 100 or more
// prints with three digits, so year 105 gives "20105".
std::string measurementDateText(unsigned day, unsigned month, unsigned year, unsigned hour,
                                unsigned minute, unsigned second);

// Reads "DD.MM.YYYY HH:MM:SS" with exactly these digit counts. A text of
// another shape or a date that does not exist (31.02, year 20105) gives nothing.
std::optional<DateTime> parseMeasurementDate(std::string_view text);

// "09.03.2009 6:22:05": hours without a leading zero; the time is left out
// when it is exactly midnight ("09.03.2009").
std::string shownText(const DateTime& time);

// Reads what the user typed in the shown form: "DD.MM.YYYY", optionally
// followed by one blank and "H:MM:SS" or "HH:MM:SS" (the date alone is
// midnight). Blanks around the text are ignored. A text of another shape or
// a date that does not exist (31.02.2009, year 20105) gives nothing.
std::optional<DateTime> parseShownText(std::string_view text);

// "2009-03-09T14:30:05" with separator 'T', "2009-03-09 14:30:05" with ' '.
std::string isoText(const DateTime& time, char separator);

// Reads "YYYY-MM-DD", optionally followed by 'T' or ' ' and "hh:mm:ss", an
// optional fraction of a second (rounded to the nearest second) and an
// optional zone ("Z", "+03:00"), which is ignored: times are local.
std::optional<DateTime> parseIsoText(std::string_view text);

// OLE Automation date: days since 1899-12-30 with the time as the day's
// fraction; before that day the fraction counts forward from the whole day
// (-1.25 is 1899-12-29 06:00). Rounded to the nearest second; values that are
// not finite or lie outside the years 1 to 9999 (those of isValid, so that
// every row the table holds survives a data file) give nothing.
std::optional<DateTime> fromOleDate(double value);
double toOleDate(const DateTime& time);

}  // namespace korsi
