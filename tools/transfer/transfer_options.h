#pragma once
// The command line of korsi7-transfer: a subcommand (find, read) and its
// options, read into one plain structure, and the help text with the exit
// statuses. A new subcommand is one more row of the subcommand table and one
// more runner.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korsi::transfer {

// Exit statuses of the program.
inline constexpr int kExitDone = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoGauge = 3;
inline constexpr int kExitConnectionLost = 4;
inline constexpr int kExitOutputFailed = 5;
inline constexpr int kExitInterrupted = 130;

inline constexpr const char* kProgramName = "korsi7-transfer";

enum class Subcommand { Find, Read };
enum class ReadKind { All, Range, Number };

struct TransferOptions {
  Subcommand command = Subcommand::Find;
  ReadKind kind = ReadKind::All;
  // The numbers of --range A-B or --number N (both N then).
  std::int32_t first = 1;
  std::int32_t last = 1;
  // --port as given: a port number ("5" or "COM5") or a device path.
  std::optional<std::string> port;
  // -o FILE; "-" is standard output.
  std::string output;
  std::optional<std::string> configPath;
  std::optional<std::string> logPath;
  bool remember = false;
  bool quiet = false;
  bool fast = false;
};

// What the command line asks for.
struct ParsedCommandLine {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Error;
  TransferOptions options;
  // For Error: what is wrong, one line without the program's name.
  std::string error;
};

// Reads the arguments after the program's name ("--name value" or "--name=value").
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);

// One word of a command line: "--name=value" is the option's name and its
// value; any other word is itself, without a value.
struct OptionWord {
  std::string name;
  std::optional<std::string> value;
};
OptionWord splitOptionWord(const std::string& word);

// The port named by --port: a number ("5", "COM5") or else a device path.
struct PortArgument {
  std::optional<std::int32_t> number;
  std::string path;  // when not a number
};
PortArgument portArgument(const std::string& text);

std::string helpText();
std::string versionText();

}  // namespace korsi::transfer
