#include "instrument/device_found_thread.h"

#include <algorithm>
#include <exception>
#include <numeric>
#include <thread>

#include "instrument/gauge_messages.h"
#include "link/comm_port.h"
#include "link/modbus_master.h"
#include "services/config.h"

namespace korsi {

std::string accessRefusedText(const PortAccessRefusal& refusal) {
  return "Порт COM" + std::to_string(refusal.port) + " (" + refusal.path +
         ") есть, но у вас нет прав открыть его.\n\n"
         "Чтобы получить доступ к порту, выполните в терминале команду\n\n" +
         refusal.command() +
         "\n\nзатем выйдите из системы и войдите снова: новая группа действует только после нового входа.";
}

std::shared_ptr<DeviceFoundThread> DeviceFoundThread::start(SearchLink link, WorkerView& view, std::shared_ptr<HandOver> handOver) {
  std::shared_ptr<DeviceFoundThread> worker(new DeviceFoundThread(link, view, std::move(handOver)));
  worker->ThreadWorker::start();
  return worker;
}

std::shared_ptr<DeviceFoundThread> DeviceFoundThread::startOnPort(SearchLink link, std::int32_t port, WorkerView& view,
                                                                  std::shared_ptr<HandOver> handOver) {
  std::shared_ptr<DeviceFoundThread> worker(new DeviceFoundThread(link, view, std::move(handOver), port));
  worker->ThreadWorker::start();
  return worker;
}

DeviceFoundThread::DeviceFoundThread(SearchLink link, WorkerView& view, std::shared_ptr<HandOver> handOver,
                                     std::optional<std::int32_t> onlyPort)
    : ThreadWorker(std::move(handOver)), link_(link), view_(view), onlyPort_(onlyPort) {}

DeviceFoundThread::~DeviceFoundThread() { stopAndJoin(); }

void DeviceFoundThread::body() {
  try {
    Execute();
  } catch (const std::exception& error) {
    // Whatever went wrong, the user gets the commands back.
    WORKER_ERR("Ошибка поиска устройства: ", error.what());
    status_ = kNotFoundStatus;
    // The probe that showed the progress window may not have closed it.
    handOver([&view = view_] { view.closeProgress(); });
    endStep();
  }
  if (ending_) return;
  // The termination handler, run on the window's thread once the body has
  // ended by itself; never after Cancel.
  handOver([] { LOG_ERR("Поток поиска уничтожен"); });
}

void DeviceFoundThread::Execute() {
  WORKER_ERR("Поток поиска запущен");
  if (!handOver([&view = view_] {
        view.setCommandsEnabled(CommandGroup::Search, false);
        view.setCommandsEnabled(CommandGroup::Read, false);
      })) {
    return;
  }
  std::int32_t port = -1;
  if (onlyPort_) {
    port = findinlist({*onlyPort_});
  } else {
    port = findinconfig();
    if (port == -1 && !stopRequested()) port = findinregistry();
    if (port == -1 && !stopRequested() && !ending_) port = findinrange();
  }
  if (stopRequested() || ending_) return;
  if (port == -1) {
    status_ = kNotFoundStatus;
    if (!handOver([&view = view_] { view.setStatusText(kNotFoundStatus); })) return;
    WORKER_INF(kNotFoundStatus);
    // A refused port may well be the gauge: the user is told what to do,
    // once, however many ports refused.
    if (refusal_ && !handOver([&view = view_, text = accessRefusedText(*refusal_)] {
          view.showMessage(text, kAccessRefusedCaption, MessageIcon::Error);
        })) {
      return;
    }
  } else {
    foundStep(port);
  }
  endStep();
}

std::int32_t DeviceFoundThread::findinconfig() {
  WORKER_INF("findinconfig");
  std::int32_t remembered = 0;
  try {
    remembered = link_.config.getInt(kDefaultPortKey);
  } catch (const ConfigException&) {
    // Without a remembered port the other strategies still find the gauge.
    WORKER_ERR("В файле конфига нет параметра ", kDefaultPortKey);
    return -1;
  }
  return findinlist({remembered});
}

std::int32_t DeviceFoundThread::findinregistry() {
  WORKER_INF("findinregistry");
  const ConverterPorts converter = link_.driver.query();
  if (!converter.installed) {
    WORKER_ERR(kDriverMissingText);
    if (!handOver([&view = view_] { view.showMessage(kDriverMissingText, "Ошибка", MessageIcon::Error); })) {
      return -1;
    }
    ending_ = true;
    handOver([&view = view_] { view.endProgram(kDriverMissingExitStatus); });
    return -1;
  }
  if (converter.ports.empty()) return -1;
  probingConverter_ = true;
  const std::int32_t found = findinlist(converter.ports);
  probingConverter_ = false;
  return found;
}

std::int32_t DeviceFoundThread::findinrange() {
  WORKER_INF("findinrange");
  std::vector<std::int32_t> ports(kLastPortNumber);
  std::iota(ports.begin(), ports.end(), 1);
  return findinlist(ports);
}

bool DeviceFoundThread::settle() {
  // Waits in short steps, so that Cancel is not kept waiting, up to a fixed
  // end, so that the steps' oversleeping does not add up.
  constexpr std::chrono::milliseconds kStep{10};
  const auto until = std::chrono::steady_clock::now() + kSettleTime;
  for (auto now = std::chrono::steady_clock::now(); now < until; now = std::chrono::steady_clock::now()) {
    if (stopRequested()) return false;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kStep, until - now));
  }
  return !stopRequested();
}

