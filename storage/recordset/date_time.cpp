#include "storage/recordset/date_time.h"

#include <cmath>
#include <cstdio>

namespace korsi {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days between 1970-01-01 and the given civil date (H. Hinnant's algorithm).
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

constexpr Civil civilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {y + (m <= 2 ? 1 : 0), m, d};
}

constexpr std::int64_t kDaysTo0001 = daysFromCivil(1, 1, 1);
constexpr std::int64_t kDaysToOleEpoch = daysFromCivil(1899, 12, 30);
// Every date the table holds, 0001-01-01 to 9999-12-31, so that a data file
// written from any row reads back (OLE Automation itself stops at year 100).
constexpr double kOleFirstDay = static_cast<double>(daysFromCivil(1, 1, 1) - kDaysToOleEpoch);
constexpr double kOleLastDay = static_cast<double>(daysFromCivil(9999, 12, 31) - kDaysToOleEpoch);

bool isLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

// Exactly `count` decimal digits at text[pos], or -1.
int digits(std::string_view text, std::size_t pos, std::size_t count) {
  if (pos + count > text.size()) return -1;
  int value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

bool isValid(const DateTime& t) {
  if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12) return false;
  if (t.day < 1 || t.day > daysInMonth(t.year, t.month)) return false;
  return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
         t.second < 60;
}

std::int64_t toSerialSeconds(const DateTime& t) {
  const std::int64_t days = daysFromCivil(t.year, static_cast<unsigned>(t.month),
                                          static_cast<unsigned>(t.day)) - kDaysTo0001;
  return days * kSecondsPerDay + t.hour * 3600 + t.minute * 60 + t.second;
}

DateTime fromSerialSeconds(std::int64_t seconds) {
  std::int64_t days = seconds / kSecondsPerDay;
  std::int64_t rest = seconds % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  const Civil civil = civilFromDays(days + kDaysTo0001);
  DateTime t;
  t.year = static_cast<int>(civil.year);
  t.month = static_cast<int>(civil.month);
  t.day = static_cast<int>(civil.day);
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

std::string measurementDateText(unsigned day, unsigned month, unsigned year, unsigned hour,
                                unsigned minute, unsigned second) {
  char text[64];
  std::snprintf(text, sizeof text, "%02u.%02u.20%02u %02u:%02u:%02u", day, month, year, hour,
                minute, second);
  return text;
}

std::optional<DateTime> parseMeasurementDate(std::string_view text) {
  // DD.MM.YYYY HH:MM:SS
  if (text.size() != 19 || text[2] != '.' || text[5] != '.' || text[10] != ' ' ||
      text[13] != ':' || text[16] != ':') {
    return std::nullopt;
  }
  DateTime t;
  t.day = digits(text, 0, 2);
  t.month = digits(text, 3, 2);
  t.year = digits(text, 6, 4);
  t.hour = digits(text, 11, 2);
  t.minute = digits(text, 14, 2);
  t.second = digits(text, 17, 2);
  if (!isValid(t)) return std::nullopt;
  return t;
}

std::string shownText(const DateTime& t) {
  char text[64];
  if (t.hour == 0 && t.minute == 0 && t.second == 0) {
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", t.day, t.month, t.year);
  } else {
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %d:%02d:%02d", t.day, t.month, t.year, t.hour,
                  t.minute, t.second);
  }
  return text;
}

std::optional<DateTime> parseShownText(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  // DD.MM.YYYY
  if (text.size() < 10 || text[2] != '.' || text[5] != '.') return std::nullopt;
  DateTime t;
  t.day = digits(text, 0, 2);
  t.month = digits(text, 3, 2);
  t.year = digits(text, 6, 4);
  if (text.size() > 10) {
    // " H:MM:SS" or " HH:MM:SS"
    if (text.size() < 18 || text.size() > 19 || text[10] != ' ') return std::nullopt;
    const std::size_t hourDigits = text.size() - 17;
    const std::size_t colon = 11 + hourDigits;
    if (text[colon] != ':' || text[colon + 3] != ':') return std::nullopt;
    t.hour = digits(text, 11, hourDigits);
    t.minute = digits(text, colon + 1, 2);
    t.second = digits(text, colon + 4, 2);
  }
  if (!isValid(t)) return std::nullopt;
  return t;
}

std::string isoText(const DateTime& t, char separator) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d:%02d", t.year, t.month, t.day,
                separator, t.hour, t.minute, t.second);
  return text;
}

std::optional<DateTime> parseIsoText(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.size() < 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  DateTime t;
  t.year = digits(text, 0, 4);
  t.month = digits(text, 5, 2);
  t.day = digits(text, 8, 2);
  std::size_t pos = 10;
  bool roundUp = false;
  if (pos < text.size() && (text[pos] == 'T' || text[pos] == ' ')) {
    if (text.size() < pos + 9 || text[pos + 3] != ':' || text[pos + 6] != ':') return std::nullopt;
    t.hour = digits(text, pos + 1, 2);
    t.minute = digits(text, pos + 4, 2);
    t.second = digits(text, pos + 7, 2);
    pos += 9;
    if (pos < text.size() && text[pos] == '.') {
      ++pos;
      const std::size_t first = pos;
      while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
      if (pos == first) return std::nullopt;
      roundUp = text[first] >= '5';
    }
  }
  // A zone is accepted and ignored.
  if (pos < text.size()) {
    const std::string_view zone = text.substr(pos);
    const bool utc = zone == "Z";
    const bool offset = zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') &&
                        digits(zone, 1, 2) >= 0 && zone[3] == ':' && digits(zone, 4, 2) >= 0;
    if (!utc && !offset) return std::nullopt;
  }
  if (!isValid(t)) return std::nullopt;
  if (roundUp) {
    t = fromSerialSeconds(toSerialSeconds(t) + 1);
    if (!isValid(t)) return std::nullopt;
  }
  return t;
}

std::optional<DateTime> fromOleDate(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  double whole = std::trunc(value);
  if (whole < kOleFirstDay || whole > kOleLastDay) return std::nullopt;
  auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(value - whole) * kSecondsPerDay));
  // The time of day always counts forward from the whole day, so rounding up
  // to midnight moves to the next calendar day whatever the sign.
  std::int64_t days = static_cast<std::int64_t>(whole);
  if (seconds >= kSecondsPerDay) {
    seconds = 0;
    ++days;
  }
  const DateTime t = fromSerialSeconds((days + kDaysToOleEpoch - kDaysTo0001) * kSecondsPerDay + seconds);
  if (!isValid(t)) return std::nullopt;
  return t;
}

double toOleDate(const DateTime& t) {
  const std::int64_t days = daysFromCivil(t.year, static_cast<unsigned>(t.month),
                                          static_cast<unsigned>(t.day)) - kDaysToOleEpoch;
  const double fraction = static_cast<double>(t.hour * 3600 + t.minute * 60 + t.second) /
                          static_cast<double>(kSecondsPerDay);
  const auto whole = static_cast<double>(days);
  return days < 0 ? whole - fraction : whole + fraction;
}

}  // namespace korsi
