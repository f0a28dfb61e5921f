// korsi7-transfer and the files already in the user's folder, run as a user
// runs it against the simulated gauge on a real pseudo-terminal: a read that
// gets no row leaves the output file as it was, a read that gets rows
// replaces it keeping its permissions, no other file beside it is touched,
// and numbers past the end of the archive are named, not asked.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "instrument/meash_date.h"
#include "storage/recordset/data_file.h"
#include "tests/support/tempdir.h"
#include "tests/support/workbook_cells.h"
#include "tests/support/transfer_messages.h"
#include "tests/tools/transfer/transfer_program.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"
#include "storage/export/csv_writer.h"

namespace {

namespace fs = std::filesystem;
using korsi::ArchiveRow;
using korsi::test::readFile;
using korsi::test::TempDir;
using korsi::test::TransferProgram;
using korsi::test::writeFile;
using Args = std::vector<std::string>;

// The files of the test itself: the configuration and the program's own
// standard output and error.
bool isTestsOwn(const std::string& name) {
  return name == "kestro.conf" || name == "program.out" || name == "program.err";
}

mode_t modeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}


class OutputFile : public ::testing::Test {
 protected:
  // The gauge on COM200, named in kestro.conf.
  void startGauge(std::size_t count, korsi::sim::GaugeFaults faults = {}) {
    archive_ = korsi::sim::generateArchive(count, 3);
    korsi::sim::SimulatorConfig config;
    config.archive = archive_;
    config.faults = faults;
    gauge_ = std::make_unique<korsi::sim::GaugeSimulator>(config);
    gauge_->start();
    writeFile(dir_.file("kestro.conf"), "default_comport 200\nCOM200 " + gauge_->devicePath() + "\n");
  }

  int run(Args args) {
    for (std::string& a : args) {
      if (a.starts_with("<dir>")) a = dir_.path().string() + a.substr(5);
    }
    program_ = std::make_unique<TransferProgram>(dir_.path().string(), std::move(args));
    return program_->exitStatus();
  }

