// korsi7-transfer: finds the KORSI-7 gauge and saves its archive to a file
// from the command line, with the desktop program's search and reading.
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "services/error_box.h"
#include "tools/transfer/archive_command.h"
#include "tools/transfer/check_command.h"
#include "tools/transfer/terminal.h"
#include "tools/transfer/transfer_options.h"
#include "tools/transfer/transfer_runner.h"

int main(int argc, char** argv) {
  using namespace korsi::transfer;
  // The company archive's commands keep the default signals: a publication
  // killed at any point loses nothing (the job waits in the outbox).
  if (const std::vector<std::string> args = programArguments(argc, argv); isArchiveCommand(args)) {
    ignoreBrokenPipe();
    const Utf8Console console;
    korsi::setErrorBoxHook([](const std::string&, const std::string&, korsi::BoxIcon) {});
    return archiveCommand(args, stdout, stderr);
  }
  Interruption interruption;
  // check reads a file, with no worker to stop: it looks at this flag.
  std::atomic<bool> checkStopped{false};
  // First, before any thread exists, so that only its watcher takes the signals.
  StopSignals stopSignals([&interruption, &checkStopped] {
    checkStopped = true;
    interruption.interrupt();
  });
  ignoreBrokenPipe();
  const Utf8Console console;
  // Every failure is reported by the runner in a line of its own; the boxes
  // that the configuration and the log would show have nothing to add.
  korsi::setErrorBoxHook([](const std::string&, const std::string&, korsi::BoxIcon) {});

  const std::vector<std::string> args = programArguments(argc, argv);
  // check reads a saved file and has a command line of its own.
  if (!args.empty() && args.front() == "check") {
    return checkCommand(std::vector<std::string>(args.begin() + 1, args.end()), stdout, stderr, &checkStopped);
  }
  const ParsedCommandLine parsed = parseCommandLine(args);
  switch (parsed.action) {
    case ParsedCommandLine::Action::Help:
      std::fputs(helpText().c_str(), stdout);
      std::fputs("\nkorsi7-transfer check FILE --rule iso19840|pspc|sspc-pa2 ... judges a saved\n"
                 "archive, korsi7-transfer check JOB every area of a job file: see\n"
                 "korsi7-transfer check --help.\n\n",
                 stdout);
      std::fputs(archiveHelpSummary().c_str(), stdout);
      return kExitDone;
    case ParsedCommandLine::Action::Version: std::fputs(versionText().c_str(), stdout); return kExitDone;
    case ParsedCommandLine::Action::Error:
      std::fprintf(stderr, "%s: %s (see %s --help)\n", kProgramName, parsed.error.c_str(), kProgramName);
      return kExitUsage;
    case ParsedCommandLine::Action::Run: break;
  }
  RunStreams streams;
  streams.progress = isTerminal(stderr) ? ProgressStyle::Bar : ProgressStyle::Lines;
  return runTransfer(parsed.options, streams, interruption);
}
