// The whole device link against the simulated gauge on a real pseudo-terminal:
// port, slave and master made as at start-up, the gauge's requests sent, the
// replies classified and decoded. Each fault the gauge can show must end in
// the result code the master promises for it.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "instrument/gauge_messages.h"
#include "instrument/meash.h"
#include "link/comm_port.h"
#include "link/modbus_master.h"
#include "link/port_resolver.h"
#include "services/config.h"
#include "services/logs.h"
#include "tests/support/tempdir.h"
#include "simulator/gauge_archive.h"
#include "simulator/gauge_simulator.h"

namespace {

using namespace std::chrono_literals;

constexpr int kPort = 7;

enum class Ask { Echo, ArchiveSize, Measurement };

struct ExchangeCase {
  const char* name;
  korsi::sim::GaugeFaults faults;
  Ask ask;
  int result;
  // Archive size for ArchiveSize; exception code for an exception result;
  // the number carried by the reply for Measurement.
  int detail = 0;
};

void PrintTo(const ExchangeCase& c, std::ostream* out) { *out << c.name; }

korsi::sim::GaugeFaults faults(void (*change)(korsi::sim::GaugeFaults&)) {
  korsi::sim::GaugeFaults f;
  if (change) change(f);
  return f;
}

class GaugeExchange : public ::testing::TestWithParam<ExchangeCase> {
 protected:
  static constexpr std::uint16_t kAsked = 7;

  void SetUp() override {
    korsi::sim::SimulatorConfig config;
    config.archive = korsi::sim::generateArchive(20, 3);
    config.faults = GetParam().faults;
    archive = config.archive;
    gauge = std::make_unique<korsi::sim::GaugeSimulator>(config);
    gauge->start();

    korsi::test::writeFile(dir.file("kestro.conf"), "log_file " + dir.file("korsi.log") + "\nCOM" +
                                                        std::to_string(kPort) + " " +
                                                        gauge->devicePath() + "\n");
    settings = std::make_unique<korsi::Config>(dir.file("kestro.conf"));
    log = std::make_unique<korsi::logstream>(*settings);
    korsi::setProcessLog(log.get());
    port = std::make_unique<TCommPort>(korsi::PortResolver::fromConfig(*settings));
    slave = std::make_unique<Modbus::MBSlave>(*port);
    master = std::make_unique<Modbus::MBMaster>(*port);
    port->setPortNumber(kPort);
    port->setActive(true);
  }

  void TearDown() override {
    master.reset();
    slave.reset();
    port.reset();
    korsi::setProcessLog(nullptr);
    log.reset();
    gauge->stop();
  }

  korsi::test::TempDir dir;
  std::vector<Meash> archive;
  std::unique_ptr<korsi::sim::GaugeSimulator> gauge;
  std::unique_ptr<korsi::Config> settings;
  std::unique_ptr<korsi::logstream> log;
  std::unique_ptr<TCommPort> port;
  std::unique_ptr<Modbus::MBSlave> slave;
  std::unique_ptr<Modbus::MBMaster> master;
};

TEST_P(GaugeExchange, ResultMatchesWhatTheGaugeDid) {
  const ExchangeCase& c = GetParam();
  switch (c.ask) {
    case Ask::Echo: {
      Modbus::Request::EchoMessage request;
      Modbus::Response::EchoMessage response;
      master->send(request);
      EXPECT_EQ(master->receive(response), c.result);
      break;
    }
    case Ask::ArchiveSize: {
      Modbus::Request::ArchPoints request;
      Modbus::Response::ArchPoints response;
      master->send(request);
      ASSERT_EQ(master->receive(response), c.result);
      EXPECT_EQ(response.count(), c.detail);
      break;
    }
    case Ask::Measurement: {
      Modbus::Request::MeashPoint request;
      Modbus::Response::MeashPoint response;
      request.setNum(kAsked);
      master->send(request);
      const int result = master->receive(response);
      ASSERT_EQ(result, c.result);
      if (result == 6) {
        Meash m{};
        ASSERT_TRUE(getMeash(response, &m));
        EXPECT_EQ(m.num, c.detail);
        const Meash& stored = archive[kAsked - 1];
        EXPECT_EQ(m.h, stored.h);
        EXPECT_EQ(std::tie(m.sec, m.min, m.hour, m.day, m.month, m.year),
                  std::tie(stored.sec, stored.min, stored.hour, stored.day, stored.month, stored.year));
      } else if (result > 0x80) {
        EXPECT_EQ(master->exception().code(), c.detail);
      }
      break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Simulator, GaugeExchange,
    ::testing::Values(
        ExchangeCase{"Echo", faults(nullptr), Ask::Echo, 4},
        ExchangeCase{"ArchiveSize", faults(nullptr), Ask::ArchiveSize, 5, 20},
        ExchangeCase{"ArchiveSizeAbove500",
                     faults([](korsi::sim::GaugeFaults& f) { f.archiveSize = 501; }), Ask::ArchiveSize,
                     5, 501},
        ExchangeCase{"Measurement", faults(nullptr), Ask::Measurement, 6, 7},
        ExchangeCase{"WrongMeasurementNumber",
                     faults([](korsi::sim::GaugeFaults& f) { f.wrongNumRate = 1.0; }), Ask::Measurement,
                     6, 8},
        ExchangeCase{"ChecksumFault",
                     faults([](korsi::sim::GaugeFaults& f) { f.crcFaultRate = 1.0; }), Ask::Echo,
                     Modbus::Result::kPacketCrcError},
        ExchangeCase{"ExceptionChecksumFault",
                     faults([](korsi::sim::GaugeFaults& f) {
                       f.crcFaultRate = 1.0;
                       f.exceptions[6] = 4;
                     }),
                     Ask::Measurement, Modbus::Result::kExceptionCrcError},
        ExchangeCase{"OtherAddress",
                     faults([](korsi::sim::GaugeFaults& f) { f.replyAddress = 2; }), Ask::Echo,
                     Modbus::Result::kDeviceAddressError},
        ExchangeCase{"ExceptionReply",
                     faults([](korsi::sim::GaugeFaults& f) { f.exceptions[6] = 4; }), Ask::Measurement,
                     0x86, 4},
        ExchangeCase{"Silent", faults([](korsi::sim::GaugeFaults& f) { f.silentAfter = 0; }),
                     Ask::Echo, Modbus::Result::kNoReply},
        // Far longer than the master waits, however the machine stretches its sleeps.
        ExchangeCase{"LateReply", faults([](korsi::sim::GaugeFaults& f) { f.delay = 2000ms; }),
                     Ask::Echo, Modbus::Result::kNoReply},
        ExchangeCase{"ExtraBytesAfterReply",
                     faults([](korsi::sim::GaugeFaults& f) { f.extraBytes = 2; }), Ask::Echo,
                     Modbus::Result::kPacketCrcError},
        ExchangeCase{"PauseInsideReply",
                     faults([](korsi::sim::GaugeFaults& f) { f.pauseMidReply = 500ms; }),
                     Ask::Measurement, Modbus::Result::kPacketCrcError}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
