// korsi7-transfer as a user runs it, against the simulated gauge on a real
// pseudo-terminal: what it finds, what it writes, and its exit statuses.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "instrument/meash_date.h"
#include "storage/recordset/data_file.h"
#include "tests/support/pty_peer.h"
#include "tests/support/tempdir.h"
#include "storage/export/csv_writer.h"
#include "tests/support/workbook_cells.h"
#include "tests/support/transfer_messages.h"
#include "tests/tools/transfer/transfer_program.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"

namespace korsi {
// A row as a test failure shows it.
inline void PrintTo(const ArchiveRow& row, std::ostream* out) {
  *out << (row.num ? std::to_string(*row.num) : "-") << " " << (row.date ? isoText(*row.date, 'T') : "-") << " "
       << (row.h ? std::to_string(*row.h) : "-") << " " << (row.prim ? *row.prim : "-");
}
}  // namespace korsi

namespace {

using korsi::ArchiveRow;
using korsi::test::readFile;
using korsi::test::TempDir;
using korsi::test::TransferProgram;
using korsi::test::writeFile;
using Args = std::vector<std::string>;

constexpr int kGaugePort = 200;

korsi::sim::GaugeFaults checksumFaults(double rate) {
  korsi::sim::GaugeFaults faults;
  faults.crcFaultRate = rate;
  return faults;
}

korsi::sim::GaugeFaults wrongNumbers(double rate) {
  korsi::sim::GaugeFaults faults;
  faults.wrongNumRate = rate;
  return faults;
}

korsi::sim::GaugeFaults silentAfter(std::uint64_t replies) {
  korsi::sim::GaugeFaults faults;
  faults.silentAfter = replies;
  return faults;
}

// Rows of a CSV text as the program writes them (gauge rows: no quoted fields).
std::optional<std::vector<ArchiveRow>> csvRows(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != "num,date,thickness_mm,note") return std::nullopt;
  std::vector<ArchiveRow> rows;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::istringstream cells(line + ",");
    for (std::string cell; std::getline(cells, cell, ',');) fields.push_back(cell);
    if (fields.size() != 4 || !fields[3].empty()) return std::nullopt;
    ArchiveRow row;
    row.num = std::stoi(fields[0]);
    row.date = korsi::parseIsoText(fields[1]);
    if (!row.date || fields[1].size() != 19) return std::nullopt;
    // The program writes the gauge's single-precision value.
    row.h = static_cast<double>(std::strtof(fields[2].c_str(), nullptr));
    rows.push_back(row);
  }
  // A whole file ends with its last line's end.
  if (!text.empty() && text.back() != '\n') return std::nullopt;
  return rows;
}


class Transfer : public ::testing::Test {
 protected:
  // The gauge with 500 measurements on COM200, which kestro.conf remembers;
  // every other number from 1 to 255 names a device that does not exist, so
  // a whole search passes them at once.
  void startGauge(korsi::sim::GaugeFaults faults = {}, bool nameGaugePort = true) {
    korsi::sim::SimulatorConfig config;
    config.archive = archive_;
    config.faults = faults;
    gauge_ = std::make_unique<korsi::sim::GaugeSimulator>(config);
    gauge_->start();
    writeConfig(kGaugePort, nameGaugePort);
  }

  void writeConfig(int defaultPort, bool nameGaugePort = true) {
    std::string text = "default_comport " + std::to_string(defaultPort) + "\n";
    if (nameGaugePort && gauge_) text += "COM" + std::to_string(kGaugePort) + " " + gauge_->devicePath() + "\n";
    for (int n = 1; n <= 255; ++n) {
      if (n != kGaugePort) text += "COM" + std::to_string(n) + " " + dir_.file("no-device-" + std::to_string(n)) + "\n";
    }
    writeFile(configPath(), text);
  }

  std::string configPath() const { return dir_.file("kestro.conf"); }
  std::string gaugePath() const { return gauge_->devicePath(); }
  std::string gaugeLabel() const { return "COM200 (" + gaugePath() + ")"; }
  std::uint64_t requestsSeen() const { return gauge_ ? gauge_->counters().requestsSeen : 0; }

