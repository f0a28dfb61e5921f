#include "tools/gauge_sim/gauge_sim_options.h"

#include <charconv>
#include <string_view>

#include "simulator/gauge_archive.h"

namespace korsi::sim {

namespace {

// Decimal, or hexadecimal with 0x.
std::optional<std::uint64_t> unsignedOf(std::string_view text, std::uint64_t max) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value > max) return std::nullopt;
  return value;
}

std::optional<double> rateOf(std::string_view text) {
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || !(value >= 0.0 && value <= 1.0)) {
    return std::nullopt;
  }
  return value;
}

constexpr std::uint64_t kMaxMilliseconds = 600000;
// A split reply's pause when only its share is given: longer than the
// master's two 1 ms looks, so the reply is cut in two for it.
constexpr std::chrono::milliseconds kDefaultSplitPause{10};

}  // namespace

std::optional<ProgramOptions> parseProgramOptions(const std::vector<std::string>& args, std::string* error) {
  ProgramOptions options;
  bool countGiven = false;
  bool pauseGiven = false;
  bool splitGiven = false;
  auto fail = [error](const std::string& why) {
    if (error != nullptr) *error = why;
    return std::nullopt;
  };

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> inlineValue;
    if (const auto equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
      inlineValue = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "--help" || name == "-h") {
      options.help = true;
      continue;
    }
    if (name == "--verbose" || name == "-v") {
      options.verbose = true;
      continue;
    }
    std::string value;
    if (inlineValue) {
      value = *inlineValue;
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return fail(name.starts_with("--") ? name + " needs a value" : "unknown option " + name);
    }
    const auto bad = [&] { return fail("bad value for " + name + ": " + value); };

    if (name == "--count") {
      const auto n = unsignedOf(value, kMaxArchiveSize);
      if (!n) return bad();
      options.count = static_cast<std::size_t>(*n);
      countGiven = true;
    } else if (name == "--seed") {
      const auto n = unsignedOf(value, UINT64_MAX);
      if (!n) return bad();
      options.seed = *n;
    } else if (name == "--csv") {
      if (value.empty()) return bad();
      options.csvPath = value;
    } else if (name == "--crc-fault-rate" || name == "--wrong-num-rate" || name == "--split-rate" ||
               name == "--late-rate" || name == "--stray-rate") {
      const auto rate = rateOf(value);
      if (!rate) return bad();
      GaugeFaults& f = options.faults;
      double& share = name == "--crc-fault-rate" ? f.crcFaultRate
                      : name == "--wrong-num-rate" ? f.wrongNumRate
                      : name == "--split-rate"     ? f.splitRate
                      : name == "--late-rate"      ? f.lateRate
                                                   : f.strayRate;
      share = *rate;
      splitGiven = splitGiven || name == "--split-rate";
    } else if (name == "--address") {
      const auto a = unsignedOf(value, 0xFF);
      if (!a) return bad();
      options.faults.replyAddress = static_cast<std::uint8_t>(*a);
    } else if (name == "--exception") {
      const auto colon = value.find(':');
      if (colon == std::string::npos) return bad();
      const auto function = unsignedOf(std::string_view(value).substr(0, colon), 0xFF);
      const auto code = unsignedOf(std::string_view(value).substr(colon + 1), 0xFF);
      if (!function || !code) return bad();
      options.faults.exceptions[static_cast<std::uint8_t>(*function)] = static_cast<std::uint8_t>(*code);
    } else if (name == "--silent-after") {
      const auto n = unsignedOf(value, UINT64_MAX);
      if (!n) return bad();
      options.faults.silentAfter = *n;
    } else if (name == "--pause-mid-reply" || name == "--delay" || name == "--late-by") {
      const auto ms = unsignedOf(value, kMaxMilliseconds);
      if (!ms) return bad();
      GaugeFaults& f = options.faults;
      (name == "--delay" ? f.delay : name == "--late-by" ? f.lateBy : f.pauseMidReply) = std::chrono::milliseconds(*ms);
      pauseGiven = pauseGiven || name == "--pause-mid-reply";
    } else if (name == "--stray-bytes") {
      const auto n = unsignedOf(value, 4096);
      if (!n) return bad();
      options.faults.strayBytes = static_cast<std::size_t>(*n);
    } else if (name == "--stream-after") {
      const auto n = unsignedOf(value, UINT64_MAX);
      if (!n) return bad();
      options.faults.streamAfter = *n;
    } else if (name == "--extra-bytes") {
      const auto n = unsignedOf(value, 4096);
      if (!n) return bad();
      options.faults.extraBytes = static_cast<std::size_t>(*n);
    } else if (name == "--archive-size") {
      const auto n = unsignedOf(value, 0xFFFF);
      if (!n) return bad();
      options.faults.archiveSize = static_cast<std::uint16_t>(*n);
    } else {
      return fail("unknown option " + name);
    }
  }
  if (countGiven && options.csvPath) return fail("--count and --csv exclude each other");
  if (splitGiven && !pauseGiven) {
    options.faults.pauseMidReply = kDefaultSplitPause;
  }
  return options;
}

std::string usageText() {
  return "Usage: korsi7-gauge-sim [options]\n"
         "Simulates the КОРСИ-7 gauge on a new pseudo-terminal and prints the path\n"
         "of its device on the first line of standard output. Stops on SIGINT or SIGTERM.\n"
         "\n"
         "Archive:\n"
         "  --count N              generated archive of N measurements (default 20, at most 65535)\n"
         "  --seed S               seed of the generated archive and of the fault rates (default 1)\n"
         "  --csv FILE             archive from FILE, lines num;date;h (for example\n"
         "                         1;09.03.2009 14:30:05;1.000)\n"
         "Faults (any together):\n"
         "  --crc-fault-rate R     share 0..1 of replies with a wrong checksum\n"
         "  --wrong-num-rate R     share 0..1 of measurement replies carrying number n+1\n"
         "  --address A            replies come from address A (requests still go to 1)\n"
         "  --exception F:C        answer requests with function F by exception code C (repeatable)\n"
         "  --silent-after N       answer nothing after N replies\n"
         "  --pause-mid-reply MS   pause MS milliseconds in the middle of a reply (every reply,\n"
         "                         or the share given by --split-rate)\n"
         "  --split-rate R         share 0..1 of replies with that pause (10 ms unless given)\n"
         "  --late-rate R          share 0..1 of replies sent late, after the master's wait\n"
         "  --late-by MS           how late such a reply comes (default 100)\n"
         "  --stray-rate R         share 0..1 of replies followed, after 5 quiet ms, by random bytes\n"
         "  --stray-bytes N        how many stray bytes (default 4)\n"
         "  --stream-after N       after N replies answer nothing and send random bytes for ever,\n"
         "                         a line that never falls silent (0: from the start)\n"
         "  --extra-bytes N        send N bytes 0xFF right after every reply\n"
         "  --archive-size N       report archive size N whatever the archive holds\n"
         "  --delay MS             wait MS milliseconds before every reply\n"
         "Other:\n"
         "  --verbose              print every request and reply in hexadecimal on standard error\n"
         "  --help                 this text\n";
}

}  // namespace korsi::sim
