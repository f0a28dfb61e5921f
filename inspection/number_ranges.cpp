#include "inspection/number_ranges.h"

#include <algorithm>
#include <limits>

namespace korsi::job {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A whole number from 1 to the largest 32-bit one, digits only.
std::optional<std::int32_t> number(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::string rangeText(const NumberRange& r) {
  return r.first == r.last ? std::to_string(r.first) : std::to_string(r.first) + "-" + std::to_string(r.last);
}

}  // namespace

ParsedRanges parseNumberRanges(std::string_view text) {
  ParsedRanges out;
  // The en dash is typed by some keyboards and pasted from documents.
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i, 3) == "\u2013") {
      plain += '-';
      i += 2;
    } else {
      plain += text[i];
    }
  }
  std::string_view rest = plain;
  if (trimmed(rest).empty()) {
    out.error = "Номера замеров не указаны";
    return out;
  }
  while (true) {
    const std::size_t end = rest.find_first_of(",;");
    const std::string_view item = trimmed(rest.substr(0, end));
    const std::size_t dash = item.find('-');
    const auto first = number(trimmed(item.substr(0, dash)));
    const auto last = dash == std::string_view::npos ? first : number(trimmed(item.substr(dash + 1)));
    if (!first || !last) {
      out.error = item.empty() ? "Пустой элемент в списке номеров"
                               : "«" + std::string(item) + "»: ожидается номер замера от 1 или диапазон вида 1-30";
      out.ranges.clear();
      return out;
    }
    if (*first > *last) {
      out.error = "Диапазон " + std::string(item) + ": начало больше конца";
      out.ranges.clear();
      return out;
    }
    const NumberRange range{*first, *last};
    for (const NumberRange& earlier : out.ranges) {
      if (const auto shared = firstSharedNumber({earlier}, {range})) {
        out.error = "Номер " + std::to_string(*shared) + " указан дважды: " + rangeText(earlier) + " и " +
                    rangeText(range);
        out.ranges.clear();
        return out;
      }
    }
    out.ranges.push_back(range);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return out;
}

std::string rangesText(const NumberRanges& ranges) {
  std::string text;
  for (const NumberRange& r : ranges) text += (text.empty() ? "" : ", ") + rangeText(r);
  return text;
}

bool containsNumber(const NumberRanges& ranges, std::int64_t number) {
  return std::any_of(ranges.begin(), ranges.end(), [&](const NumberRange& r) { return r.contains(number); });
}

std::optional<std::int32_t> firstSharedNumber(const NumberRanges& a, const NumberRanges& b) {
  std::optional<std::int32_t> shared;
  for (const NumberRange& x : a) {
    for (const NumberRange& y : b) {
      const std::int32_t low = std::max(x.first, y.first);
      if (low <= std::min(x.last, y.last) && (!shared || low < *shared)) shared = low;
    }
  }
  return shared;
}

}  // namespace korsi::job
