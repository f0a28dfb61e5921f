#include "simulator/gauge_archive.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <fstream>
#include <random>
#include <string_view>

namespace korsi::sim {

namespace {

using namespace std::chrono;

const local_seconds kFirstDay = local_days{year{2000} / January / 1};
const local_seconds kLastMoment = local_days{year{2099} / December / 31} + hours{23} + minutes{59} + seconds{59};

Meash recordAt(std::uint16_t num, local_seconds when, float h) {
  const local_days day = floor<days>(when);
  const year_month_day date{day};
  const hh_mm_ss time{when - day};
  Meash m{};
  m.num = num;
  m.sec = static_cast<std::uint8_t>(time.seconds().count());
  m.min = static_cast<std::uint8_t>(time.minutes().count());
  m.hour = static_cast<std::uint8_t>(time.hours().count());
  m.day = static_cast<std::uint8_t>(unsigned{date.day()});
  m.month = static_cast<std::uint8_t>(unsigned{date.month()});
  m.year = static_cast<std::uint8_t>(int{date.year()} - 2000);
  m.h = h;
  return m;
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

template <class T>
std::optional<T> numberOf(std::string_view text) {
  T value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "D.M.YYYY H:M:S" or "D.M.YYYY"; every field within a byte, year 2000..2255.
bool parseCsvDate(std::string_view text, Meash& m) {
  unsigned fields[6] = {0, 0, 0, 0, 0, 0};
  const std::string_view date = text.substr(0, text.find(' '));
  const std::string_view time =
      date.size() < text.size() ? trimmed(text.substr(date.size())) : std::string_view{};
  auto split = [&fields](std::string_view part, char separator, int first) {
    for (int i = 0; i < 3; ++i) {
      const auto cut = part.find(separator);
      if ((i < 2) != (cut != std::string_view::npos)) return false;
      const auto value = numberOf<unsigned>(part.substr(0, cut));
      if (!value) return false;
      fields[first + i] = *value;
      part = i < 2 ? part.substr(cut + 1) : std::string_view{};
    }
    return true;
  };
  if (!split(date, '.', 0)) return false;
  if (!time.empty() && !split(time, ':', 3)) return false;
  if (fields[2] < 2000 || fields[2] > 2255) return false;
  for (int i : {0, 1, 3, 4, 5}) {
    if (fields[i] > 255) return false;
  }
  m.day = static_cast<std::uint8_t>(fields[0]);
  m.month = static_cast<std::uint8_t>(fields[1]);
  m.year = static_cast<std::uint8_t>(fields[2] - 2000);
  m.hour = static_cast<std::uint8_t>(fields[3]);
  m.min = static_cast<std::uint8_t>(fields[4]);
  m.sec = static_cast<std::uint8_t>(fields[5]);
  return true;
}

}  // namespace

std::vector<Meash> generateArchive(std::size_t count, std::uint64_t seed) {
  count = std::min(count, kMaxArchiveSize);
  std::mt19937_64 random(seed);
  auto between = [&random](std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(random);
  };

  // Start somewhere in the first half of the century so that even the largest
  // archive ends before 2100; jumps between working days shrink as the archive grows.
  local_seconds when = kFirstDay + days{between(0, 50 * 365)} + hours{between(8, 16)} + minutes{between(0, 59)};
  const std::int64_t daysLeft = duration_cast<days>(kLastMoment - when).count();
  const std::int64_t longestJump = std::clamp<std::int64_t>(daysLeft / static_cast<std::int64_t>(count / 4 + 1), 1, 45);

  double surface = 0.0;  // the thickness the measurements of one session scatter around
  std::vector<Meash> archive;
  archive.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const bool newSession = i == 0 || between(0, 3) == 0;
    if (newSession) {
      surface = static_cast<double>(between(50, 4500)) / 1000.0;
      if (i > 0) {
        const local_seconds next = floor<days>(when) + days{between(1, longestJump)} + hours{between(8, 17)} +
                                   minutes{between(0, 59)} + seconds{between(0, 59)};
        when = next <= kLastMoment ? next : when + seconds{1};
      }
    } else {
      const local_seconds next = when + seconds{between(15, 600)};
      when = next <= kLastMoment ? next : when + seconds{1};
    }
    std::normal_distribution<double> scatter(surface, 0.04 * surface + 0.005);
    const double millimetres = std::clamp(scatter(random), 0.0, 5.0);
    const float h = static_cast<float>(std::lround(millimetres * 1000.0)) / 1000.0f;
    archive.push_back(recordAt(static_cast<std::uint16_t>(i + 1), std::min(when, kLastMoment), h));
  }
  return archive;
}

std::optional<std::vector<Meash>> readArchiveCsv(std::istream& in, std::string* error) {
  std::vector<Meash> archive;
  std::string line;
  auto fail = [error](std::size_t lineNumber, const std::string& why) {
    if (error != nullptr) *error = "line " + std::to_string(lineNumber) + ": " + why;
    return std::nullopt;
  };
  for (std::size_t lineNumber = 1; std::getline(in, line); ++lineNumber) {
    const std::string_view text = trimmed(line);
    if (text.empty() || text.front() == '#') continue;
    if (archive.empty() && text.starts_with("num")) continue;

    const auto cut1 = text.find(';');
    const auto cut2 = cut1 == std::string_view::npos ? cut1 : text.find(';', cut1 + 1);
    if (cut2 == std::string_view::npos || text.find(';', cut2 + 1) != std::string_view::npos) {
      return fail(lineNumber, "expected three fields num;date;h");
    }
    Meash m{};
    const auto num = numberOf<unsigned>(trimmed(text.substr(0, cut1)));
    if (!num || *num > 0xFFFF) return fail(lineNumber, "number is not 0..65535");
    m.num = static_cast<std::uint16_t>(*num);
    if (!parseCsvDate(trimmed(text.substr(cut1 + 1, cut2 - cut1 - 1)), m)) {
      return fail(lineNumber, "date is not D.M.YYYY [H:M:S] with a year from 2000 to 2255");
    }
    std::string thickness(trimmed(text.substr(cut2 + 1)));
    std::replace(thickness.begin(), thickness.end(), ',', '.');
    const auto h = numberOf<float>(thickness);
    if (!h) return fail(lineNumber, "thickness is not a number");
    m.h = *h;
    if (archive.size() == kMaxArchiveSize) return fail(lineNumber, "more than 65535 measurements");
    archive.push_back(m);
  }
  return archive;
}

std::optional<std::vector<Meash>> loadArchiveCsv(const std::string& path, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    if (error != nullptr) *error = "cannot open " + path;
    return std::nullopt;
  }
  auto archive = readArchiveCsv(in, error);
  if (!archive && error != nullptr) *error = path + ": " + *error;
  return archive;
}

}  // namespace korsi::sim
