#include "tools/transfer/transfer_runner.h"

#include <algorithm>
#include <optional>
#include <string>

#include "instrument/archive_size.h"
#include "instrument/device_found_thread.h"
#include "instrument/hand_over.h"
#include "instrument/read_meashs_thread.h"
#include "storage/export/archive_workbook.h"
#include "tools/transfer/console_view.h"
#include "tools/transfer/output_file.h"
#include "tools/transfer/transfer_link.h"

namespace korsi::transfer {

namespace {

// "the archive ends at measurement 500; measurements 501-600 are not in it"
std::string pastTheEnd(std::int32_t end, std::int32_t first, std::int32_t last) {
  std::string line = end == 0 ? "the archive is empty" : "the archive ends at measurement " + std::to_string(end);
  if (first == last) return line + "; measurement " + std::to_string(first) + " is not in it";
  return line + "; measurements " + std::to_string(first) + "-" + std::to_string(last) + " are not in it";
}

class Run {
 public:
  Run(const TransferOptions& options, const RunStreams& streams, Interruption& interruption)
      : options_(options),
        streams_(streams),
        interruption_(interruption),
        progress_(streams.err, options.quiet ? ProgressStyle::Silent : streams.progress),
        view_(progress_) {}

  int find();
  int read();

 private:
  // A failure: always one line on standard error.
  int fail(int status, const std::string& line) {
    std::fprintf(streams_.err, "%s: %s\n", kProgramName, line.c_str());
    return status;
  }
  // A remark for the user, left out with --quiet.
  void note(const std::string& line) {
    if (!options_.quiet) std::fprintf(streams_.err, "%s: %s\n", kProgramName, line.c_str());
  }

  bool makeLink(int* status);
  // Finds the gauge with the device search (on the --port port alone when
  // given): its port number, or nothing with *status set and said.
  std::optional<std::int32_t> search(int* status);
  void await(const std::shared_ptr<StoppableWorker>& worker) {
    interruption_.follow(worker);
    worker->wait();
    interruption_.follow(nullptr);
  }
  int remember(std::int32_t port, int status);
  ArchiveSizeAnswer archiveSize();

