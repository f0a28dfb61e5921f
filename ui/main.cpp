// The desktop program КОРСИ-7. Its files (kestro.conf, the log, the database)
// are in its working folder: the folder named by --workdir, else the folder it
// is started from when it runs from a build tree, else (installed) the user's
// own folder under the data home, made from the installed templates on the
// first start. Its help is compiled in.
//
//   korsi7 [--workdir DIR] [--simulator] [--check-start] [--scenario read-all]
//   korsi7 --version | --help

#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "app/user_folder.h"
#include "korsi_version.h"
#include "services/error_box.h"
#include "services/utf8_path.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"
#include "simulator/in_process_line.h"
#include "ui/application.h"
#include "ui/main_routine.h"
#include "ui/read_all_scenario.h"

namespace {

constexpr const char* kUsage =
    "Usage: korsi7 [--workdir DIR] [--simulator] [--check-start] [--scenario read-all]\n"
    "       korsi7 --version | --help\n"
    "  --workdir DIR   work in DIR (kestro.conf, the log, korsi7.mdb)\n"
    "  --simulator     training without the gauge: a simulated gauge with 500\n"
    "                  measurements answers inside the program as port COM200\n"
    "                  for this run only\n"
    "  --check-start   prepare the working folder, start and end at once\n"
    "  --scenario read-all\n"
    "                  for tests: find the gauge and read its whole archive as\n"
    "                  a user would, and print how long the reading took\n"
    "  --version       print the version and end\n";

// The port number of the simulated gauge; far above the fixed blocks, so it
// hides no real device.
constexpr std::int32_t kSimulatorPort = 200;
constexpr std::size_t kSimulatorMeasurements = 500;

struct CommandLine {
  std::optional<std::string> workdir;
  bool simulator = false;
  bool checkStart = false;
  bool readAllScenario = false;
  bool version = false;
  bool help = false;
  std::string error;
};

CommandLine parse(int argc, char** argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--workdir" && i + 1 < argc) {
      line.workdir = argv[++i];
    } else if (arg.starts_with("--workdir=")) {
      line.workdir = std::string(arg.substr(10));
    } else if (arg == "--simulator") {
      line.simulator = true;
    } else if (arg == "--scenario" && i + 1 < argc && std::string_view(argv[i + 1]) == "read-all") {
      line.readAllScenario = true;
      ++i;
    } else if (arg == "--check-start") {
      line.checkStart = true;
    } else if (arg == "--version") {
      line.version = true;
    } else if (arg == "--help" || arg == "-h") {
      line.help = true;
    } else {
      line.error = "unknown option: " + std::string(arg);
    }
  }
  return line;
}

// The working folder, prepared; empty with the message already given when
// there is none to work in.
std::optional<std::string> workingFolder(const CommandLine& line) {
  using namespace korsi;
  if (line.workdir) return *line.workdir;
  const std::string templates = installedTemplates(platform::programFolder(), KORSI_TEMPLATES_FROM_PROGRAM);
  if (templates.empty()) return std::string(".");
  const std::string home = platform::userDataHome();
  if (home.empty()) {
    showErrorBox(platform::noDataHomeText());
    return std::nullopt;
  }
  const PreparedFolder prepared =
      prepareUserFolder(utf8Text(utf8Path(home) / kUserFolderName), templates);
  if (!prepared.ok) {
    showErrorBox(prepared.message);
    return std::nullopt;
  }
  return prepared.folder;
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLine line = parse(argc, argv);
  if (!line.error.empty()) {
    std::fprintf(stderr, "korsi7: %s\n%s", line.error.c_str(), kUsage);
    return 2;
  }
  if (line.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (line.version) {
    std::puts("korsi7 " KORSI_VERSION);
    return 0;
  }

  korsi::KorsiApplication app(argc, argv);
  korsi::installMessageBoxHook();
  if (line.checkStart) {
    // Nobody is there to close a box: its text goes to the standard error.
    korsi::setErrorBoxHook([](const std::string& text, const std::string&, korsi::BoxIcon) {
      std::fprintf(stderr, "korsi7: %s\n", text.c_str());
    });
  }
  korsi::loadQtTranslations(app);

  const std::optional<std::string> folder = workingFolder(line);
  if (!folder) return korsi::kStartFailed;
  std::error_code changed;
  std::filesystem::current_path(korsi::utf8Path(*folder), changed);
  if (changed) {
    korsi::showErrorBox("Не удалось открыть рабочую папку " + *folder + ": " + korsi::failureCause(changed));
    return korsi::kStartFailed;
  }

  korsi::StartOptions options;
  std::optional<korsi::sim::GaugeSimulator> gauge;
  if (line.simulator) {
    korsi::sim::SimulatorConfig config;
    config.archive = korsi::sim::generateArchive(kSimulatorMeasurements, 1);
    gauge.emplace(std::move(config));
    // The gauge answers on a line inside the program, which the port opens
    // as its device: the same port, threads and master as with the real
    // gauge, and no pseudo-terminal, so it works on every platform.
    auto gaugeLine = std::make_unique<korsi::sim::InProcessLine>("учебный прибор");
    korsi::serial::DeviceFactory open = gaugeLine->deviceFactory();
    gauge->start(std::move(gaugeLine));
    options.temporaryPort = korsi::ProcessObjects::TemporaryPort{kSimulatorPort, gauge->devicePath(), open};
  }
  if (line.checkStart) {
    // Ends as soon as the message loop runs, after every window has been
    // made. Making the windows may already process events, where a request
    // to end is lost, so it is repeated until the loop takes it.
    auto* end = new QTimer(&app);
    QObject::connect(end, &QTimer::timeout, &app, [] { QCoreApplication::exit(0); });
    end->start(0);
  }
  korsi::ReadAllScenario scenario;
  if (line.readAllScenario) {
    options.windowCreated = [&scenario](QWidget& window) { scenario.windowCreated(window); };
  }
  // The simulated gauge goes after the program, as unplugging it would.
  return korsi::mainRoutine(app, options);
}
