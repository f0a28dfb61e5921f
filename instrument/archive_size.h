#pragma once
// The whole-archive command's question to the gauge: how many measurements
// does the archive hold? Asked again on every fault, on an exception reply
// and on a count above 500, but only a bounded number of times, so that a
// gauge that keeps faulting cannot hold the window for good.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace Modbus {
class MBMaster;
}

namespace korsi {

// The largest archive the whole-archive command reads.
inline constexpr std::uint16_t kMaxArchiveSize = 500;
// Tries before the command gives up, as many as the search's echo attempts.
inline constexpr int kArchiveSizeTries = 10;

// Sends the archive-size request until an accepted count: a normal reply of
// the archive-size shape with a count of at most 500. Silence, faults,
// exception replies and replies of another shape are asked again (after the
// line has fallen quiet). Logs
// "error code = ", "Exception with function code: ... and exception code: "
// and "Количество измерений > 500: " on the way, and "Количество измерений: "
// with the accepted count. Nothing when every try failed.
std::optional<std::uint16_t> askArchiveSize(Modbus::MBMaster& master, int tries = kArchiveSizeTries);

// The same question, with the master's result code of the last exchange
// besides the count: when no count came, -6 (Modbus::Result::kNoReply) tells
// a gauge that stayed silent from one that answered wrongly. When stopped is
// given and says so before a try, the question ends there without a count.
struct ArchiveSizeAnswer {
  std::optional<std::uint16_t> count;
  int lastResult = 0;
};
ArchiveSizeAnswer askArchiveSizeAnswer(Modbus::MBMaster& master, int tries = kArchiveSizeTries,
                                       const std::function<bool()>& stopped = {});

// The log line for an accepted reply that is not the one asked for.
std::string unexpectedReplyText(int function, std::size_t bytes);

}  // namespace korsi
