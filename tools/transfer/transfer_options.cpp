#include "tools/transfer/transfer_options.h"

#include <charconv>
#include <cstddef>

#include "storage/export/archive_workbook.h"

namespace korsi::transfer {

namespace {

// Options a subcommand accepts besides --config, --log, --quiet and --help.
enum OptionBit : unsigned {
  kPortOption = 1u << 0,
  kOutputOption = 1u << 1,
  kReadKindOptions = 1u << 2,
  kRememberOption = 1u << 3,
  kFastOption = 1u << 4,
};

struct SubcommandInfo {
  const char* name;
  Subcommand command;
  unsigned options;
};

constexpr SubcommandInfo kSubcommands[] = {
    {"find", Subcommand::Find, kPortOption | kRememberOption | kFastOption},
    {"read", Subcommand::Read, kPortOption | kOutputOption | kReadKindOptions | kRememberOption | kFastOption},
};

// The highest measurement number the gauge's 16-bit numbers can carry.
constexpr std::int32_t kLastNumber = 65535;

std::optional<std::int32_t> measurementNumber(std::string_view text) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || value < 1 || value > kLastNumber) return std::nullopt;
  return value;
}

ParsedCommandLine failure(std::string error) {
  ParsedCommandLine parsed;
  parsed.action = ParsedCommandLine::Action::Error;
  parsed.error = std::move(error);
  return parsed;
}

bool takesValue(const std::string& name) {
  return name == "--port" || name == "-o" || name == "--output" || name == "--config" || name == "--log" ||
         name == "--range" || name == "--number";
}

}  // namespace

PortArgument portArgument(const std::string& text) {
  std::string_view digits(text);
  if (digits.size() > 3 && (digits.starts_with("COM") || digits.starts_with("com"))) digits.remove_prefix(3);
  std::int32_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  if (!digits.empty() && error == std::errc() && stop == end && value >= 0) return {value, {}};
  return {std::nullopt, text};
}

OptionWord splitOptionWord(const std::string& word) {
  if (const auto equals = word.find('='); word.starts_with("--") && equals != std::string::npos) {
    return {word.substr(0, equals), word.substr(equals + 1)};
  }
  return {word, std::nullopt};
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine parsed;
  TransferOptions& o = parsed.options;
  const SubcommandInfo* subcommand = nullptr;
  unsigned given = 0;
  int readKinds = 0;
  bool help = false;
  bool version = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    auto [name, value] = splitOptionWord(args[i]);
    if (!name.starts_with("-") || name == "-") {
      if (subcommand != nullptr) return failure("unexpected argument " + name);
      for (const SubcommandInfo& info : kSubcommands) {
        if (name == info.name) subcommand = &info;
      }
      if (subcommand == nullptr) return failure("unknown subcommand " + name + " (find or read)");
      continue;
    }
    if (name == "--help" || name == "-h") {
      help = true;
      continue;
    }
    if (name == "--version") {
      version = true;
      continue;
    }
    if (takesValue(name) && !value) {
      if (i + 1 >= args.size()) return failure(name + " needs a value");
      value = args[++i];
    } else if (!takesValue(name) && value) {
      return failure(name + " takes no value");
    }

    unsigned bit = 0;
    if (name == "--config") {
      o.configPath = *value;
    } else if (name == "--log") {
      o.logPath = *value;
    } else if (name == "--quiet" || name == "-q") {
      o.quiet = true;
    } else if (name == "--port") {
      bit = kPortOption;
      o.port = *value;
      if (value->empty()) return failure("--port needs a port number or a device path");
    } else if (name == "-o" || name == "--output") {
      bit = kOutputOption;
      o.output = *value;
      if (value->empty()) return failure(name + " needs a file name");
    } else if (name == "--remember") {
      bit = kRememberOption;
      o.remember = true;
    } else if (name == "--fast") {
      bit = kFastOption;
      o.fast = true;
    } else if (name == "--all") {
      bit = kReadKindOptions;
      o.kind = ReadKind::All;
      ++readKinds;
    } else if (name == "--number") {
      bit = kReadKindOptions;
      const auto n = measurementNumber(*value);
      if (!n) return failure("--number " + *value + ": a measurement number from 1 to 65535 is expected");
      o.kind = ReadKind::Number;
      o.first = o.last = *n;
      ++readKinds;
    } else if (name == "--range") {
      bit = kReadKindOptions;
      const auto dash = value->find('-');
      const auto a = dash == std::string::npos ? std::nullopt : measurementNumber(std::string_view(*value).substr(0, dash));
      const auto b = dash == std::string::npos ? std::nullopt : measurementNumber(std::string_view(*value).substr(dash + 1));
      if (!a || !b) return failure("--range " + *value + ": A-B with measurement numbers from 1 to 65535 is expected");
      if (*a > *b) return failure("--range " + *value + ": the first number is greater than the last");
      o.kind = ReadKind::Range;
      o.first = *a;
      o.last = *b;
      ++readKinds;
    } else {
      return failure("unknown option " + name);
    }
    given |= bit;
  }

  if (help) {
    parsed.action = ParsedCommandLine::Action::Help;
    return parsed;
  }
  if (version) {
    parsed.action = ParsedCommandLine::Action::Version;
    return parsed;
  }
  if (subcommand == nullptr) return failure("a subcommand is needed: find or read");
  if (const unsigned refused = given & ~subcommand->options; refused != 0) {
    const char* which = (refused & kOutputOption)      ? "-o"
                        : (refused & kReadKindOptions) ? "--all, --range and --number"
                                                       : "this option";
    return failure(std::string(which) + ": not an option of " + subcommand->name);
  }
  if (readKinds > 1) return failure("--all, --range and --number exclude each other");
  if ((subcommand->options & kOutputOption) != 0 && o.output.empty()) {
    return failure(std::string(subcommand->name) + " needs -o FILE (or -o - for standard output)");
  }
  o.command = subcommand->command;
  parsed.action = ParsedCommandLine::Action::Run;
  return parsed;
}

