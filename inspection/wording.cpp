#include "inspection/wording.h"

namespace korsi::inspection {

std::string plural(std::size_t n, const char* one, const char* few, const char* many) {
  const std::size_t last = n % 10;
  const std::size_t lastTwo = n % 100;
  const char* word = many;
  if (last == 1 && lastTwo != 11) {
    word = one;
  } else if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) {
    word = few;
  }
  return std::to_string(n) + " " + word;
}

std::string ofReadings(std::size_t n) {
  const bool one = n % 10 == 1 && n % 100 != 11;
  return "из " + std::to_string(n) + (one ? " замера" : " замеров");
}

}  // namespace korsi::inspection