std::int32_t DeviceFoundThread::findinlist(const std::vector<std::int32_t>& ports) {
  Modbus::Request::EchoMessage request;
  Modbus::Response::EchoMessage response;
  if (!handOver([&view = view_] { view.showProgress(); })) return -1;
  const auto n = static_cast<std::int32_t>(ports.size());
  for (std::int32_t i = 0; i < n; ++i) {
    const std::int32_t p = ports[static_cast<std::size_t>(i)];
    progress_ = i * 100 / n;
    WORKER_INF("Обработка порта COM", p);
    if (!handOver([&view = view_, percent = progress_] { view.setProgress(percent); })) return -1;
    try {
      link_.port.setPortNumber(p);
      link_.port.setActive(true);
      if (!settle()) return -1;
      WORKER_INF("Успешно открыт порт COM", p);
      for (int attempt = 0; attempt < kEchoAttempts; ++attempt) {
        if (stopRequested()) return -1;
        link_.master.send(request);
        const int r = link_.master.receive(response);
        if (stopRequested()) return -1;  // the answer came too late to count
        if (r >= 0) {
          WORKER_INF("Порт найден ", p);
          handOver([&view = view_] { view.closeProgress(); });
          return p;
        }
        WORKER_ERR("Ошибка при посылке Эхо ", r);
      }
      link_.port.setActive(false);
    } catch (const ComPortException&) {
      // The port has said why when a device is there; a number without one
      // passes silently.
      if (const auto& refused = link_.port.lastAccessRefusal();
          refused && (!refusal_ || (probingConverter_ && !refusalOfConverter_))) {
        refusal_ = PortAccessRefusal{p, refused->path, refused->group.empty() ? "dialout" : refused->group};
        refusalOfConverter_ = probingConverter_;
      }
      link_.port.setActive(false);
    }
  }
  handOver([&view = view_] { view.closeProgress(); });
  return -1;
}

void DeviceFoundThread::foundStep(std::int32_t port) {
  status_ = "Устройство найдено на порту COM" + std::to_string(port);
  if (!handOver([&view = view_] { view.showMessage(kFoundBoxText, kFoundBoxCaption, MessageIcon::None); })) return;
  if (!handOver([&view = view_, status = status_] { view.setStatusText(status); })) return;
  WORKER_INF(status_);
  try {
    link_.config.setInt(kDefaultPortKey, port);
  } catch (const ConfigException&) {
    // A configuration without the key cannot remember the port; the gauge
    // the user has just been told is ready stays ready to read.
    WORKER_ERR("В файле конфига нет параметра ", kDefaultPortKey);
  }
}

void DeviceFoundThread::endStep() {
  const bool found = status_ != kNotFoundStatus;
  if (!handOver([&view = view_, found] {
        view.setCommandsEnabled(CommandGroup::Search, true);
        if (found) view.setCommandsEnabled(CommandGroup::Read, true);
      })) {
    return;
  }
  if (!found || stopRequested()) return;
  Modbus::Request::ArchPoints request;
  Modbus::Response::ArchPoints response;
  link_.master.send(request);
  // The title shows 0 unless a reply of the archive-size shape came: a late
  // echo reply or a broken one holds no count.
  const int r = link_.master.receive(response);
  const unsigned count = r >= 0 && r <= 0x80 && response.wellFormed() ? response.count() : 0;
  handOver([&view = view_, count] { view.setCaption("Всего найдено " + std::to_string(count) + " измерений"); });
}

}  // namespace korsi