  const TransferOptions& options_;
  const RunStreams& streams_;
  Interruption& interruption_;
  ProgressDisplay progress_;
  ConsoleView view_;
  std::unique_ptr<TransferLink> link_;
};

bool Run::makeLink(int* status) {
  Refusal refusal;
  link_ = TransferLink::make(options_, &refusal);
  if (!link_) *status = fail(refusal.exitStatus, refusal.message);
  return link_ != nullptr;
}

std::optional<std::int32_t> Run::search(int* status) {
  SearchLink search{link_->port(), link_->master(), link_->config(), link_->driver()};
  std::optional<std::int32_t> only;
  if (options_.port) only = link_->namePort(*options_.port);
  view_.expectSearch();
  auto handOver = std::make_shared<DirectHandOver>();
  std::shared_ptr<DeviceFoundThread> worker = only ? DeviceFoundThread::startOnPort(search, *only, view_, handOver)
                                                   : DeviceFoundThread::start(search, view_, handOver);
  await(worker);
  const std::optional<PortAccessRefusal> refusal = worker->accessRefusal();
  worker.reset();
  progress_.end();
  if (interruption_.interrupted()) {
    *status = fail(kExitInterrupted, "interrupted while searching for the gauge");
    return std::nullopt;
  }
  if (link_->port().isActive()) return link_->port().getPortNumber();
  if (refusal) {
    // The window's access box, in the tool's words.
    *status = fail(kExitNoGauge, link_->portLabel(refusal->port) + ": cannot open: permission denied; run `" +
                                     refusal->command() +
                                     "`, then log out and in again (the new group counts from the next login)");
  } else if (only) {
    const std::string& why = link_->port().lastOpenFailure();
    *status = fail(kExitNoGauge, link_->portLabel(*only) + ": " + (why.empty() ? "no gauge answered" : "cannot open: " + why));
  } else if (view_.endStatus()) {
    *status = fail(kExitNoGauge,
                   "no gauge found on the configured port, and the USB-serial converter's driver is not installed, "
                   "so no other port was tried; name the port with --port");
  } else {
    *status = fail(kExitNoGauge, "no gauge found (configured port, converter's ports, COM1-COM255)");
  }
  return std::nullopt;
}

int Run::remember(std::int32_t port, int status) {
  if (!options_.remember) return status;
  if (const std::string why = link_->rememberPort(port); !why.empty()) return fail(kExitOutputFailed, why);
  note("remembered " + link_->portLabel(port) + " as default_comport in " + link_->config().path());
  return status;
}

ArchiveSizeAnswer Run::archiveSize() {
  // Silence is asked again inside the question itself; a count comes only
  // from a reply of the archive-size shape.
  return askArchiveSizeAnswer(link_->master());
}

int Run::find() {
  int status = kExitDone;
  if (!makeLink(&status)) return status;
  const auto port = search(&status);
  if (!port) return status;
  const std::string label = link_->portLabel(*port);
  link_->port().purgeInput();
  link_->port().purgeOutput();
  const ArchiveSizeAnswer size = archiveSize();
  std::fprintf(streams_.out, "port: %s\n", label.c_str());
  if (size.count && size.lastResult != Modbus::Result::kNoReply) {
    std::fprintf(streams_.out, "measurements: %u\n", static_cast<unsigned>(*size.count));
  } else {
    status = fail(kExitConnectionLost, label + ": the gauge answered the search but not the archive-size question");
  }
  std::fflush(streams_.out);
  return remember(*port, status);
}

int Run::read() {
  const auto format = outputFormatFor(options_.output);
  if (!format) {
    return fail(kExitUsage, options_.output + ": unknown output format; name the file .csv, .ks, .xml or .xlsx");
  }
  // Said before the gauge is searched for, not after the whole archive was read.
  if (*format == OutputFormat::Xlsx && !canWriteWorkbooks()) {
    return fail(kExitUsage, options_.output +
                                ": this build cannot write .xlsx workbooks (built without libxlsxwriter); "
                                "name the file .csv, .ks or .xml");
  }
  int status = kExitDone;
  if (!makeLink(&status)) return status;
  if (const std::string why = probeOutput(options_.output); !why.empty()) {
    return fail(kExitOutputFailed, options_.output + ": cannot write: " + why);
  }
  const auto port = search(&status);
  if (!port) return status;
  const std::string label = link_->portLabel(*port);
  link_->port().purgeInput();
  link_->port().purgeOutput();

  ReadRange range = ReadRange::of(options_.first, options_.last);
  bool empty = false;
  if (options_.kind == ReadKind::All) {
    const ArchiveSizeAnswer size = archiveSize();
    if (size.lastResult == Modbus::Result::kNoReply) {
      // A silent gauge leaves a count of 0, which is no empty archive.
      status = fail(kExitConnectionLost, label + ": connection lost: the gauge did not say its archive size");
      empty = true;
    } else if (!size.count) {
      status = fail(kExitConnectionLost, label + ": every answer to the archive-size question was faulty or above 500");
      empty = true;
    } else if (*size.count == 0) {
      note(label + ": the archive is empty");
      empty = true;
    } else {
      range = ReadRange::of(1, *size.count);
    }
  } else {
    // A number past the end of the archive is no measurement of the gauge's:
    // only the numbers it holds are asked, and the rest is said. When the
    // size stays unknown the numbers are asked as given; the gauge refuses
    // those it does not hold.
    const ArchiveSizeAnswer size = archiveSize();
    if (size.lastResult != Modbus::Result::kNoReply && size.count && range.last > *size.count) {
      const std::int32_t end = *size.count;
      status = fail(kExitConnectionLost, label + ": " + pastTheEnd(end, std::max(range.first, end + 1), range.last));
      if (range.first > end) {
        empty = true;
      } else {
        range = ReadRange::of(range.first, end);
      }
    }
  }
  if (interruption_.interrupted()) return fail(kExitInterrupted, "interrupted before the reading began");

  std::int64_t expected = 0;
  if (!empty) {
    expected = std::int64_t{range.last} - range.first + 1;
    view_.expectReading(expected);
    await(ReadMeashsThread::start(link_->master(), range, view_, std::make_shared<DirectHandOver>()));
    progress_.end();
    const std::int64_t received = view_.received();
    const std::int64_t stoppedAt = range.first + received;
    if (interruption_.interrupted()) {
      status = fail(kExitInterrupted, "interrupted after " + std::to_string(received) + " of " +
                                          std::to_string(expected) + " measurements");
    } else if (view_.transferFailed()) {
      status = fail(kExitConnectionLost, label + ": connection lost: no answer for measurement " +
                                             std::to_string(stoppedAt) + " after " + std::to_string(received) +
                                             " of " + std::to_string(expected));
    } else if (received < expected) {
      status = fail(kExitConnectionLost, label + ": the gauge refused measurement " + std::to_string(stoppedAt) +
                                             " (exception code " +
                                             std::to_string(link_->master().exception().code()) + ")");
    }
  }
  if (!view_.refusedDates().empty()) {
    std::string numbers;
    for (const std::int32_t n : view_.refusedDates()) numbers += (numbers.empty() ? "" : ", ") + std::to_string(n);
    note("left out for a date that does not exist: measurement " + numbers);
  }
  if (status != kExitDone && view_.rows().empty()) {
    // Nothing was read: a file of the user's stays exactly as it was, and
    // no empty one is made.
    if (options_.output != kStandardOutput) note("no measurement read; " + options_.output + " not written");
    return remember(*port, status);
  }
  if (const std::string why = writeOutput(options_.output, *format, view_.rows(), streams_.out); !why.empty()) {
    return fail(kExitOutputFailed, options_.output + ": cannot write: " + why);
  }
  if (options_.output != kStandardOutput) {
    const std::size_t rows = view_.rows().size();
    note(std::to_string(rows) + (rows == 1 ? " measurement" : " measurements") + " from " + label + " written to " +
         options_.output);
  }
  return remember(*port, status);
}

}  // namespace

int runTransfer(const TransferOptions& options, const RunStreams& streams, Interruption& interruption) {
  Run run(options, streams, interruption);
  switch (options.command) {
    case Subcommand::Find: return run.find();
    case Subcommand::Read: return run.read();
  }
  return kExitUsage;
}

}  // namespace korsi::transfer
