// The device search against the simulated gauge (or a scripted one) on a real
// pseudo-terminal, with a fake converter driver: which strategies run, which
// ports are tried in which order, what the user sees and what is left behind
// (the port, the configuration, the read commands) when the gauge is found,
// when it is not, when the driver is missing and when Cancel is pressed.

#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "instrument/converter_driver.h"
#include "instrument/device_found_thread.h"
#include "instrument/hand_over.h"
#include "tests/support/gauge_bench.h"
#include "tests/support/scripted_gauge.h"
#include "tests/support/tempdir.h"
#include "tests/support/view_recorder.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"

namespace {

using namespace std::chrono_literals;
using Faults = korsi::sim::GaugeFaults;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr const char* kSearchSource = "device_found_thread.cpp";
constexpr const char* kFoundBox = "message Внимание: Устройство найдено и готово к работе";

// The converter's driver as the test sets it; counts how often it is asked.
class FakeDriver final : public korsi::ConverterDriver {
 public:
  FakeDriver(bool installed, std::vector<std::int32_t> ports) : answer_{installed, std::move(ports)} {}
  korsi::ConverterPorts query() const override {
    ++queries_;
    return answer_;
  }
  int queries() const { return queries_.load(); }

 private:
  korsi::ConverterPorts answer_;
  mutable std::atomic<int> queries_{0};
};

std::string probing(std::int32_t p) { return "INF Обработка порта COM" + std::to_string(p); }
std::string opened(std::int32_t p) { return "INF Успешно открыт порт COM" + std::to_string(p); }
// The search's lines from the port that answered to its end.
std::vector<std::string> foundLines(std::int32_t p) {
  return {probing(p), opened(p), "INF Порт найден " + std::to_string(p),
          "INF Устройство найдено на порту COM" + std::to_string(p), "ERR Поток поиска уничтожен"};
}
std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class DeviceSearch {
 protected:
  DeviceSearch(std::optional<std::int32_t> configuredPort, bool driverInstalled, std::vector<std::int32_t> converterPorts)
      : bench(configuredPort), driver(driverInstalled, std::move(converterPorts)) {}

  // The simulated gauge, with an archive of 3, on port p.
  void attachGauge(std::int32_t p, Faults faults = {}) {
    korsi::sim::SimulatorConfig config;
    config.archive = korsi::sim::generateArchive(3, 2);
    config.faults = faults;
    gauge = std::make_unique<korsi::sim::GaugeSimulator>(config);
    gauge->start();
    bench.attach(p, gauge->devicePath());
  }

  void startSearch() {
    worker = korsi::DeviceFoundThread::start({bench.port(), bench.master(), bench.config(), driver}, view,
                                             std::make_shared<korsi::DirectHandOver>());
  }
  void search() {
    startSearch();
    worker->wait();
  }

  std::vector<std::string> searchLog() const { return bench.logLinesOf(kSearchSource); }

  korsi::test::GaugeBench bench;
  FakeDriver driver;
  korsi::test::ViewRecorder view;
  std::unique_ptr<korsi::sim::GaugeSimulator> gauge;
  std::shared_ptr<korsi::DeviceFoundThread> worker;
};

struct FoundCase {
  const char* name;
  std::int32_t configured;
  std::vector<std::int32_t> converterPorts;
  std::int32_t gaugePort;
  void (*faults)(Faults&);  // the gauge's faults, or none
  int driverQueries;
  std::vector<std::string> log;  // the search's own lines
};

void PrintTo(const FoundCase& c, std::ostream* out) { *out << c.name; }

class SearchFinds : public DeviceSearch, public ::testing::TestWithParam<FoundCase> {
 protected:
  SearchFinds() : DeviceSearch(GetParam().configured, true, GetParam().converterPorts) {}
};

TEST_P(SearchFinds, GaugeIsFoundAndLeftReadyToRead) {
  const FoundCase& c = GetParam();
  Faults faults;
  if (c.faults) c.faults(faults);
  attachGauge(c.gaugePort, faults);
  search();

  EXPECT_THAT(searchLog(), ElementsAreArray(c.log));
  EXPECT_EQ(driver.queries(), c.driverQueries);
  // Numbers with no device pass without a word, from the port or the search.
  EXPECT_THAT(bench.logLinesStartingWith("ERR "), ElementsAre("ERR Поток поиска запущен", "ERR Поток поиска уничтожен"));

  const auto events = view.events();
  ASSERT_GE(events.size(), 7u);
  EXPECT_THAT(std::vector(events.begin(), events.begin() + 2), ElementsAre("commands Search off", "commands Read off"));
  EXPECT_THAT(std::vector(events.end() - 5, events.end()),
              ElementsAre(kFoundBox, "status Устройство найдено на порту COM" + std::to_string(c.gaugePort),
                          "commands Search on", "commands Read on", "caption Всего найдено 3 измерений"));
  EXPECT_EQ(bench.config().getInt("default_comport"), c.gaugePort);
  EXPECT_TRUE(bench.port().isActive());
  EXPECT_EQ(bench.port().getPortNumber(), c.gaugePort);
}

void exceptionToEcho(Faults& f) { f.exceptions[4] = 1; }

const std::vector<std::string> kStarted{"ERR Поток поиска запущен", "INF findinconfig"};

INSTANTIATE_TEST_SUITE_P(
    Strategies, SearchFinds,
    ::testing::Values(
        // The remembered port answers: neither the driver nor the range is asked.
        FoundCase{"ConfiguredPortAnswers", 7, {30}, 7, nullptr, 0, kStarted + foundLines(7)},
        // An exception reply is an answer: a gauge is there.
        FoundCase{"ExceptionReplyToEchoCountsAsFound", 7, {30}, 7, exceptionToEcho, 0,
                  kStarted + foundLines(7)},
        FoundCase{"ConverterPortsInTheirOrder", 3, {7, 30}, 30, nullptr, 1,
                  kStarted + std::vector<std::string>{probing(3), "INF findinregistry", probing(7)} +
                      foundLines(30)},
        FoundCase{"RangeWhenTheConverterHasNoPorts", 3, {}, 5, nullptr, 1,
                  kStarted + std::vector<std::string>{probing(3), "INF findinregistry", "INF findinrange",
                                                      probing(1), probing(2), probing(3), probing(4)} +
                      foundLines(5)}),
    [](const auto& info) { return std::string(info.param.name); });

class SearchOnPort7 : public DeviceSearch, public ::testing::Test {
 protected:
  SearchOnPort7() : DeviceSearch(7, true, {}) {}
};

TEST_F(SearchOnPort7, GaugeThatAnswersOnlyTheThirdEchoIsFound) {
  using namespace korsi::test;
  ScriptedGauge scripted({silence(), silence(), echoReply(), archiveSizeReply(3)});
  bench.attach(7, scripted.devicePath());
  search();
  scripted.join();

  EXPECT_THAT(searchLog(), ElementsAreArray(kStarted + std::vector<std::string>{
                                                          probing(7),
                                                          opened(7),
                                                          "ERR Ошибка при посылке Эхо -6",
                                                          "ERR Ошибка при посылке Эхо -6",
                                                          "INF Порт найден 7",
                                                          "INF Устройство найдено на порту COM7",
                                                          "ERR Поток поиска уничтожен",
                                                      }));
  EXPECT_EQ(view.events().back(), "caption Всего найдено 3 измерений");
  EXPECT_EQ(scripted.requests(), 4);
}

TEST_F(SearchOnPort7, NothingFoundLeavesThePortClosedAndTheReadCommandsAway) {
  // A silent gauge on the remembered port, tried twice: once as remembered,
  // once in the range.
  Faults silent;
  silent.silentAfter = 0;
  attachGauge(7, silent);
  search();

  const auto log = searchLog();
  ASSERT_GE(log.size(), 2u);
  EXPECT_THAT(std::vector(log.end() - 2, log.end()),
              ElementsAre("INF Устройство не найдено", "ERR Поток поиска уничтожен"));
  EXPECT_EQ(std::count(log.begin(), log.end(), "ERR Ошибка при посылке Эхо -6"), 20);
  const auto events = view.events();
  ASSERT_GE(events.size(), 2u);
  EXPECT_THAT(std::vector(events.end() - 2, events.end()),
              ElementsAre("status Устройство не найдено", "commands Search on"));
  EXPECT_THAT(events, Not(Contains("commands Read on")));
  EXPECT_THAT(view.eventsStartingWith("caption "), IsEmpty());
  EXPECT_THAT(events, Not(Contains(kFoundBox)));
  EXPECT_FALSE(bench.port().isActive());
  EXPECT_EQ(bench.config().getInt("default_comport"), 7);
}

TEST_F(SearchOnPort7, CancelWhileEchoingEndsTheSearchWithoutATrace) {
  Faults silent;
  silent.silentAfter = 0;
  attachGauge(7, silent);
  startSearch();
  ASSERT_TRUE(gauge->waitUntil([](const auto& c) { return c.requestsSeen >= 2; }, 10s));
  worker->requestStop();
  // Once the request has returned, the search writes nothing more and, being
  // inside an exchange, shows nothing more either.
  const auto logAtStop = bench.logLines();
  const auto eventsAtStop = view.events();
  worker->wait();

  EXPECT_EQ(bench.logLines(), logAtStop);
  EXPECT_EQ(view.events(), eventsAtStop);
  EXPECT_THAT(eventsAtStop, ElementsAre("commands Search off", "commands Read off", "progress shown", "progress 0"));
  EXPECT_THAT(logAtStop, Not(Contains("ERR Поток поиска уничтожен")));
  EXPECT_THAT(logAtStop, Not(Contains("INF findinregistry")));
  EXPECT_EQ(driver.queries(), 0);
}

struct NamedPortCase {
  const char* name;
  bool gaugeAnswers;
};

void PrintTo(const NamedPortCase& c, std::ostream* out) { *out << c.name; }

// The user names port 5 (the configuration remembers 7, the converter lists 3).
class SearchOnNamedPort : public DeviceSearch, public ::testing::TestWithParam<NamedPortCase> {
 protected:
  SearchOnNamedPort() : DeviceSearch(7, true, {3}) {}
};

TEST_P(SearchOnNamedPort, ProbesThatPortAloneThenEndsAsEverySearch) {
  Faults faults;
  if (!GetParam().gaugeAnswers) faults.silentAfter = 0;
  attachGauge(5, faults);
  worker = korsi::DeviceFoundThread::startOnPort({bench.port(), bench.master(), bench.config(), driver}, 5, view,
                                                 std::make_shared<korsi::DirectHandOver>());
  worker->wait();

  // No strategy runs: neither findinconfig nor the converter nor the range.
  std::vector<std::string> expected{"ERR Поток поиска запущен"};
  if (GetParam().gaugeAnswers) {
    expected = expected + foundLines(5);
  } else {
    expected = expected + std::vector<std::string>{probing(5), opened(5)} +
               std::vector<std::string>(10, "ERR Ошибка при посылке Эхо -6") +
               std::vector<std::string>{"INF Устройство не найдено", "ERR Поток поиска уничтожен"};
  }
  EXPECT_THAT(searchLog(), ElementsAreArray(expected));
  EXPECT_EQ(driver.queries(), 0);
  EXPECT_EQ(bench.port().isActive(), GetParam().gaugeAnswers);
  EXPECT_EQ(bench.config().getInt("default_comport"), GetParam().gaugeAnswers ? 5 : 7);
  EXPECT_EQ(view.count("commands Read on"), GetParam().gaugeAnswers ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, SearchOnNamedPort,
                         ::testing::Values(NamedPortCase{"GaugeAnswers", true}, NamedPortCase{"GaugeSilent", false}),
                         [](const auto& info) { return std::string(info.param.name); });

class SearchWithoutGauge : public DeviceSearch, public ::testing::Test {
 protected:
  SearchWithoutGauge() : DeviceSearch(3, true, {7, 30}) {}
};

TEST_F(SearchWithoutGauge, CancelBetweenPortsShowsNothingMore) {
  // Cancel is pressed right as the progress moves to the second converter
  // port: from then on nothing may change.
  std::vector<std::string> logAtStop;
  std::atomic<korsi::StoppableWorker*> started{nullptr};
  view.on("progress 50", [&] {
    while (started.load() == nullptr) std::this_thread::yield();
    logAtStop = bench.logLines();
    started.load()->requestStop();
  });
  startSearch();
  started = worker.get();
  ASSERT_TRUE(view.waitFor("progress 50"));
  worker->wait();

  EXPECT_EQ(view.events().back(), "progress 50");
  EXPECT_EQ(bench.logLines(), logAtStop);
  EXPECT_THAT(logAtStop, Not(Contains("INF findinrange")));
  EXPECT_THAT(logAtStop, Not(Contains(opened(30))));
}

// An error nobody expected, raised while a port list is being probed (the
// progress window up): the search ends as one that found nothing, with the
// progress window closed and the search commands back.
TEST_F(SearchWithoutGauge, AnUnexpectedErrorClosesTheProgressAndGivesTheCommandsBack) {
  struct Case {
    const char* during;  // the view's step right before the error
    const char* where;
  };
  const Case cases[] = {
      {"progress 0", "the remembered port"},
      {"progress 50", "the converter's second port"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    korsi::test::ViewRecorder seen;
    seen.on(c.during, [] { throw std::runtime_error("сбой драйвера порта"); });
    auto failed = korsi::DeviceFoundThread::start({bench.port(), bench.master(), bench.config(), driver}, seen,
                                                  std::make_shared<korsi::DirectHandOver>());
    failed->wait();

    const auto progress = seen.eventsStartingWith("progress");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), "progress closed");
    const auto events = seen.events();
    EXPECT_EQ(events.back(), "commands Search on");
    EXPECT_THAT(events, Not(Contains("commands Read on")));
    EXPECT_THAT(bench.logLines(), Contains("ERR Ошибка поиска устройства: сбой драйвера порта"));
    EXPECT_FALSE(bench.port().isActive());
  }
}

class SearchWithoutDriver : public DeviceSearch, public ::testing::Test {
 protected:
  SearchWithoutDriver() : DeviceSearch(3, false, {}) {}
};

TEST_F(SearchWithoutDriver, MissingDriverEndsTheProgramAndNothingElseRuns) {
  // Port 5 would answer in the range; the range must never be tried.
  attachGauge(5);
  search();

  EXPECT_THAT(searchLog(), ElementsAreArray(kStarted + std::vector<std::string>{
                                                          probing(3),
                                                          "INF findinregistry",
                                                          "ERR Драйвер устройства не установлен",
                                                      }));
  const auto events = view.events();
  ASSERT_GE(events.size(), 2u);
  EXPECT_THAT(std::vector(events.end() - 2, events.end()),
              ElementsAre("message Ошибка: Драйвер устройства не установлен [error icon]", "end -1"));
  EXPECT_THAT(events, Not(Contains("commands Search on")));
  EXPECT_EQ(gauge->counters().requestsSeen, 0u);
}

class SearchWithoutRememberedPort : public DeviceSearch, public ::testing::Test {
 protected:
  SearchWithoutRememberedPort() : DeviceSearch(std::nullopt, true, {}) {}
};

TEST_F(SearchWithoutRememberedPort, GaugeFoundInTheRangeIsReadyToRead) {
  // A configuration without "default_comport" has nowhere to remember the
  // port; the gauge found is still the user's to read from.
  attachGauge(5);
  search();

  const auto log = searchLog();
  EXPECT_THAT(log, Contains("ERR В файле конфига нет параметра default_comport"));
  EXPECT_THAT(log, Contains("INF Порт найден 5"));
  const auto events = view.events();
  EXPECT_THAT(events, Contains(kFoundBox));
  EXPECT_THAT(events, Contains("commands Read on"));
  EXPECT_EQ(events.back(), "caption Всего найдено 3 измерений");
  EXPECT_TRUE(bench.port().isActive());
  EXPECT_EQ(bench.port().getPortNumber(), 5);
}

// Ports whose device is there but refuses this user. Root opens any file
// whatever its mode, so for root the search runs as the user and group
// "nobody" without other groups; the process takes root back afterwards (its
// saved user stays root).
class RootSetAside {
 public:
  RootSetAside() {
    if (::geteuid() != 0) return;
    groups_.resize(static_cast<std::size_t>(::getgroups(0, nullptr)));
    groups_.resize(static_cast<std::size_t>(::getgroups(static_cast<int>(groups_.size()), groups_.data())));
    group_ = ::getegid();
    active_ = ::setgroups(0, nullptr) == 0 && ::setresgid(-1, kNobody, -1) == 0 && ::setresuid(-1, kNobody, -1) == 0;
  }
  ~RootSetAside() {
    if (::getuid() != 0) return;
    (void)::setresuid(-1, 0, -1);
    (void)::setresgid(-1, group_, -1);
    (void)::setgroups(groups_.size(), groups_.data());
  }
  RootSetAside(const RootSetAside&) = delete;
  RootSetAside& operator=(const RootSetAside&) = delete;
  bool failed() const { return ::geteuid() == 0 || (::getuid() == 0 && !active_); }

