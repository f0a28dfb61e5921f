// Decodes arbitrary accepted replies the way the callers do: the archive size
// with count, a measurement with getMeash and then the row's date. Whatever
// the reply's length, nothing outside it is read, a reply too short for its
// value yields the documented zero, and a whole one decodes to its bytes.
//
// Input: the reply's bytes, as receive leaves them in the response.

#include <bit>
#include <cstdint>
#include <cstdlib>

#include "instrument/gauge_messages.h"
#include "instrument/meash.h"
#include "instrument/meash_date.h"

namespace {

void require(bool promise) {
  if (!promise) std::abort();
}

template <class Response>
void fill(Response& response, const std::uint8_t* data, std::size_t size) {
  response.clear();
  response.insert(response.end(), data, data + size);
}

void checkCount(const std::uint8_t* data, std::size_t size) {
  Modbus::Response::ArchPoints reply;
  fill(reply, data, size);
  const std::uint16_t count = reply.count();
  // Address, function, count word, one data word, checksum: 8 bytes at least.
  require(count == (size >= 8 ? (data[4] << 8 | data[5]) : 0));
  require(reply.word(0) == count);
}

void checkMeasurement(const std::uint8_t* data, std::size_t size) {
  Modbus::Response::MeashPoint reply;
  fill(reply, data, size);
  Meash record{};
  const bool whole = getMeash(reply, &record);
  require(whole == (size >= 18));
  if (!whole) {
    require(record.num == 0 && record.day == 0 && record.month == 0);
    require(!korsi::meashDate(record));
    return;
  }
  require(record.num == (data[4] << 8 | data[5]));
  require(record.sec == data[6] && record.min == data[7] && record.hour == data[8]);
  require(record.day == data[9] && record.month == data[10] && record.year == data[11]);
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(record.h);
  require(bits == (std::uint32_t{data[12]} << 24 | std::uint32_t{data[13]} << 16 | std::uint32_t{data[14]} << 8 |
                   std::uint32_t{data[15]}));

  // The row's date: a real date of this century's years or nothing.
  const auto date = korsi::meashDate(record);
  (void)korsi::meashDateText(record);
  if (date) {
    require(korsi::isValid(*date));
    require(date->year == 2000 + record.year && date->month == record.month && date->day == record.day);
    require(date->hour == record.hour && date->minute == record.min && date->second == record.sec);
  } else {
    const korsi::DateTime asked{2000 + record.year, record.month, record.day, record.hour, record.min, record.sec};
    require(record.year >= 100 || !korsi::isValid(asked));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 512) return 0;  // the master never accepts more than 256 bytes
  checkCount(data, size);
  checkMeasurement(data, size);
  return 0;
}
