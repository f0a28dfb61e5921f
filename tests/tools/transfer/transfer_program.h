#pragma once
// korsi7-transfer run as a user runs it: a child process in a working folder
// of its own, its standard output and error going to files there, and its
// exit status. A generous guard kills a run that hangs.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fcntl.h>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/tempdir.h"

extern char** environ;

namespace korsi::test {

class TransferProgram {
 public:
  // Starts the program in folder with args.
  // `runner` (a program and its arguments, such as setpriv's) starts it when given.
  TransferProgram(const std::string& folder, std::vector<std::string> args, std::vector<std::string> runner = {})
      : outPath_(folder + "/program.out"), errPath_(folder + "/program.err") {
    args.insert(args.begin(), KORSI_TRANSFER_PROGRAM);
    args.insert(args.begin(), runner.begin(), runner.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~TransferProgram() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  TransferProgram(const TransferProgram&) = delete;
  TransferProgram& operator=(const TransferProgram&) = delete;

  // Waits for the end and returns the exit status; -1 when it did not exit
  // by itself within the guard (it is killed then) or was ended by a signal.
  int exitStatus(std::chrono::seconds guard = std::chrono::seconds(90)) {
    if (pid_ <= 0) return -1;
    const auto until = std::chrono::steady_clock::now() + guard;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > until) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Waits until standard error holds text; false if it never does: the
  // program has ended without it, or the guard has passed.
  bool waitForError(const std::string& text, std::chrono::seconds guard = std::chrono::seconds(60)) const {
    const auto until = std::chrono::steady_clock::now() + guard;
    while (readFile(errPath_).find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > until || ended()) {
        return readFile(errPath_).find(text) != std::string::npos;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  void signal(int number) const { ::kill(pid_, number); }

  // Whether the program has ended, leaving it to exitStatus() to collect.
  bool ended() const {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0;
  }

  std::string out() const { return readFile(outPath_); }
  std::string err() const { return readFile(errPath_); }

 private:
  std::string outPath_;
  std::string errPath_;
  pid_t pid_ = -1;
};

}  // namespace korsi::test
