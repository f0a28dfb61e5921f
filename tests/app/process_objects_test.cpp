#include "app/process_objects.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/error_box_recorder.h"
#include "tests/support/pty_peer.h"
#include "tests/support/tempdir.h"
#include "tests/support/test_worker.h"

namespace {

using korsi::ConfigException;
using korsi::ProcessObjects;
using Stage = korsi::ProcessObjects::Stage;
using korsi::test::readFile;
using korsi::test::TestWorker;
using korsi::test::writeFile;

using Step = std::pair<Stage, bool>;

const char* stageName(Stage stage) {
  switch (stage) {
    case Stage::Config: return "config";
    case Stage::Log: return "log";
    case Stage::Port: return "port";
    case Stage::Slave: return "slave";
    case Stage::Master: return "master";
    case Stage::Workers: return "workers";
  }
  return "?";
}

std::vector<std::string> described(const std::vector<Step>& steps) {
  std::vector<std::string> out;
  for (const auto& [stage, made] : steps) out.push_back(std::string(made ? "+" : "-") + stageName(stage));
  return out;
}

class ProcessObjectsTest : public ::testing::Test {
 protected:
  void writeConfig(const std::string& text) { writeFile(configPath, text); }
  ProcessObjects::Options options() {
    return {configPath, [this](Stage stage, bool made) {
              steps.emplace_back(stage, made);
              if (onStep) onStep(stage, made);
            }};
  }

  korsi::test::TempDir dir;
  std::string configPath = dir.file("kestro.conf");
  std::string logPath = dir.file("korsi7.log");
  std::vector<Step> steps;
  std::function<void(Stage, bool)> onStep;
};

TEST_F(ProcessObjectsTest, MadeInOrderAndDestroyedInReverseWritingTheConfigurationLast) {
  const std::string original = "log_file " + logPath + "\ndefault_comport 3\n";
  writeConfig(original);
  std::vector<std::string> configAtEachEnd;
  onStep = [&](Stage stage, bool made) {
    if (made && stage == Stage::Log) {
      EXPECT_NE(korsi::processLog(), nullptr);
      EXPECT_TRUE(std::filesystem::exists(logPath));
    }
    if (!made) configAtEachEnd.push_back(readFile(configPath));
    if (!made && stage == Stage::Log) {
      EXPECT_EQ(korsi::processLog(), nullptr);
    }
  };
  {
    ProcessObjects objects(options());
    EXPECT_EQ(korsi::processLog(), &objects.log());
    EXPECT_EQ(objects.config().getInt("default_comport"), 3);
    EXPECT_FALSE(objects.commPort().isActive());
    EXPECT_EQ(objects.commPort().getBaudIndex(), TCommPort::kBaud115200);  // set by the master's adapter
  }
  EXPECT_EQ(described(steps),
            (std::vector<std::string>{"+config", "+log", "+port", "+slave", "+master", "+workers", "-workers",
                                      "-master", "-slave", "-port", "-log", "-config"}));
  // Untouched until the configuration itself goes; then written back even
  // though nothing changed (the file settles with one empty last line).
  const std::string settled = original + "\n";
  EXPECT_EQ(configAtEachEnd, (std::vector<std::string>{original, original, original, original, original, settled}));
}

TEST_F(ProcessObjectsTest, FastExchangeFollowsTheConfigurationKeyAndIsOffWithoutIt) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"", false},
      {"fast_exchange 0\n", false},
      {"fast_exchange 1\n", true},
      {"fast_exchange\n", false},
  };
  for (const auto& [line, fast] : cases) {
    SCOPED_TRACE(line);
    writeConfig("log_file " + logPath + "\n" + line);
    ProcessObjects objects(options());
    EXPECT_EQ(objects.modbusMaster().fastExchange(), fast);
  }
}

