#include "tools/soak/soak.h"

#include <memory>
#include <mutex>
#include <sstream>
#include <tuple>
#include <vector>

#include "instrument/hand_over.h"
#include "instrument/read_meashs_thread.h"
#include "instrument/worker_view.h"
#include "link/comm_port.h"
#include "link/modbus_master.h"
#include "link/port_resolver.h"
#include "simulator/gauge_archive.h"

namespace korsi::soak {

namespace {

constexpr std::int32_t kPort = 1;
// Readings in a row that add no row before the soak counts as stuck.
constexpr int kFruitlessReadings = 20;

// The window's side of the reading: keeps the rows, notes the lost connection.
class SoakView final : public WorkerView {
 public:
  void showProgress() override {}
  void setProgress(int) override {}
  void closeProgress() override {}
  void setCommandsEnabled(CommandGroup, bool) override {}
  void setStatusText(const std::string&) override {}
  void setCaption(const std::string&) override {}
  // Every row is kept across the readings: each resumes after the last row.
  void clearRows() override {}
  void addRow(const Meash& meash) override {
    std::lock_guard lock(mutex_);
    rows_.push_back(meash);
  }
  void showMessage(const std::string& text, const std::string&, MessageIcon) override {
    std::lock_guard lock(mutex_);
    if (text == kTransferFailedText) ++connectionLosses_;
  }
  void endProgram(int) override {}