  // The gauge's measurements first to last, as rows of the archive table.
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

  std::unique_ptr<TransferProgram> start(Args args) {
    return std::make_unique<TransferProgram>(dir_.path().string(), std::move(args));
  }
  int run(Args args) {
    program_ = start(std::move(args));
    return program_->exitStatus();
  }

  TempDir dir_;
  std::vector<Meash> archive_ = korsi::sim::generateArchive(500, 7);
  std::unique_ptr<korsi::sim::GaugeSimulator> gauge_;
  std::unique_ptr<TransferProgram> program_;
};

// ---- find

struct FindCase {
  const char* name;
  Args args;  // "<gauge>" stands for the gauge's device path
};

std::ostream& operator<<(std::ostream& out, const FindCase& c) { return out << c.name; }

class Find : public Transfer, public ::testing::WithParamInterface<FindCase> {};

TEST_P(Find, PrintsThePortAndTheArchiveSizeAndLeavesTheConfigurationAlone) {
  startGauge();
  const std::string configBefore = readFile(configPath());
  Args args = GetParam().args;
  for (std::string& a : args) {
    if (a == "<gauge>") a = gaugePath();
  }
  ASSERT_EQ(run(args), 0) << program_->err();
  EXPECT_EQ(program_->out(), "port: " + gaugeLabel() + "\nmeasurements: 500\n");
  EXPECT_EQ(readFile(configPath()), configBefore);
}