std::string versionText() { return std::string(kProgramName) + " " KORSI_VERSION "\n"; }

std::string helpText() {
  std::string text = R"(Usage:
  korsi7-transfer find [--port N|PATH] [options]
  korsi7-transfer read [--all | --range A-B | --number N] [--port N|PATH] -o FILE [options]

Finds the KORSI-7 coating thickness gauge on a serial port and saves its
archive to a file, with the same device search and archive reading as the
desktop program.

find   searches the port remembered in the configuration (default_comport),
       the USB-serial converter's ports, then ports 1 to 255, and prints the
       port found and the archive size.
read   finds the gauge as find does and reads the whole
       archive (--all, the default; at most 500 measurements), the
       measurements A to B (--range A-B) or one measurement (--number N).

Options:
  --port N|PATH   probe only this port: a port number (5 or COM5, as the
                  desktop program knows it) or a device path (/dev/ttyUSB0)
  -o FILE         where read writes: .csv, .ks or .xml (as the desktop program
                  saves them), .xlsx (as it exports them); - writes CSV to
                  standard output. FILE is replaced only when whole, and
                  not at all when no measurement was read.
  --config FILE   the configuration (default ./kestro.conf when present; the
                  program also runs without one)
  --log FILE      write the log to FILE (default: no log)
  --remember      store the port found in the configuration's default_comport
                  line and write the file back; without it the configuration
                  is never written
  --fast          take each reply as soon as it is whole instead of waiting
                  the fixed 30 ms (also "fast_exchange 1" in the configuration);
                  a real gauge may need the fixed timing, which is the default
  --quiet         no progress and no summary on standard error
  --help          this text
  --version       the program's version

CSV: UTF-8, header num,date,thickness_mm,note, dates as 2009-03-09T06:22:05,
a decimal point, fields quoted as RFC 4180 says, one line end (LF) per row.

Progress goes to standard error: a bar with count, rate and time left on a
terminal, one line per 10 % otherwise. Ctrl+C (SIGINT) or SIGTERM stops the
reading as Cancel does in the desktop program; the rows read so far are
written. --range and --number read only the numbers the archive holds and
say where it ends.

Exit status:
  0    done
  2    usage: a wrong option, a configuration that cannot be read, an
       unknown output format
  3    no gauge found (nothing written)
  4    connection lost: the gauge stopped answering or refused a measurement,
       or numbers asked for are past the end of its archive (the rows read
       so far are written)
  5    the output (or the log, or the configuration with --remember) could
       not be written; nothing half-written is left under its name
  130  interrupted by SIGINT or SIGTERM (the rows read so far are written)
)";
  if (!korsi::canWriteWorkbooks()) {
    text += "\nThis build cannot write .xlsx workbooks: it was built without libxlsxwriter.\n";
  }
  return text;
}

}  // namespace korsi::transfer
