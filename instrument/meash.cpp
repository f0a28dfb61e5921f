#include "instrument/meash.h"

#include <bit>
#include <limits>

#include "services/logs.h"

static_assert(std::numeric_limits<float>::is_iec559, "the gauge sends IEEE-754 single precision");

namespace {
constexpr std::size_t kDataStart = 4;
constexpr std::size_t kMeashBytes = 12;
}  // namespace

bool getMeash(const Modbus::Response::MeashPoint& reply, Meash* meash) {
  if (meash == nullptr) {
    LOG_ERR("meash is NULL");
    return false;
  }
  // Reading only, through the bounded view of the data bytes.
  const Modbus::Response::DataPosition d(const_cast<Modbus::Response::MeashPoint*>(&reply), kDataStart);
  if (d.available() < kMeashBytes) {
    *meash = Meash{};
    return false;
  }
  meash->num = static_cast<std::uint16_t>((d[0] << 8) | d[1]);
  meash->sec = d[2];
  meash->min = d[3];
  meash->hour = d[4];
  meash->day = d[5];
  meash->month = d[6];
  meash->year = d[7];
  const std::uint32_t bits = (static_cast<std::uint32_t>(d[8]) << 24) | (static_cast<std::uint32_t>(d[9]) << 16) |
                             (static_cast<std::uint32_t>(d[10]) << 8) | static_cast<std::uint32_t>(d[11]);
  meash->h = std::bit_cast<float>(bits);
  return true;
}
