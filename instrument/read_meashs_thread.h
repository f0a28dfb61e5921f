#pragma once
// The archive reading: fetches measurements first to last from the gauge, one
// exchange at a time in ascending order, and has each added as a row of the
// archive table while the progress window follows. For the whole archive it
// first asks the gauge how many measurements it holds, under the same
// progress window and Cancel. A number is never skipped:
// checksum or framing faults and answers of another shape or number ask again
// once the line is quiet, up to kTriesPerNumber times in a row (and no more
// than kSilentTriesPerNumber times without an answer); the reading ends at the
// last number, at number 0, at an exception reply (with a box), when the gauge
// stops answering or keeps failing, or at Cancel.

#include <cstdint>
#include <memory>
#include <string>

#include "instrument/meash.h"
#include "instrument/thread_worker.h"
#include "instrument/worker_view.h"

namespace Modbus {
class MBMaster;
}

namespace korsi {

inline constexpr const char* kTransferFailedText = "Сбой при передаче данных. Попробуйте перезапустить программу.";
// Told when the whole archive was asked for and the gauge holds nothing;
// the rows on show stay.
inline constexpr const char* kNoMeasurementsText = "В приборе нет измерений";
inline constexpr const char* kNoMeasurementsCaption = "Внимание";

// The largest measurement number the gauge holds: its numbers are 16 bits,
// and a larger one is never sent cut to them.
inline constexpr std::int32_t kLastMeasurementNumber = 65535;

// Tries of one number that fail in a row (checksum or framing faults, replies
// of another shape or number) before the reading ends as a lost connection.
inline constexpr int kTriesPerNumber = 20;
// Tries of one number in a row that meet a silent gauge before the reading
// ends as a lost connection: one reply missed on a busy computer is asked
// again, a gauge that has gone quiet is given up within a fraction of a second.
inline constexpr int kSilentTriesPerNumber = 5;

// The box after the gauge refused measurement num with exceptionCode.
std::string refusedMeasurementText(std::int32_t num, int exceptionCode);

// The first and last numbers of a read command's two numbers a and b: from
// the smaller of the two (compared as unsigned 32-bit numbers) up to b, so a
// range entered backwards reads b alone.
struct ReadRange {
  std::int32_t first = 1;
  std::int32_t last = 1;
  static ReadRange of(std::int32_t a, std::int32_t b);
};

// (current - first + 1) * 100 / (last - first + 1): 100 with the last row.
int readingProgress(std::int32_t current, std::int32_t first, std::int32_t last);

class ReadMeashsThread final : public ThreadWorker {
 public:
  // Creates the worker for range and starts its body.
  static std::shared_ptr<ReadMeashsThread> start(Modbus::MBMaster& master, ReadRange range, WorkerView& view,
                                                 std::shared_ptr<HandOver> handOver);
  // Creates the worker for the whole archive and starts its body: it asks
  // the archive size (askArchiveSize), then reads 1 to that size. A gauge
  // that gives no size gets the box kTransferFailedText; an empty archive
  // leaves the rows as they are and says kNoMeasurementsText.
  static std::shared_ptr<ReadMeashsThread> startWholeArchive(Modbus::MBMaster& master, WorkerView& view,
                                                             std::shared_ptr<HandOver> handOver);
  ~ReadMeashsThread() override;

  // The worker's body.
  void Execute();

  std::int32_t first() const noexcept { return first_; }
  std::int32_t last() const noexcept { return last_; }

 private:
  ReadMeashsThread(Modbus::MBMaster& master, ReadRange range, bool wholeArchive, WorkerView& view,
                   std::shared_ptr<HandOver> handOver);
  void body() override;
  // The whole archive's size into first_ and last_; false when the reading
  // ends there (no size, an empty archive, Cancel), having said why.
  bool askSize();
  void notifyEnd();
  // Logs the lost connection, ends the reading with the read commands off
  // until a new search, and shows the box.
  void connectionLost();

  Modbus::MBMaster& master_;
  WorkerView& view_;
  std::int32_t num_ = 0;  // the number being fetched
  std::int32_t first_;
  std::int32_t last_;
  bool wholeArchive_;
  Meash m_{};
};

}  // namespace korsi
