#pragma once
// The device search: finds the serial port on which the gauge answers an echo
// request, trying the port remembered in the configuration, then the ports of
// the USB-to-serial converter's driver, then every port number from 1 to 255.
// The port stays open on the port found, the configuration remembers it, the
// archive size goes into the main window's title and the read commands come
// back. Runs on a thread of its own; everything it shows goes through the view.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "instrument/converter_driver.h"
#include "instrument/thread_worker.h"
#include "instrument/worker_view.h"

class TCommPort;

namespace Modbus {
class MBMaster;
}

namespace korsi {

class Config;

// What the search works with: the one port, its master, the configuration
// (key "default_comport") and the converter's driver.
struct SearchLink {
  TCommPort& port;
  Modbus::MBMaster& master;
  Config& config;
  const ConverterDriver& driver;
};

inline constexpr const char* kNotFoundStatus = "Устройство не найдено";
inline constexpr const char* kDriverMissingText = "Драйвер устройства не установлен";
inline constexpr const char* kFoundBoxText = "Устройство найдено и готово к работе";
inline constexpr const char* kFoundBoxCaption = "Внимание";
inline constexpr const char* kDefaultPortKey = "default_comport";
inline constexpr const char* kAccessRefusedCaption = "Нет доступа к порту";

// A port whose device is there but refused this user.
struct PortAccessRefusal {
  std::int32_t port = 0;
  std::string path;
  // The group to join: the one that owns the device when it gives access,
  // else "dialout", which owns the serial ports on Debian.
  std::string group;
  // The command that adds the user to that group.
  std::string command() const { return "sudo usermod -aG " + group + " $USER"; }
};

// What the user is told when a search found no gauge but met a refused port.
std::string accessRefusedText(const PortAccessRefusal& refusal);

// Exit status of the program when the converter's driver is not installed.
inline constexpr int kDriverMissingExitStatus = -1;

class DeviceFoundThread final : public ThreadWorker {
 public:
  // A port that opens is given this long before the first echo.
  static constexpr std::chrono::milliseconds kSettleTime{100};
  static constexpr int kEchoAttempts = 10;
  static constexpr std::int32_t kLastPortNumber = 255;

  // Creates the worker, running: its body starts at once.
  static std::shared_ptr<DeviceFoundThread> start(SearchLink link, WorkerView& view, std::shared_ptr<HandOver> handOver);
  // The same search with one candidate only, the port the user named: the
  // probe of that port in place of the three strategies, then the found step
  // and the end step as always.
  static std::shared_ptr<DeviceFoundThread> startOnPort(SearchLink link, std::int32_t port, WorkerView& view,
                                                        std::shared_ptr<HandOver> handOver);
  ~DeviceFoundThread() override;

  // The whole search (the worker's body).
  void Execute();

  // The strategies; each returns the port found or -1.
  std::int32_t findinconfig();
  std::int32_t findinregistry();
  std::int32_t findinrange();
  // The probe of every strategy: each port of the list in order.
  std::int32_t findinlist(const std::vector<std::int32_t>& ports);

  // The port of this search that refused the user and is told: the first of
  // the converter's ports that did (the gauge hangs there, and /dev/ttyS0,
  // which most computers refuse, is no news), else the first port that did.
  // Read after the worker has ended.
  const std::optional<PortAccessRefusal>& accessRefusal() const noexcept { return refusal_; }

 private:
  DeviceFoundThread(SearchLink link, WorkerView& view, std::shared_ptr<HandOver> handOver,
                    std::optional<std::int32_t> onlyPort = std::nullopt);
  void body() override;
  void foundStep(std::int32_t port);
  void endStep();
  bool settle();

  SearchLink link_;
  WorkerView& view_;
  // The one port to probe, when the user named it.
  std::optional<std::int32_t> onlyPort_;
  // Percentage of the current port list already tried.
  std::int32_t progress_ = 0;
  // Panel 0's text; also tells the end step whether a port was found.
  std::string status_;
  // The refused port told once when the search finds no gauge, and whether
  // it is the converter's.
  std::optional<PortAccessRefusal> refusal_;
  bool refusalOfConverter_ = false;
  // The ports being probed are the converter's.
  bool probingConverter_ = false;
  // The converter's driver is missing and the program is ending.
  bool ending_ = false;
};

}  // namespace korsi
