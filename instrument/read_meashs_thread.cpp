#include "instrument/read_meashs_thread.h"

#include <algorithm>

#include "instrument/archive_size.h"
#include "instrument/gauge_messages.h"
#include "link/modbus_master.h"

namespace korsi {

ReadRange ReadRange::of(std::int32_t a, std::int32_t b) {
  const auto ua = static_cast<std::uint32_t>(a);
  const auto ub = static_cast<std::uint32_t>(b);
  return {static_cast<std::int32_t>(std::min(ua, ub)), b};
}

int readingProgress(std::int32_t current, std::int32_t first, std::int32_t last) {
  // In 64 bits: a range across the whole 32-bit span must not overflow.
  const std::int64_t done = std::int64_t{current} - first + 1;
  const std::int64_t total = std::int64_t{last} - first + 1;
  if (total <= 0) return 100;
  return static_cast<int>(done * 100 / total);
}

std::shared_ptr<ReadMeashsThread> ReadMeashsThread::start(Modbus::MBMaster& master, ReadRange range,
                                                          WorkerView& view, std::shared_ptr<HandOver> handOver) {
  std::shared_ptr<ReadMeashsThread> worker(new ReadMeashsThread(master, range, false, view, std::move(handOver)));
  worker->ThreadWorker::start();
  return worker;
}

std::shared_ptr<ReadMeashsThread> ReadMeashsThread::startWholeArchive(Modbus::MBMaster& master, WorkerView& view,
                                                                      std::shared_ptr<HandOver> handOver) {
  std::shared_ptr<ReadMeashsThread> worker(new ReadMeashsThread(master, {}, true, view, std::move(handOver)));
  worker->ThreadWorker::start();
  return worker;
}

ReadMeashsThread::ReadMeashsThread(Modbus::MBMaster& master, ReadRange range, bool wholeArchive, WorkerView& view,
                                   std::shared_ptr<HandOver> handOver)
    : ThreadWorker(std::move(handOver)),
      master_(master),
      view_(view),
      first_(range.first),
      last_(range.last),
      wholeArchive_(wholeArchive) {}

ReadMeashsThread::~ReadMeashsThread() { stopAndJoin(); }

void ReadMeashsThread::body() { Execute(); }

void ReadMeashsThread::notifyEnd() {
  handOver([&view = view_] { view.closeProgress(); view.setCommandsEnabled(CommandGroup::Reading, true); });
}

void ReadMeashsThread::connectionLost() {
  WORKER_ERR("Connection lost");
  // The end and the lost connection in one step: no command can be clicked
  // between the read commands coming back and going away again.
  if (!handOver([&view = view_] {
        view.closeProgress();
        view.setCommandsEnabled(CommandGroup::Reading, true);
        view.setCommandsEnabled(CommandGroup::Read, false);
      })) {
    return;
  }
  handOver([&view = view_] { view.showMessage(kTransferFailedText, "Ошибка", MessageIcon::Error); });
}

bool ReadMeashsThread::askSize() {
  // On this thread, under the progress window: a gauge that keeps faulting
  // on a noisy line holds the reading, never the window, and Cancel ends it.
  const ArchiveSizeAnswer size = askArchiveSizeAnswer(master_, kArchiveSizeTries, [this] { return stopRequested(); });
  if (stopRequested()) return false;
  if (!size.count) {
    // Silence is never an empty archive: the gauge gave no size to trust.
    notifyEnd();
    handOver([&view = view_] { view.showMessage(kTransferFailedText, "Ошибка", MessageIcon::Error); });
    return false;
  }
  if (*size.count == 0) {
    WORKER_ERR("Номер измерения равен нулю");
    notifyEnd();
    handOver([&view = view_] { view.showMessage(kNoMeasurementsText, kNoMeasurementsCaption, MessageIcon::None); });
    return false;
  }
  first_ = 1;
  last_ = *size.count;
  return true;
}

void ReadMeashsThread::Execute() {
  Modbus::Request::MeashPoint request;
  Modbus::Response::MeashPoint response;
  if (!handOver([&view = view_, whole = wholeArchive_] {
        view.showProgress();
        if (whole) view.setProgress(0);
        view.setCommandsEnabled(CommandGroup::Reading, false);
      })) {
    return;
  }
  if (wholeArchive_ && !askSize()) return;
  // The rows of an earlier reading go only now that this one reads.
  if (!handOver([&view = view_] { view.clearRows(); })) return;
  num_ = first_;
  int failures = 0;  // failed tries of the current number in a row
  int silences = 0;  // of them, tries that met a silent gauge
  // A failed try leaves the master waiting for a quiet line before the next
  // request, so a late or repeated reply is never taken for this number's.
  // After a silence too: the wait is the reading's patience with a gauge
  // (or a port's reader) late on a busy computer, a tenth of a second a try.
  const auto failed = [&] {
    master_.resynchronise();
    if (++failures < kTriesPerNumber && silences < kSilentTriesPerNumber) return false;
    WORKER_ERR("Измерение ", num_, ": нет верного ответа после ", failures, " попыток");
    connectionLost();
    return true;
  };
  while (num_ <= last_) {
    if (stopRequested()) return;
    if (num_ == 0) {
      WORKER_ERR("Номер измерения равен нулю");
      notifyEnd();
      return;
    }
    if (num_ < 0 || num_ > kLastMeasurementNumber) {
      // Cut to 16 bits it would ask for another measurement.
      WORKER_ERR("Номер измерения вне 1-", kLastMeasurementNumber, ": ", num_);
      notifyEnd();
      return;
    }
    request.setNum(static_cast<std::uint16_t>(num_));
    master_.send(request);
    const int r = master_.receive(response);
    if (stopRequested()) return;  // the answer of a cancelled reading is dropped
    if (r < 0 && r != Modbus::Result::kNoReply) {
      WORKER_ERR("error code = ", r);
      if (failed()) return;
      continue;
    }
    if (r > 128) {
      const int code = master_.exception().code();
      WORKER_ERR("Exception with function code: ", r, " and exception code: ", code);
      notifyEnd();
      // The rows so far stay, but the table is shorter than asked: say why.
      handOver([&view = view_, text = refusedMeasurementText(num_, code)] {
        view.showMessage(text, "Ошибка", MessageIcon::Error);
      });
      return;
    }
    if (r == Modbus::Result::kNoReply) {
      WORKER_ERR("error code = ", r);
      ++silences;
      if (failed()) return;
      continue;
    }
    if (!response.wellFormed()) {
      WORKER_ERR(unexpectedReplyText(r, response.size()));
      if (failed()) return;
      continue;
    }
    getMeash(response, &m_);
    if (static_cast<std::int32_t>(m_.num) != num_) {
      WORKER_ERR("m.num != num");
      if (failed()) return;
      continue;
    }
    failures = 0;
    silences = 0;
    // Row, then progress, in one visit to the window's thread: the gauge
    // waits for the next request meanwhile.
    const int percent = readingProgress(num_, first_, last_);
    if (!handOver([&view = view_, meash = m_, percent] {
          view.addRow(meash);
          view.setProgress(percent);
        })) {
      return;
    }
    if (num_ == last_) break;  // last may be the largest number there is
    ++num_;
  }
  notifyEnd();
}

std::string refusedMeasurementText(std::int32_t num, int exceptionCode) {
  return "Прибор не выдал измерение № " + std::to_string(num) + " (код исключения " +
         std::to_string(exceptionCode) + "). Показаны измерения, принятые до него.";
}

}  // namespace korsi