// The training mode's simulated gauge: the search finds it first, and the
// file written back at exit is the user's own again, even after the search
// remembered the temporary port.
TEST_F(ProcessObjectsTest, TemporaryPortIsSearchedFirstAndLeavesNoTraceInTheConfiguration) {
  const std::string original = "log_file " + logPath + "\ndefault_comport 3\nCOM5 /dev/ttyUSB9\n";
  writeConfig(original);
  {
    ProcessObjects objects({configPath, {}, ProcessObjects::TemporaryPort{200, "/dev/pts/77"}});
    EXPECT_EQ(objects.config().getInt("default_comport"), 200);
    objects.commPort().setPortNumber(200);
    EXPECT_FALSE(objects.commPort().isActive());
    objects.config().setInt("default_comport", 200);  // what a search that found it does
  }
  // The user's port, in the form the program writes it.
  EXPECT_EQ(readFile(configPath), "log_file " + logPath + "\ndefault_comport\t3\nCOM5 /dev/ttyUSB9\n\n");
}

TEST_F(ProcessObjectsTest, MissingConfigurationShowsItsMessageAndMakesNothingElse) {
  korsi::test::ErrorBoxRecorder boxes;
  int code = 0;
  try {
    ProcessObjects objects(options());
  } catch (const ConfigException& e) {
    code = e.code();
  }
  EXPECT_EQ(code, ConfigException::kNoFile);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Не могу открыть файл конфига на чтение");
  EXPECT_EQ(boxes.boxes[0].caption, "Ошибка");
  EXPECT_TRUE(steps.empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  EXPECT_EQ(korsi::processLog(), nullptr);
}

// A second copy started on the same working folder, in this process and in
// another one: refused with its message before it reads, empties or writes
// any file of the first.
TEST_F(ProcessObjectsTest, ASecondCopyOnTheSameFolderIsRefusedBeforeItTouchesAnything) {
  const std::string original = "log_file " + logPath + "\ndefault_comport 3\n";
  writeConfig(original);
  const std::string refusal = korsi::alreadyRunningText(dir.path().string());
  {
    ProcessObjects first(options());
    LOG_INF("first copy");
    const std::string firstLog = readFile(logPath);

    korsi::test::ErrorBoxRecorder boxes;
    EXPECT_THROW(ProcessObjects second(ProcessObjects::Options{configPath, {}}), korsi::AlreadyRunningError);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, refusal);
    EXPECT_EQ(korsi::processLog(), &first.log());

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      korsi::test::ErrorBoxRecorder childBoxes;
      try {
        ProcessObjects other(ProcessObjects::Options{configPath, {}});
        _exit(1);
      } catch (const korsi::AlreadyRunningError&) {
        _exit(childBoxes.boxes.size() == 1 && childBoxes.boxes[0].text == refusal ? 0 : 2);
      } catch (...) {
        _exit(3);
      }
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;

    EXPECT_EQ(readFile(logPath), firstLog) << "the first copy's log was emptied";
    EXPECT_EQ(readFile(configPath), original);
  }
  // Once the first copy has ended, the folder is free again.
  EXPECT_NO_THROW(ProcessObjects again(ProcessObjects::Options{configPath, {}}));
}

// Failures of the log: what is shown, and the configuration made before it
// is destroyed again (and written back) as at a normal end.
struct LogFailure {
  const char* name;
  std::string logFileLine;
  bool configException;  // else a plain std::exception
  std::vector<std::string> boxTexts;
};

class ProcessObjectsLogFailure : public ProcessObjectsTest,
                                 public ::testing::WithParamInterface<LogFailure> {};

