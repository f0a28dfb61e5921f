#pragma once
// The archive reading: fetches measurements first to last from the gauge, one
// exchange at a time in ascending order, and has each added as a row of the
// archive table while the progress window follows. A number is never skipped:
// checksum or framing faults and answers for another number ask again at
// once; the reading ends at the last number, at number 0, at an exception
// reply, when the gauge stops answering, or at Cancel.

#include <cstdint>
#include <memory>

#include "instrument/meash.h"
#include "instrument/thread_worker.h"
#include "instrument/worker_view.h"

namespace Modbus {
class MBMaster;
}

namespace korsi {

inline constexpr const char* kTransferFailedText = "Сбой при передаче данных. Попробуйте перезапустить программу.";

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
  ~ReadMeashsThread() override;

  // The worker's body.
  void Execute();

  std::int32_t first() const noexcept { return first_; }
  std::int32_t last() const noexcept { return last_; }

 private:
  ReadMeashsThread(Modbus::MBMaster& master, ReadRange range, WorkerView& view, std::shared_ptr<HandOver> handOver);
  void body() override;
  void notifyEnd();

  Modbus::MBMaster& master_;
  WorkerView& view_;
  std::int32_t num_ = 0;  // the number being fetched
  std::int32_t first_;
  std::int32_t last_;
  Meash m_{};
};

}  // namespace korsi
