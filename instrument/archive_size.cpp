#include "instrument/archive_size.h"

#include "instrument/gauge_messages.h"
#include "link/modbus_master.h"
#include "services/logs.h"

namespace korsi {

std::optional<std::uint16_t> askArchiveSize(Modbus::MBMaster& master, int tries) {
  return askArchiveSizeAnswer(master, tries).count;
}

ArchiveSizeAnswer askArchiveSizeAnswer(Modbus::MBMaster& master, int tries) {
  Modbus::Request::ArchPoints request;
  Modbus::Response::ArchPoints response;
  ArchiveSizeAnswer answer;
  for (int i = 0; i < tries; ++i) {
    master.send(request);
    const int r = master.receive(response);
    answer.lastResult = r;
    if (r < 0 && r != Modbus::Result::kNoReply) {
      LOG_ERR("error code = ", r);
      continue;
    }
    if (r > 128) {
      LOG_ERR("Exception with function code: ", r, " and exception code: ", master.exception().code());
      continue;
    }
    // A reply that emptied the response leaves no count: count() gives 0 then.
    const std::uint16_t n = response.count();
    if (n > kMaxArchiveSize) {
      LOG_ERR("Количество измерений > 500: ", n);
      continue;
    }
    LOG_INF("Количество измерений: ", n);
    answer.count = n;
    return answer;
  }
  return answer;
}

}  // namespace korsi