  // The folder's files and their bytes (links as "-> target"), the test's
  // own aside.
  std::vector<std::string> folder() const {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      const std::string name = entry.path().filename().string();
      if (isTestsOwn(name)) continue;
      files.push_back(name + ": " +
                      (entry.is_symlink() ? "-> " + fs::read_symlink(entry.path()).string() : readFile(entry.path())));
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  std::vector<ArchiveRow> expectedRows(int first, int last) const {
    std::vector<ArchiveRow> rows;
    for (int n = first; n <= last; ++n) {
      const Meash& m = archive_[static_cast<std::size_t>(n - 1)];
      ArchiveRow row;
      row.num = m.num;
      row.date = korsi::meashDate(m);
      row.h = static_cast<double>(m.h);
      rows.push_back(row);
    }
    return rows;
  }

  TempDir dir_;
  std::vector<Meash> archive_;
  std::unique_ptr<korsi::sim::GaugeSimulator> gauge_;
  std::unique_ptr<TransferProgram> program_;
};

korsi::sim::GaugeFaults noFaults() { return {}; }

korsi::sim::GaugeFaults refusing(std::uint8_t function, std::uint8_t code) {
  korsi::sim::GaugeFaults faults;
  faults.exceptions[function] = code;
  return faults;
}

korsi::sim::GaugeFaults silentAfter(std::uint64_t replies) {
  korsi::sim::GaugeFaults faults;
  faults.silentAfter = replies;
  return faults;
}

korsi::sim::GaugeFaults everyAnswerLate() {
  korsi::sim::GaugeFaults faults;
  faults.lateRate = 1.0;
  return faults;
}

// ---- a read that gets no row

struct NothingReadCase {
  const char* name;
  bool gauge;  // false: no device on the port
  korsi::sim::GaugeFaults faults;
  Args args;
  int exitStatus;
  const char* named;  // in the failure line
};

std::ostream& operator<<(std::ostream& out, const NothingReadCase& c) { return out << c.name; }

class NothingRead : public OutputFile, public ::testing::WithParamInterface<NothingReadCase> {};

TEST_P(NothingRead, LeavesEveryFileInTheFolderAsItWas) {
  const NothingReadCase& c = GetParam();
  // The user's files: an earlier archive, a file of the name the program
  // once used for its temporary, each with permissions of its own.
  for (const char* name : {"out.csv", "out.csv.tmp", "out.ks", "out.ks.tmp"}) {
    writeFile(dir_.file(name), std::string("the user's ") + name + "\n1,2009-03-09T06:22:05,0.215,\n");
    ASSERT_EQ(::chmod(dir_.file(name).c_str(), 0640), 0);
  }
  const auto before = folder();
  for (const char* output : {"out.csv", "out.ks", "-"}) {
    // A gauge of its own for each run: a silent one stays silent.
    if (c.gauge) startGauge(20, c.faults);
    Args args = c.args;
    args.insert(args.end(), {"-o", output});
    ASSERT_EQ(run(args), c.exitStatus) << output << "\n" << program_->err();
    const auto lines = korsi::test::transferMessageLines(program_->err());
    ASSERT_FALSE(lines.empty()) << program_->err();
    EXPECT_NE(lines.front().find(c.named), std::string::npos) << lines.front();
    EXPECT_EQ(folder(), before) << output;
    EXPECT_EQ(program_->out(), "") << output;
  }
  for (const char* name : {"out.csv", "out.csv.tmp", "out.ks", "out.ks.tmp"}) {
    EXPECT_EQ(modeOf(dir_.file(name)), 0640u) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NothingRead,
    ::testing::Values(
        NothingReadCase{"NoGauge", false, noFaults(), {"read", "--port", "<dir>/gone"}, 3, "gone"},
        // The search's echo only: the archive-size question gets no answer.
        NothingReadCase{"SizeNotSaid", true, silentAfter(1), {"read", "--port", "200"}, 4, "archive size"},
        // The search's echo and archive size, the reading's archive size;
        // then nothing, from the first measurement on.
        NothingReadCase{"SilentAtTheFirstMeasurement", true, silentAfter(3), {"read", "--port", "200"}, 4,
                        "no answer for measurement 1 "},
        NothingReadCase{"FirstMeasurementRefused", true, refusing(6, 2), {"read", "--range", "1-5", "--port", "200"},
                        4, "refused measurement 1 (exception code 2)"},
        NothingReadCase{"RangeWhollyPastTheEnd", true, noFaults(), {"read", "--range", "30-40", "--port", "200"}, 4,
                        "the archive ends at measurement 20; measurements 30-40 are not in it"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every answer comes after the master gave up. Whether an answer then lands
// in the wait for a request asked again depends on the timing; what never
// happens is a read that ends well with fewer rows than the archive holds
// (once: a header-only file and status 0), or a row that is not the gauge's.
TEST_F(OutputFile, OnlyLateAnswersNeverMakeAShortArchive) {
  constexpr int kCount = 6;
  for (const bool fast : {true, false}) {
    SCOPED_TRACE(fast ? "fast exchange" : "fixed timing");
    startGauge(kCount, everyAnswerLate());
    Args args{"read", "--all", "--port", "200", "-o", "out.csv"};
    if (fast) args.push_back("--fast");
    const int status = run(args);
    ASSERT_TRUE(status == 0 || status == 3 || status == 4) << status << "\n" << program_->err();
    if (!fs::exists(dir_.file("out.csv"))) {
      EXPECT_NE(status, 0) << "a read that ends well writes its file";
      continue;
    }
    // The file holds measurements 1 to k of the gauge, all of them when the read ended well.
    const std::string written = readFile(dir_.file("out.csv"));
    int rows = -1;
    for (int k = 1; k <= kCount; ++k) {
      if (written == korsi::csv::csvText(expectedRows(1, k))) rows = k;
    }
    EXPECT_NE(rows, -1) << written;
    if (status == 0) {
      EXPECT_EQ(rows, kCount) << written;
    }
    fs::remove(dir_.file("out.csv"));
  }
}

// ---- a read that gets rows

struct ReplacedCase {
  const char* name;
  const char* output;  // as given to -o
  const char* file;    // the real file written: output, or where its link points
  mode_t mode;
};

std::ostream& operator<<(std::ostream& out, const ReplacedCase& c) { return out << c.name; }

class Replaced : public OutputFile, public ::testing::WithParamInterface<ReplacedCase> {};

TEST_P(Replaced, TakesTheNewRowsKeepsThePermissionsAndTouchesNothingElse) {
  const ReplacedCase& c = GetParam();
  startGauge(20);
  const std::string output = dir_.file(c.output);
  const std::string file = dir_.file(c.file);
  writeFile(file, "the user's earlier file");
  ASSERT_EQ(::chmod(file.c_str(), c.mode), 0);
  if (output != file) fs::create_symlink(c.file, output);
  for (const std::string& name : {output + ".tmp", file + ".tmp"}) writeFile(name, "the user's own " + name);
  auto expectedFolder = folder();

  ASSERT_EQ(run({"read", "--range", "2-4", "--port", "200", "-o", c.output}), 0) << program_->err();
  const std::vector<ArchiveRow> rows = expectedRows(2, 4);
  const std::string written = readFile(file);
  if (std::string(c.file).ends_with(".csv")) {
    EXPECT_EQ(written, korsi::csv::csvText(rows));
  } else if (std::string(c.file).ends_with(".xlsx")) {
    const auto cells = korsi::test::readWorkbookCells(file);
    ASSERT_TRUE(cells.error.empty()) << cells.error;
    EXPECT_EQ(cells.lines.size(), 4u + 3u * rows.size());  // the titles, then number, date and thickness
  } else {
    const auto data = korsi::recordset::readDataFile(file);
    ASSERT_TRUE(data.ok()) << data.error;
    EXPECT_TRUE(data.rows == rows);
  }
  EXPECT_EQ(modeOf(file), c.mode);
  EXPECT_TRUE(output == file || fs::is_symlink(output)) << "the link stays a link";
  // Only the real file has changed.
  for (std::string& entry : expectedFolder) {
    if (entry.starts_with(std::string(c.file) + ": ")) entry = std::string(c.file) + ": " + written;
  }
  EXPECT_EQ(folder(), expectedFolder);
}

INSTANTIATE_TEST_SUITE_P(Formats, Replaced,
                         ::testing::Values(ReplacedCase{"Csv", "out.csv", "out.csv", 0600},
                                           ReplacedCase{"Ks", "out.ks", "out.ks", 0640},
                                           ReplacedCase{"Xml", "out.xml", "out.xml", 0604},
                                           ReplacedCase{"Xlsx", "out.xlsx", "out.xlsx", 0660},
                                           ReplacedCase{"CsvThroughALink", "link.csv", "real.csv", 0620}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- numbers past the end of the archive

struct PastTheEndCase {
  const char* name;
  std::size_t archive;  // measurements the gauge holds
  Args numbers;
  const char* said;
  int first;  // the rows written, first to last; none when last is 0
  int last;
};

std::ostream& operator<<(std::ostream& out, const PastTheEndCase& c) { return out << c.name; }

class PastTheEnd : public OutputFile, public ::testing::WithParamInterface<PastTheEndCase> {};

TEST_P(PastTheEnd, SaysWhereTheArchiveEndsAndWritesTheRowsItHolds) {
  const PastTheEndCase& c = GetParam();
  startGauge(c.archive);
  Args args{"read", "--port", "200", "-o", "out.csv"};
  args.insert(args.begin() + 1, c.numbers.begin(), c.numbers.end());
  ASSERT_EQ(run(args), 4) << program_->err();
  const auto lines = korsi::test::transferMessageLines(program_->err());
  ASSERT_FALSE(lines.empty()) << program_->err();
  EXPECT_EQ(lines.front(), "korsi7-transfer: COM200 (" + gauge_->devicePath() + "): " + c.said);
  // Only numbers the gauge holds are asked: it never had to refuse one.
  EXPECT_EQ(program_->err().find("refused"), std::string::npos) << program_->err();
  if (c.last == 0) {
    EXPECT_FALSE(fs::exists(dir_.file("out.csv")));
  } else {
    EXPECT_EQ(readFile(dir_.file("out.csv")), korsi::csv::csvText(expectedRows(c.first, c.last)));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PastTheEnd,
    ::testing::Values(
        PastTheEndCase{"RangeOverTheEnd", 20, {"--range", "18-25"},
                       "the archive ends at measurement 20; measurements 21-25 are not in it", 18, 20},
        PastTheEndCase{"RangeOneOverTheEnd", 20, {"--range", "20-21"},
                       "the archive ends at measurement 20; measurement 21 is not in it", 20, 20},
        PastTheEndCase{"NumberPastTheEnd", 20, {"--number", "21"},
                       "the archive ends at measurement 20; measurement 21 is not in it", 0, 0},
        PastTheEndCase{"EmptyArchive", 0, {"--range", "1-3"}, "the archive is empty; measurements 1-3 are not in it",
                       0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
