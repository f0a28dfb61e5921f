// The korsi7-gauge-sim program as a user starts it: the device path on its
// first line of output, answers on that device, and a clean end on SIGTERM.

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "link/modbus_frame.h"
#include "tests/support/raw_device.h"
#include "tests/support/tempdir.h"

extern char** environ;

namespace {

using Bytes = korsi::test::RawDevice::Bytes;

// The program with its standard output on a pipe.
class SimulatorProgram {
 public:
  explicit SimulatorProgram(std::vector<std::string> args) {
    args.insert(args.begin(), KORSI_GAUGE_SIM_PROGRAM);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    output_ = ::fdopen(out[0], "r");
  }
  ~SimulatorProgram() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (output_ != nullptr) ::fclose(output_);
  }

  std::string firstLine() {
    char line[256] = {};
    if (output_ == nullptr || std::fgets(line, sizeof line, output_) == nullptr) return {};
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }

  // Sends signal (0: none) and returns the wait status.
  int end(int signal) {
    if (signal != 0) ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
  FILE* output_ = nullptr;
};

class StopSignal : public ::testing::TestWithParam<int> {};

TEST_P(StopSignal, ProgramAnswersOnThePrintedDeviceAndEndsCleanly) {
  korsi::test::TempDir dir;
  korsi::test::writeFile(dir.file("archive.csv"), "num;date;h\n1;09.03.2009 14:30:05;1.000\n");
  SimulatorProgram program({"--csv", dir.file("archive.csv")});
  const std::string path = program.firstLine();
  ASSERT_FALSE(path.empty());

  korsi::test::RawDevice device(path);
  ASSERT_TRUE(device.isOpen()) << path;
  ASSERT_TRUE(device.write({0x01, 0x06, 0x00, 0x00, 0x00, 0x01, 0x0A, 0x48}));
  const Bytes reply = device.readReply();
  Modbus::ADU frame;
  frame.assign(reply.begin(), reply.end());
  EXPECT_TRUE(frame.checkCrc());
  frame.resize(frame.size() >= 2 ? frame.size() - 2 : 0);
  EXPECT_EQ(Bytes(frame.begin(), frame.end()),
            Bytes({0x01, 0x06, 0x00, 0x0C, 0x00, 0x01, 0x05, 0x1E, 0x0E, 0x09, 0x03, 0x09, 0x3F, 0x80, 0x00, 0x00}));

  const int status = program.end(GetParam());
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_LE(device.readAfterHangUp(), 0);
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, ::testing::Values(SIGTERM, SIGINT));

struct FailureCase {
  const char* name;
  std::vector<std::string> args;
  int exitStatus;
};

std::ostream& operator<<(std::ostream& out, const FailureCase& c) { return out << c.name; }

class ProgramRefuses : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ProgramRefuses, WithAnExitStatusAndNoDevice) {
  SimulatorProgram program(GetParam().args);
  EXPECT_EQ(program.firstLine(), "");
  const int status = program.end(0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), GetParam().exitStatus);
}

INSTANTIATE_TEST_SUITE_P(Arguments, ProgramRefuses,
                         ::testing::Values(FailureCase{"UnknownOption", {"--bogus", "1"}, 2},
                                           FailureCase{"MissingCsvFile", {"--csv", "/nonexistent/archive.csv"}, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
