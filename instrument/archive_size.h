#pragma once
// The whole-archive command's question to the gauge: how many measurements
// does the archive hold? Asked again on every fault, on an exception reply
// and on a count above 500, but only a bounded number of times, so that a
// gauge that keeps faulting cannot hold the window for good.

#include <cstdint>
#include <optional>

namespace Modbus {
class MBMaster;
}

namespace korsi {

// The largest archive the whole-archive command reads.
inline constexpr std::uint16_t kMaxArchiveSize = 500;
// Tries before the command gives up, as many as the search's echo attempts.
inline constexpr int kArchiveSizeTries = 10;

// Sends the archive-size request until an accepted count: a normal reply with
// a count of at most 500, or no reply at all (the count is then what the
// response holds: 0 when nothing, or nothing whole, was received). Logs
// "error code = ", "Exception with function code: ... and exception code: "
// and "Количество измерений > 500: " on the way, and "Количество измерений: "
// with the accepted count. Nothing when every try failed.
std::optional<std::uint16_t> askArchiveSize(Modbus::MBMaster& master, int tries = kArchiveSizeTries);

// The same question, with the master's result code of the last exchange
// besides the count: -6 (Modbus::Result::kNoReply) tells a count of 0 that
// came from a silent gauge apart from an empty archive.
struct ArchiveSizeAnswer {
  std::optional<std::uint16_t> count;
  int lastResult = 0;
};
ArchiveSizeAnswer askArchiveSizeAnswer(Modbus::MBMaster& master, int tries = kArchiveSizeTries);

}  // namespace korsi
