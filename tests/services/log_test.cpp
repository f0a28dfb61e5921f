#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "services/logs.h"
#include "tests/support/error_box_recorder.h"
#include "tests/support/tempdir.h"

namespace {

using korsi::test::readFile;
using korsi::test::writeFile;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// True when text starts with a run of decimal digits, which is then skipped.
bool skipDigits(std::string_view& text) {
  std::size_t n = 0;
  while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
  text.remove_prefix(n);
  return n > 0;
}

bool skipText(std::string_view& text, std::string_view expected) {
  if (text.substr(0, expected.size()) != expected) return false;
  text.remove_prefix(expected.size());
  return true;
}

// "24.02.2009 6:22:05 : INF : log_test.cpp(<n>) : thread <n> statement <n> <payload>"
bool isWholeThreadLine(std::string_view line, std::string_view payload) {
  return skipText(line, "24.02.2009 6:22:05 : INF : log_test.cpp(") && skipDigits(line) &&
         skipText(line, ") : thread ") && skipDigits(line) && skipText(line, " statement ") &&
         skipDigits(line) && skipText(line, " ") && line == payload;
}

std::tm fixedTime() {
  std::tm t{};
  t.tm_year = 2009 - 1900;
  t.tm_mon = 1;
  t.tm_mday = 24;
  t.tm_hour = 6;
  t.tm_min = 22;
  t.tm_sec = 5;
  return t;
}

// A configuration naming a log file in a temporary directory, and the log made
// from it installed as the process log.
class LogFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir.file("kestro.conf"), "log_file " + logPath + "\n");
    config.emplace(dir.file("kestro.conf"));
  }
  void TearDown() override { korsi::setProcessLog(nullptr); }

  std::unique_ptr<korsi::logstream> openLog() {
    auto log = std::make_unique<korsi::logstream>(*config);
    log->setClock(fixedTime);
    korsi::setProcessLog(log.get());
    return log;
  }

  korsi::test::TempDir dir;
  std::string logPath = dir.file("korsi.log");
  std::optional<korsi::Config> config;
};

TEST_F(LogFixture, StatementHasTheFixedLineForm) {
  auto log = openLog();
  const int line = __LINE__ + 1;
  LOG_INF("Found on port ", 3, ", code ", -1, " zero ", 0);
  LOG_ERR("DEVICE_ADDRESS_ERROR");
  EXPECT_EQ(readFile(logPath),
            "24.02.2009 6:22:05 : INF : log_test.cpp(" + std::to_string(line) +
                ") : Found on port 3, code -1 zero 0\n"
                "24.02.2009 6:22:05 : ERR : log_test.cpp(" + std::to_string(line + 1) +
                ") : DEVICE_ADDRESS_ERROR\n");
}

TEST(LogPieces, IntegersAreDecimalWithoutPadding) {
  struct Case {
    std::string expected;
    std::function<void(std::string&)> append;
  };
  const std::vector<Case> cases = {
      {"-1", [](std::string& s) { korsi::detail::appendPiece(s, -1); }},
      {"0", [](std::string& s) { korsi::detail::appendPiece(s, 0); }},
      {"-2147483648", [](std::string& s) { korsi::detail::appendPiece(s, INT_MIN); }},
      {"128", [](std::string& s) { korsi::detail::appendPiece(s, static_cast<unsigned char>(0x80)); }},
      {"65535", [](std::string& s) { korsi::detail::appendPiece(s, static_cast<std::uint16_t>(65535)); }},
      {"-6", [](std::string& s) { korsi::detail::appendPiece(s, static_cast<signed char>(-6)); }},
      {" 0x02", [](std::string& s) { korsi::detail::appendPiece(s, std::string(" 0x02")); }},
  };
  for (const Case& c : cases) {
    std::string text;
    c.append(text);
    EXPECT_EQ(text, c.expected);
  }
}

TEST(LogPieces, DateAndTimeForm) {
  std::tm midnight = fixedTime();
  midnight.tm_hour = 0;
  midnight.tm_min = 0;
  midnight.tm_sec = 0;
  midnight.tm_mday = 9;
  midnight.tm_mon = 2;
  EXPECT_EQ(korsi::formatLogTime(fixedTime()), "24.02.2009 6:22:05");
  EXPECT_EQ(korsi::formatLogTime(midnight), "09.03.2009 0:00:00");
}