  std::vector<Meash> rows() const {
    std::lock_guard lock(mutex_);
    return rows_;
  }
  std::size_t rowCount() const {
    std::lock_guard lock(mutex_);
    return rows_.size();
  }
  std::size_t connectionLosses() const {
    std::lock_guard lock(mutex_);
    return connectionLosses_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Meash> rows_;
  std::size_t connectionLosses_ = 0;
};

auto fields(const Meash& m) { return std::tie(m.num, m.sec, m.min, m.hour, m.day, m.month, m.year, m.h); }

// Compares the rows with the archive: each number once, in order, same values.
void judge(const std::vector<Meash>& rows, const std::vector<Meash>& archive, SoakFigures& figures) {
  std::vector<int> seen(archive.size() + 1, 0);
  std::size_t highest = 0;
  auto note = [&figures](std::size_t position, const Meash& row, const char* what) {
    if (!figures.firstLoss.empty()) return;
    std::ostringstream text;
    text << "row " << position + 1 << " (number " << row.num << ", " << static_cast<int>(row.day) << "."
         << static_cast<int>(row.month) << "." << 2000 + row.year << " " << static_cast<int>(row.hour) << ":"
         << static_cast<int>(row.min) << ":" << static_cast<int>(row.sec) << ", h " << row.h << "): " << what;
    figures.firstLoss = text.str();
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Meash& row = rows[i];
    const std::size_t n = row.num;
    if (n == 0 || n > archive.size()) {
      ++figures.wrongValues;
      note(i, row, "no such number");
      continue;
    }
    if (++seen[n] > 1) {
      ++figures.duplicates;
      note(i, row, "came before");
    }
    if (n < highest) {
      ++figures.outOfOrder;
      note(i, row, "out of order");
    }
    highest = std::max(highest, n);
    if (fields(row) != fields(archive[n - 1])) {
      ++figures.wrongValues;
      const Meash& other = archive[n - 1];
      const bool ofPrevious = n >= 2 && std::tie(row.sec, row.min, row.hour, row.day, row.month, row.year, row.h) ==
                                            std::tie(archive[n - 2].sec, archive[n - 2].min, archive[n - 2].hour,
                                                     archive[n - 2].day, archive[n - 2].month, archive[n - 2].year,
                                                     archive[n - 2].h);
      note(i, row, ofPrevious ? "the values of the measurement before it"
                   : other.h != row.h ? "other values than the gauge holds"
                                      : "another date than the gauge holds");
    }
  }
  for (std::size_t n = 1; n <= archive.size(); ++n) figures.missing += seen[n] == 0;
}

}  // namespace

sim::GaugeFaults combinedFaults() {
  sim::GaugeFaults f;
  f.crcFaultRate = 0.10;
  f.wrongNumRate = 0.05;
  f.strayRate = 0.02;
  f.strayBytes = 4;
  f.pauseMidReply = std::chrono::milliseconds(10);
  f.splitRate = 0.02;
  f.lateRate = 0.01;
  f.lateBy = std::chrono::milliseconds(100);
  return f;
}

sim::GaugeFaults slowGaugeFaults() {
  sim::GaugeFaults f = combinedFaults();
  f.delay = std::chrono::milliseconds(25);
  f.pauseMidReply = std::chrono::milliseconds(20);
  return f;
}

SoakFigures runSoak(const SoakSettings& settings, const std::function<void(const SoakFigures&)>& progress) {
  const auto started = std::chrono::steady_clock::now();
  sim::SimulatorConfig config;
  config.archive = sim::generateArchive(settings.count, settings.seed);
  config.faults = settings.faults;
  config.seed = settings.seed;
  const std::vector<Meash> archive = config.archive;
  sim::GaugeSimulator gauge(config);
  gauge.start();

  SoakFigures figures;
  figures.count = settings.count;
  SoakView view;
  {
    PortResolver resolver;
    resolver.setPath(kPort, gauge.devicePath());
    TCommPort port(resolver);
    Modbus::MBMaster master(port);
    master.setFastExchange(settings.fastExchange);
    port.setPortNumber(kPort);
    port.setActive(true);

    auto handOver = std::make_shared<DirectHandOver>();
    std::int32_t next = 1;
    int fruitless = 0;
    while (next <= static_cast<std::int32_t>(settings.count)) {
      const std::size_t before = view.rowCount();
      auto worker = ReadMeashsThread::start(master, ReadRange::of(next, static_cast<std::int32_t>(settings.count)),
                                            view, handOver);
      worker->wait();
      ++figures.readings;
      const std::vector<Meash> rows = view.rows();
      figures.rowsRead = rows.size();
      figures.connectionLosses = view.connectionLosses();
      if (progress) progress(figures);
      if (rows.size() == before) {
        if (++fruitless == kFruitlessReadings) {
          figures.stuck = true;
          break;
        }
        continue;
      }
      fruitless = 0;
      next = static_cast<std::int32_t>(rows.back().num) + 1;
    }
    figures.lateLooks = master.lateLooks();
  }
  gauge.stop();
  figures.gauge = gauge.counters();
  judge(view.rows(), archive, figures);
  figures.elapsed = std::chrono::steady_clock::now() - started;
  return figures;
}

std::string describe(const SoakFigures& f) {
  std::ostringstream out;
  const auto& g = f.gauge;
  const auto& x = g.faults;
  out << "measurements in the archive: " << f.count << "\n"
      << "measurements read:           " << f.rowsRead << "\n"
      << "readings (lost connection):  " << f.readings << " (" << f.connectionLosses << ")\n"
      << "requests seen by the gauge:  " << g.requestsSeen << "\n"
      << "replies sent:                " << g.repliesSent << "\n"
      << "faults injected:             " << (x.crcFaults + x.wrongNumbers + x.splitReplies + x.lateReplies + x.strayBursts)
      << " (checksum " << x.crcFaults << ", wrong number " << x.wrongNumbers << ", split " << x.splitReplies
      << ", late " << x.lateReplies << ", stray bytes " << x.strayBursts << ")\n"
      << "losses:                      " << f.losses() << " (missing " << f.missing << ", duplicates " << f.duplicates
      << ", out of order " << f.outOfOrder << ", wrong values " << f.wrongValues << ")"
      << (f.stuck ? ", readings stopped making progress" : "") << "\n"
      << (f.firstLoss.empty() ? "" : "first loss:                  " + f.firstLoss + "\n")
      << "replies found by a last look: " << f.lateLooks << "\n"
      << "time:                        " << f.elapsed.count() << " s ("
      << (f.rowsRead > 0 ? 1000.0 * f.elapsed.count() / static_cast<double>(f.rowsRead) : 0.0)
      << " ms per measurement)\n";
  return out.str();
}

}  // namespace korsi::soak
