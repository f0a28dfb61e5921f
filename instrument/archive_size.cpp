#include "instrument/archive_size.h"

#include "instrument/gauge_messages.h"
#include "link/modbus_master.h"
#include "services/logs.h"

namespace korsi {

std::optional<std::uint16_t> askArchiveSize(Modbus::MBMaster& master, int tries) {
  return askArchiveSizeAnswer(master, tries).count;
}

ArchiveSizeAnswer askArchiveSizeAnswer(Modbus::MBMaster& master, int tries, const std::function<bool()>& stopped) {
  Modbus::Request::ArchPoints request;
  ArchiveSizeAnswer answer;
  for (int i = 0; i < tries; ++i) {
    if (stopped && stopped()) break;
    // A fresh response each time: a count is never read from the bytes of an
    // earlier try that failed.
    Modbus::Response::ArchPoints response;
    master.send(request);
    const int r = master.receive(response);
    answer.lastResult = r;
    // Silence is no answer, never an empty archive: asked again as well, on
    // a quiet line, so that a gauge late on a busy computer is given the
    // time of a reply wait more before each try.
    if (r < 0) {
      LOG_ERR("error code = ", r);
      master.resynchronise();
      continue;
    }
    if (r > 128) {
      LOG_ERR("Exception with function code: ", r, " and exception code: ", master.exception().code());
      continue;
    }
    if (!response.wellFormed()) {
      LOG_ERR(unexpectedReplyText(r, response.size()));
      master.resynchronise();
      continue;
    }
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

std::string unexpectedReplyText(int function, std::size_t bytes) {
  return "Unexpected reply: function code " + std::to_string(function) + ", " + std::to_string(bytes) + " bytes";
}

}  // namespace korsi
