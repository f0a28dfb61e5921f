#include "instrument/meash_date.h"

namespace korsi {

std::string meashDateText(const Meash& meash) {
  return measurementDateText(meash.day, meash.month, meash.year, meash.hour, meash.min, meash.sec);
}

std::optional<DateTime> meashDate(const Meash& meash) {
  return parseMeasurementDate(meashDateText(meash));
}

}  // namespace korsi