 private:
  static constexpr uid_t kNobody = 65534;
  std::vector<gid_t> groups_;
  gid_t group_ = 0;
  bool active_ = false;
};

struct RefusedCase {
  const char* name;
  mode_t mode;
  bool groupGivesAccess;  // the device's group may read and write it: that group is named
  std::vector<std::int32_t> converterPorts;
  std::int32_t named;  // the port the box names
};

void PrintTo(const RefusedCase& c, std::ostream* out) { *out << c.name; }

class SearchMeetingRefusedPorts : public DeviceSearch, public ::testing::TestWithParam<RefusedCase> {
 protected:
  SearchMeetingRefusedPorts() : DeviceSearch(7, true, GetParam().converterPorts) {}
  korsi::test::TempDir devices;
};

// The remembered port 7 and port 30 refuse the user, and the range tries
// both again: one box, naming the converter's port when the driver lists
// it (the gauge hangs there), else the first port that refused.
TEST_P(SearchMeetingRefusedPorts, TellsTheUserOnceWhichCommandGivesAccessAndFindsNothing) {
  for (const std::int32_t p : {7, 30}) {
    const std::string path = devices.file("ttyUSB" + std::to_string(p));
    korsi::test::writeFile(path, "");
    ASSERT_EQ(::chmod(path.c_str(), GetParam().mode), 0);
    bench.attach(p, path);
  }
  const std::int32_t named = GetParam().named;
  const std::string namedPath = devices.file("ttyUSB" + std::to_string(named));
  std::string group = "dialout";
  if (GetParam().groupGivesAccess) {
    struct stat info {};
    ASSERT_EQ(::stat(namedPath.c_str(), &info), 0);
    group = ::getgrgid(info.st_gid)->gr_name;
  }
  {
    RootSetAside asNobody;
    ASSERT_FALSE(asNobody.failed());
    search();
  }

  const std::string command = "sudo usermod -aG " + group + " $USER";
  const std::string text = korsi::accessRefusedText({named, namedPath, group});
  EXPECT_EQ(view.eventsStartingWith("message "),
            (std::vector<std::string>{"message Нет доступа к порту: " + text + " [error icon]"}));
  EXPECT_THAT(text, ::testing::HasSubstr("Порт COM" + std::to_string(named) + " (" + namedPath +
                                         ") есть, но у вас нет прав"));
  EXPECT_THAT(text, ::testing::HasSubstr("\n\n" + command + "\n\n"));
  EXPECT_THAT(text, ::testing::HasSubstr("войдите снова"));
  ASSERT_TRUE(worker->accessRefusal().has_value());
  EXPECT_EQ(worker->accessRefusal()->port, named);
  EXPECT_EQ(worker->accessRefusal()->command(), command);
  EXPECT_THAT(view.events(), Contains("status Устройство не найдено"));
  EXPECT_THAT(view.events(), Not(Contains("commands Read on")));
  EXPECT_FALSE(bench.port().isActive());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SearchMeetingRefusedPorts,
    ::testing::Values(RefusedCase{"NoAccessForAnyone", 0000, false, {30}, 30},
                      RefusedCase{"AccessForTheDevicesGroupOnly", 0060, true, {30}, 30},
                      RefusedCase{"NoConverterPortTheFirstRefused", 0000, false, {}, 7}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