INSTANTIATE_TEST_SUITE_P(Ports, Find,
                         ::testing::Values(FindCase{"ConfiguredPort", {"find"}},
                                           FindCase{"PortNumber", {"find", "--port", "200"}},
                                           FindCase{"PortName", {"find", "--port=COM200"}},
                                           FindCase{"DevicePath", {"find", "--port", "<gauge>"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Transfer, FindOnAPathThatNoNumberNamesShowsThePath) {
  startGauge({}, /*nameGaugePort=*/false);
  ASSERT_EQ(run({"find", "--port", gaugePath()}), 0) << program_->err();
  EXPECT_EQ(program_->out(), "port: " + gaugePath() + "\nmeasurements: 500\n");
}

TEST_F(Transfer, RememberStoresThePortFoundAndKeepsTheOtherLines) {
  startGauge();
  writeConfig(5);
  // The lines of the configuration file, blank ones aside.
  auto lines = [this] {
    std::vector<std::string> out;
    std::istringstream in(readFile(configPath()));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty()) out.push_back(line);
    }
    return out;
  };
  std::vector<std::string> expected = lines();
  ASSERT_EQ(expected.front(), "default_comport 5");
  expected.front() = "default_comport\t200";
  ASSERT_EQ(run({"find", "--port", "200", "--remember"}), 0) << program_->err();
  EXPECT_TRUE(lines() == expected) << readFile(configPath()).substr(0, 200);
}

// ---- nothing found

// A port whose device is there but refuses the user: the window's access
// advice in the tool's words, and "no gauge". Root opens any file whatever
// its mode, so for root the tool runs as the user and group "nobody".
TEST_F(Transfer, FindOnAPortRefusingTheUserSaysWhichCommandGivesAccess) {
  writeConfig(17);
  const std::string device = dir_.file("ttyUSB0");
  korsi::test::writeFile(device, "");
  ASSERT_EQ(::chmod(device.c_str(), 0), 0);
  std::vector<std::string> runner;
  if (::geteuid() == 0) runner = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  program_ = std::make_unique<TransferProgram>(dir_.path().string(), Args{"find", "--port", device}, runner);
  ASSERT_EQ(program_->exitStatus(), 3) << program_->err();
  const auto lines = korsi::test::transferMessageLines(program_->err());
  ASSERT_EQ(lines.size(), 1u) << program_->err();
  EXPECT_NE(lines[0].find(device + ": cannot open: permission denied; run `sudo usermod -aG dialout $USER`, "
                                   "then log out and in again"),
            std::string::npos)
      << lines[0];
  EXPECT_EQ(program_->out(), "");
}

struct NotFoundCase {
  const char* name;
  Args args;          // "<dir>" stands for the test's folder, "<silent>" for a silent terminal
  const char* named;  // what the error line must name
};

std::ostream& operator<<(std::ostream& out, const NotFoundCase& c) { return out << c.name; }

class NothingFound : public Transfer, public ::testing::WithParamInterface<NotFoundCase> {};

TEST_P(NothingFound, ExitsWith3AndWritesNothing) {
  writeConfig(17);
  korsi::test::PtyPeer silent;
  Args args = GetParam().args;
  std::string named = GetParam().named;
  if (named == "<silent>") named = silent.devicePath();
  for (std::string& a : args) {
    if (a.starts_with("<dir>")) a = dir_.path().string() + a.substr(5);
    if (a == "<silent>") a = silent.devicePath();
  }
  ASSERT_EQ(run(args), 3) << program_->err();
  const auto lines = korsi::test::transferMessageLines(program_->err());
  ASSERT_EQ(lines.size(), 1u) << program_->err();
  EXPECT_NE(lines[0].find(named), std::string::npos) << lines[0];
  EXPECT_FALSE(std::filesystem::exists(dir_.file("out.csv")));
  EXPECT_EQ(program_->out(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NothingFound,
    ::testing::Values(NotFoundCase{"WholeSearch", {"find"}, "no gauge found"},
                      NotFoundCase{"MissingDevice", {"find", "--port", "<dir>/gone"}, "No such file or directory"},
                      NotFoundCase{"PortWithoutDevice", {"find", "--port", "300"}, "COM300"},
                      NotFoundCase{"SilentPortWhenFinding", {"find", "--port", "<silent>"}, "<silent>"},
                      NotFoundCase{"SilentPortWhenReading", {"read", "--port", "<silent>", "-o", "out.csv"}, "<silent>"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- read

struct WholeArchiveCase {
  const char* name;
  Args args;
  const char* file;
};

std::ostream& operator<<(std::ostream& out, const WholeArchiveCase& c) { return out << c.name; }

class ReadAll : public Transfer, public ::testing::WithParamInterface<WholeArchiveCase> {};

TEST_P(ReadAll, GivesTheGaugesArchive) {
  startGauge();
  ASSERT_EQ(run(GetParam().args), 0) << program_->err();
  const std::string path = dir_.file(GetParam().file);
  if (path.ends_with(".csv")) {
    const auto rows = csvRows(readFile(path));
    ASSERT_TRUE(rows);
    EXPECT_EQ(*rows, expectedRows(1, 500));
  } else {
    // As the window saves it, and as it loads it back.
    const auto file = korsi::recordset::readDataFile(path);
    ASSERT_TRUE(file.ok()) << file.error;
    EXPECT_EQ(file.rows, expectedRows(1, 500));
  }
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadAll,
    ::testing::Values(WholeArchiveCase{"CsvFoundBySearch", {"read", "--all", "-o", "out.csv"}, "out.csv"},
                      WholeArchiveCase{"KsOnNamedPort", {"read", "--port", "200", "-o", "out.ks"}, "out.ks"},
                      WholeArchiveCase{"CsvFast", {"read", "--fast", "-o", "out.csv"}, "out.csv"},
                      WholeArchiveCase{"KsFast", {"read", "--port", "200", "--fast", "-o", "out.ks"}, "out.ks"}),
    [](const auto& info) { return std::string(info.param.name); });

struct PartCase {
  const char* name;
  Args args;
  int first;
  int last;
  const char* file;  // empty: standard output
};

std::ostream& operator<<(std::ostream& out, const PartCase& c) { return out << c.name; }

class ReadPart : public Transfer, public ::testing::WithParamInterface<PartCase> {};

TEST_P(ReadPart, GivesThoseMeasurementsOnly) {
  startGauge();
  ASSERT_EQ(run(GetParam().args), 0) << program_->err();
  const std::string text = *GetParam().file ? readFile(dir_.file(GetParam().file)) : program_->out();
  const auto rows = csvRows(text);
  ASSERT_TRUE(rows) << text;
  EXPECT_EQ(*rows, expectedRows(GetParam().first, GetParam().last));
}

INSTANTIATE_TEST_SUITE_P(
    Parts, ReadPart,
    ::testing::Values(PartCase{"RangeToStandardOutput", {"read", "--range", "5-7", "-o", "-"}, 5, 7, ""},
                      PartCase{"OneNumber", {"read", "--number", "42", "--port", "200", "-o", "one.CSV"}, 42, 42, "one.CSV"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Transfer, ReadToXlsxGivesTheWindowsWorkbook) {
  startGauge();
  ASSERT_EQ(run({"read", "--range", "5-6", "--port", "200", "-o", "out.xlsx"}), 0) << program_->err();
  const auto cells = korsi::test::readWorkbookCells(dir_.file("out.xlsx"));
  ASSERT_TRUE(cells.error.empty()) << cells.error;
  std::vector<std::string> expected{"Лист1\tA1\ts\t№ измерения", "Лист1\tB1\ts\tДата/Время",
                                    "Лист1\tC1\ts\tТолщина, мм", "Лист1\tD1\ts\tПримечание"};
  int line = 2;
  for (const ArchiveRow& row : expectedRows(5, 6)) {
    const std::string at = std::to_string(line++);
    expected.push_back("Лист1\tA" + at + "\ts\t" + std::to_string(*row.num));
    expected.push_back("Лист1\tB" + at + "\ts\t" + korsi::shownText(*row.date));
    // The shortest decimal of the gauge's float, as the CSV writes it.
    expected.push_back("Лист1\tC" + at + "\tn\t" + korsi::csv::thicknessText(*row.h));
  }
  EXPECT_EQ(cells.lines, expected);
}

struct FaultCase {
  const char* name;
  korsi::sim::GaugeFaults faults;
};

std::ostream& operator<<(std::ostream& out, const FaultCase& c) { return out << c.name; }

class ReadThroughFaults : public Transfer, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ReadThroughFaults, GivesEveryNumberOnceInOrder) {
  startGauge(GetParam().faults);
  ASSERT_EQ(run({"read", "--range", "1-60", "--port", "200", "-o", "out.csv"}), 0) << program_->err();
  const auto rows = csvRows(readFile(dir_.file("out.csv")));
  ASSERT_TRUE(rows);
  EXPECT_EQ(*rows, expectedRows(1, 60));
  EXPECT_GT(requestsSeen(), 60u) << "the faults were never met";
}

INSTANTIATE_TEST_SUITE_P(Faults, ReadThroughFaults,
                         ::testing::Values(FaultCase{"ChecksumFaults", checksumFaults(0.25)},
                                           FaultCase{"WrongNumbers", wrongNumbers(0.25)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Transfer, GaugeFallingSilentExitsWith4AndWritesTheRowsSoFarWhole) {
  // The search's echo and two archive-size replies, then some 27 measurements.
  startGauge(silentAfter(30));
  ASSERT_EQ(run({"read", "--port", "200", "-o", "out.ks"}), 4) << program_->err();
  EXPECT_NE(program_->err().find("connection lost"), std::string::npos) << program_->err();
  const auto file = korsi::recordset::readDataFile(dir_.file("out.ks"));
  ASSERT_TRUE(file.ok()) << file.error;
  ASSERT_GE(file.rows.size(), 20u);
  ASSERT_LT(file.rows.size(), 30u);
  EXPECT_EQ(file.rows, expectedRows(1, static_cast<int>(file.rows.size())));
}

TEST_F(Transfer, GaugeRefusingAMeasurementExitsWith4AndWritesTheRowsBeforeIt) {
  // The gauge says its archive holds 502 measurements, but numbers beyond
  // the 500 it holds get the exception reply "illegal data address".
  korsi::sim::GaugeFaults saysMore;
  saysMore.archiveSize = 502;
  startGauge(saysMore);
  ASSERT_EQ(run({"read", "--range", "498-502", "--port", "200", "-o", "out.csv"}), 4) << program_->err();
  const auto lines = korsi::test::transferMessageLines(program_->err());
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines[0].find("refused measurement 501 (exception code 2)"), std::string::npos) << lines[0];
  const auto rows = csvRows(readFile(dir_.file("out.csv")));
  ASSERT_TRUE(rows);
  EXPECT_EQ(*rows, expectedRows(498, 500));
}

TEST_F(Transfer, MeasurementWithADateThatDoesNotExistIsLeftOutAndNamed) {
  archive_[1].day = 31;
  archive_[1].month = 2;
  startGauge();
  ASSERT_EQ(run({"read", "--range", "1-3", "--port", "200", "-o", "out.csv"}), 0) << program_->err();
  const auto rows = csvRows(readFile(dir_.file("out.csv")));
  ASSERT_TRUE(rows);
  std::vector<ArchiveRow> expected = expectedRows(1, 1);
  expected.push_back(expectedRows(3, 3).front());
  EXPECT_EQ(*rows, expected);
  EXPECT_NE(program_->err().find("date that does not exist: measurement 2\n"), std::string::npos) << program_->err();
}

class StopSignal : public Transfer, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignal, InTheMiddleExitsWith130AndWritesTheRowsSoFarWhole) {
  startGauge();
  auto program = start({"read", "--all", "-o", "out.csv"});
  ASSERT_TRUE(program->waitForError("reading 50 of 500")) << program->err();
  program->signal(GetParam());
  ASSERT_EQ(program->exitStatus(), 130) << program->err();
  const auto rows = csvRows(readFile(dir_.file("out.csv")));
  ASSERT_TRUE(rows);
  ASSERT_GE(rows->size(), 50u);
  ASSERT_LT(rows->size(), 500u);
  EXPECT_EQ(*rows, expectedRows(1, static_cast<int>(rows->size())));
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, ::testing::Values(SIGINT, SIGTERM));

// ---- refused before the gauge is asked

struct RefusedCase {
  const char* name;
  Args args;
  int exitStatus;
  const char* named;
};

std::ostream& operator<<(std::ostream& out, const RefusedCase& c) { return out << c.name; }

class Refused : public Transfer, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(Refused, WithOneLineAndNothingWritten) {
  startGauge();
  std::filesystem::create_directory(dir_.file("taken.csv"));
  Args args = GetParam().args;
  for (std::string& a : args) {
    if (a.starts_with("<dir>")) a = dir_.path().string() + a.substr(5);
  }
  ASSERT_EQ(run(args), GetParam().exitStatus) << program_->err();
  const auto lines = korsi::test::transferMessageLines(program_->err());
  ASSERT_EQ(lines.size(), 1u) << program_->err();
  EXPECT_NE(lines[0].find(GetParam().named), std::string::npos) << lines[0];
  EXPECT_EQ(requestsSeen(), 0u);
  for (const char* name : {"out.csv", "out.csv.tmp", "missing", "taken.csv.tmp", "out.xlsx"}) {
    EXPECT_FALSE(std::filesystem::exists(dir_.file(name))) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Refused,
    ::testing::Values(RefusedCase{"OutputInAMissingFolder", {"read", "-o", "<dir>/missing/out.csv"}, 5, "missing/out.csv"},
                      RefusedCase{"OutputIsAFolder", {"read", "-o", "taken.csv"}, 5, "taken.csv"},
                      RefusedCase{"LogCannotBeCreated", {"read", "--log", "<dir>/missing/k.log", "-o", "out.csv"}, 5, "k.log"},
                      RefusedCase{"NoOutput", {"read", "--all"}, 2, "-o"},
                      RefusedCase{"BackwardsRange", {"read", "--range", "7-5", "-o", "out.csv"}, 2, "7-5"},
                      RefusedCase{"UnknownFormat", {"read", "-o", "out.txt"}, 2, "out.txt"},
                      RefusedCase{"UnreadableConfiguration", {"find", "--config", "<dir>/none.conf"}, 2, "none.conf"},
                      RefusedCase{"UnknownSubcommand", {"fetch"}, 2, "fetch"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