TEST(LogPieces, SourceFileIsTheBaseName) {
  EXPECT_EQ(korsi::sourceBaseName("C:\\work\\kestro\\modbus.cpp"), "modbus.cpp");
  EXPECT_EQ(korsi::sourceBaseName("/home/build/link/comm_port.cpp"), "comm_port.cpp");
  EXPECT_EQ(korsi::sourceBaseName("logs.cpp"), "logs.cpp");
  EXPECT_EQ(korsi::sourceBaseName("../a/b\\c/read_thread.cpp"), "read_thread.cpp");
}

TEST_F(LogFixture, EveryRunStartsAnEmptyLog) {
  {
    auto first = openLog();
    LOG_INF("first run");
  }
  {
    auto second = openLog();
    LOG_INF("second run");
  }
  const auto lines = linesOf(readFile(logPath));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("second run"), std::string::npos);
}

TEST_F(LogFixture, WithoutAProcessLogStatementsWriteNothing) {
  {
    auto log = openLog();
    korsi::setProcessLog(nullptr);
    LOG_INF("lost");
  }
  EXPECT_EQ(readFile(logPath), "");
}

TEST_F(LogFixture, StatementsFromManyThreadsStayWholeLines) {
  auto log = openLog();
  constexpr int kThreads = 8;
  constexpr int kStatements = 400;
  const std::string payload(120, 'x');
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &payload] {
      for (int i = 0; i < kStatements; ++i) LOG_INF("thread ", t, " statement ", i, " ", payload);
    });
  }
  for (auto& thread : threads) thread.join();

  const auto lines = linesOf(readFile(logPath));
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kStatements));
  for (const auto& line : lines) ASSERT_TRUE(isWholeThreadLine(line, payload)) << line;
}

#ifndef _WIN32
// Windows has no limit on a process's file size to make a write fail and
// then succeed again, so this case runs on POSIX only.

// The file may grow no further for a while (a full disk), then can again.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : oldSignal_(std::signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limited = old_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldSignal_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  void (*oldSignal_)(int);
};

TEST_F(LogFixture, AFailedWriteIsReportedOnceAndTheLogGoesOnWhenTheFileTakesWritesAgain) {
  auto log = openLog();
  korsi::test::ErrorBoxRecorder recorder;
  LOG_INF("before");
  {
    const FileSizeLimit full(static_cast<rlim_t>(std::filesystem::file_size(logPath)));
    LOG_INF("lost one");
    LOG_ERR("lost two");
  }
  LOG_INF("after");
  const auto lines = linesOf(readFile(logPath));
  ASSERT_EQ(lines.size(), 2u) << readFile(logPath);
  EXPECT_NE(lines[0].find(": before"), std::string::npos);
  EXPECT_NE(lines[1].find(": after"), std::string::npos);
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, korsi::logWriteFailureText(logPath, std::strerror(EFBIG)));

  // Later failures are not told again; a report of the program's own takes the box's place.
  std::vector<std::string> reports;
  log->setFailureReport([&](const std::string& text) { reports.push_back(text); });
  {
    const FileSizeLimit full(static_cast<rlim_t>(std::filesystem::file_size(logPath)));
    LOG_INF("lost three");
  }
  EXPECT_EQ(recorder.boxes.size(), 1u);
  EXPECT_TRUE(reports.empty());
}
#endif  // _WIN32

TEST_F(LogFixture, FileThatCannotBeCreatedShowsTheBoxAndThrows) {
  writeFile(dir.file("kestro.conf"), "log_file " + dir.file("no/such/dir/korsi.log") + "\n");
  korsi::Config broken(dir.file("kestro.conf"));
  korsi::test::ErrorBoxRecorder recorder;
  EXPECT_THROW(korsi::logstream log(broken), std::runtime_error);
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, "Не могу создать файл логов на запись");
  EXPECT_EQ(recorder.boxes[0].caption, "Ошибка");
}

TEST_F(LogFixture, MissingKeyPassesTheConfigErrorWithoutABox) {
  writeFile(dir.file("kestro.conf"), "default_comport 1\n");
  korsi::Config noKey(dir.file("kestro.conf"));
  korsi::test::ErrorBoxRecorder recorder;
  try {
    korsi::logstream log(noKey);
    FAIL() << "the log opened without a file name";
  } catch (const korsi::ConfigException& e) {
    EXPECT_EQ(e.code(), 1);
  }
  EXPECT_TRUE(recorder.boxes.empty());
}

}  // namespace
