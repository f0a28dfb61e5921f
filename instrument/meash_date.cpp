#include "instrument/meash_date.h"

#include <cstdio>

namespace korsi {

namespace {

// The digits of text[at .. at+count), or nothing when one is not a digit.
std::optional<int> digitsAt(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::string meashDateText(const Meash& meash) {
  // Fields of up to 255 give at most 25 characters.
  char text[32];
  std::snprintf(text, sizeof text, "%02u.%02u.20%02u %02u:%02u:%02u", unsigned{meash.day},
                unsigned{meash.month}, unsigned{meash.year}, unsigned{meash.hour}, unsigned{meash.min},
                unsigned{meash.sec});
  return text;
}

std::optional<DateTime> parseMeashDate(std::string_view text) {
  // DD.MM.YYYY HH:MM:SS
  constexpr std::string_view kShape = "00.00.0000 00:00:00";
  if (text.size() != kShape.size()) return std::nullopt;
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    if (kShape[i] != '0' && text[i] != kShape[i]) return std::nullopt;
  }
  const auto day = digitsAt(text, 0, 2);
  const auto month = digitsAt(text, 3, 2);
  const auto year = digitsAt(text, 6, 4);
  const auto hour = digitsAt(text, 11, 2);
  const auto minute = digitsAt(text, 14, 2);
  const auto second = digitsAt(text, 17, 2);
  if (!day || !month || !year || !hour || !minute || !second) return std::nullopt;
  if (*hour > 23 || *minute > 59 || *second > 59) return std::nullopt;

  using namespace std::chrono;
  const year_month_day date{std::chrono::year{*year}, std::chrono::month{static_cast<unsigned>(*month)},
                            std::chrono::day{static_cast<unsigned>(*day)}};
  if (!date.ok()) return std::nullopt;
  return local_days{date} + hours{*hour} + minutes{*minute} + seconds{*second};
}

std::optional<DateTime> meashDate(const Meash& meash) { return parseMeashDate(meashDateText(meash)); }

std::string dateTimeText(DateTime when, MidnightTime midnight) {
  using namespace std::chrono;
  const local_days dayStart = floor<days>(when);
  const year_month_day date{dayStart};
  const hh_mm_ss time{when - dayStart};

  char text[48];
  const bool atMidnight = when == dayStart;
  if (atMidnight && midnight == MidnightTime::LeftOut) {
    std::snprintf(text, sizeof text, "%02u.%02u.%04d", unsigned{date.day()}, unsigned{date.month()},
                  int{date.year()});
  } else {
    std::snprintf(text, sizeof text, "%02u.%02u.%04d %d:%02d:%02d", unsigned{date.day()},
                  unsigned{date.month()}, int{date.year()}, static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()));
  }
  return text;
}

}  // namespace korsi