TEST_P(ProcessObjectsLogFailure, EndsStartUpAfterUndoingTheConfiguration) {
  const LogFailure& c = GetParam();
  writeConfig(c.logFileLine + "default_comport 3\n");
  korsi::test::ErrorBoxRecorder boxes;
  bool configException = false;
  bool otherException = false;
  try {
    ProcessObjects objects(options());
  } catch (const ConfigException& e) {
    configException = e.code() == ConfigException::kParameterNotFound;
  } catch (const std::exception&) {
    otherException = true;
  }
  EXPECT_EQ(configException, c.configException);
  EXPECT_EQ(otherException, !c.configException);
  std::vector<std::string> texts;
  for (const auto& box : boxes.boxes) texts.push_back(box.text);
  EXPECT_EQ(texts, c.boxTexts);
  EXPECT_EQ(described(steps), (std::vector<std::string>{"+config", "-config"}));
  EXPECT_EQ(korsi::processLog(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProcessObjectsLogFailure,
    ::testing::Values(LogFailure{"KeyMissing", "", true, {}},
                      LogFailure{"FolderMissing", "log_file no-such-folder/korsi7.log\n", false,
                                 {"Не могу создать файл логов на запись"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Workers still exchanging with the gauge when the program ends are stopped
// and waited for before the master, the port and the log they use go; the
// master's adapter then closes the port.
TEST_F(ProcessObjectsTest, ShutdownStopsAndWaitsForRunningWorkersBeforeTheLinkAndTheLogGo) {
  korsi::test::PtyPeer gauge;  // silent: every exchange waits for its full time
  writeConfig("log_file " + logPath + "\ndefault_comport 7\n" + gauge.configEntry(7) + "\n");
  std::shared_ptr<TestWorker> search;
  std::shared_ptr<TestWorker> reading;
  TCommPort* port = nullptr;
  onStep = [&](Stage stage, bool made) {
    if (made) return;
    if (stage == Stage::Workers) {
      EXPECT_FALSE(search->isRunning());
      EXPECT_FALSE(reading->isRunning());
      EXPECT_TRUE(port->isActive());
    }
    if (stage == Stage::Master) {
      EXPECT_FALSE(port->isActive());
      EXPECT_NE(korsi::processLog(), nullptr);
    }
  };
  {
    ProcessObjects objects(options());
    port = &objects.commPort();
    port->setPortNumber(7);
    port->setActive(true);
    ASSERT_TRUE(port->isActive());
    Modbus::MBMaster& master = objects.modbusMaster();
    auto echo = [&master] {
      Modbus::Request::EchoMessage request;
      Modbus::Response::EchoMessage response;
      master.send(request);
      LOG_INF("echo ", master.receive(response));
    };
    search = std::make_shared<TestWorker>([] { LOG_INF("searching"); });
    reading = std::make_shared<TestWorker>(echo);
    objects.workers().setSearch(search);
    objects.workers().setReading(reading);
    while (reading->exchanges() < 1 || search->exchanges() < 1) std::this_thread::yield();
  }
  EXPECT_TRUE(search->stopRequested());
  EXPECT_TRUE(reading->stopRequested());
  EXPECT_EQ(described(steps).back(), "-config");
}

TEST(CurrentWorkers, StopAsksWithoutWaitingAndALaterCommandWaitsForTheStoppedWorker) {
  korsi::CurrentWorkers workers;
  EXPECT_FALSE(workers.stopSearch());
  EXPECT_FALSE(workers.stopReading());

  auto held = std::make_shared<TestWorker>(std::function<void()>{}, /*held=*/true);
  workers.setReading(held);
  EXPECT_TRUE(workers.stopReading());
  EXPECT_EQ(workers.reading(), nullptr);
  EXPECT_TRUE(held->stopRequested());
  EXPECT_TRUE(held->isRunning());  // still inside its exchange: Cancel did not wait
  EXPECT_TRUE(workers.anyRunning());

  held->leaveExchange();
  workers.waitForStopped();
  EXPECT_FALSE(held->isRunning());
  EXPECT_FALSE(workers.anyRunning());
}

TEST(CurrentWorkers, AFinishedWorkerStaysReferencedUntilCancel) {
  korsi::CurrentWorkers workers;
  auto search = std::make_shared<TestWorker>();
  workers.setSearch(search);
  search->finish();
  search->wait();
  EXPECT_EQ(workers.search(), search);
  EXPECT_FALSE(search->stopRequested());
  EXPECT_TRUE(workers.stopSearch());  // not affected, only released
  EXPECT_EQ(workers.search(), nullptr);
}

}  // namespace
