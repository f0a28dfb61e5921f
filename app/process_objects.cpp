#include "app/process_objects.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "instrument/device_found_thread.h"
#include "services/error_box.h"

namespace korsi {

std::string alreadyRunningText(const std::string& folder) {
  return "Программа уже запущена в папке " + folder +
         ". Вторая копия не запускается, чтобы не испортить файлы первой: её журнал, настройки и базу данных.";
}

namespace {

// "fast_exchange 1" lets the master take each reply as soon as it is whole;
// without the key (or with 0) it keeps the fixed timing a real gauge may need.
bool fastExchangeWanted(const Config& config) {
  try {
    return config.getInt(kFastExchangeKey) != 0;
  } catch (const ConfigException&) {
    return false;
  }
}

std::string workingFolder(const std::string& configPath) {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::absolute(configPath, ec).parent_path();
  if (ec || folder.empty()) folder = ".";
  return folder.string();
}

}  // namespace

ProcessObjects::ProcessObjects(Options options) : options_(std::move(options)) {
  const std::string folder = workingFolder(options_.configPath);
  std::error_code ignored;
  if (folderLock_.acquire(folder, ignored) == platform::FolderLock::Outcome::HeldByAnother) {
    showErrorBox(alreadyRunningText(folder));
    throw AlreadyRunningError(alreadyRunningText(folder));
  }
  try {
    config_.emplace(options_.configPath);
    made(Stage::Config);
    log_.emplace(*config_);
    setProcessLog(&*log_);
    made(Stage::Log);
    PortResolver resolver = PortResolver::fromConfig(*config_);
    if (options_.temporaryPort) {
      const TemporaryPort& port = *options_.temporaryPort;
      if (port.open) {
        resolver.setDevice(port.number, port.path, port.open);
      } else {
        resolver.setPath(port.number, port.path);
      }
      try {
        rememberedPort_ = config_->getInt(kDefaultPortKey);
        config_->setInt(kDefaultPortKey, options_.temporaryPort->number);
      } catch (const ConfigException&) {
        // Without the key the search still reaches the port in its range.
      }
    }
    commPort_.emplace(std::move(resolver));
    made(Stage::Port);
    modbusSlave_.emplace(*commPort_);
    made(Stage::Slave);
    modbusMaster_.emplace(*commPort_);
    modbusMaster_->setFastExchange(fastExchangeWanted(*config_));
    made(Stage::Master);
    workers_.emplace();
    made(Stage::Workers);
  } catch (...) {
    teardown();
    throw;
  }
}

ProcessObjects::ProcessObjects() : ProcessObjects(Options{}) {}

ProcessObjects::~ProcessObjects() { teardown(); }

void ProcessObjects::made(Stage stage) const {
  if (options_.observer) options_.observer(stage, true);
}

void ProcessObjects::teardown() noexcept {
  auto gone = [this](Stage stage) {
    if (options_.observer) options_.observer(stage, false);
  };
  // Workers first: none may still be inside an exchange when the master, the
  // port and the log go.
  if (workers_) {
    workers_.reset();
    gone(Stage::Workers);
  }
  if (modbusMaster_) {
    modbusMaster_.reset();
    gone(Stage::Master);
  }
  if (modbusSlave_) {
    modbusSlave_.reset();
    gone(Stage::Slave);
  }
  if (commPort_) {
    commPort_.reset();
    gone(Stage::Port);
  }
  if (log_) {
    setProcessLog(nullptr);
    log_.reset();
    gone(Stage::Log);
  }
  if (config_) {
    // The user's own port goes back, whatever the search found on the temporary one.
    if (rememberedPort_) {
      try {
        config_->setInt(kDefaultPortKey, *rememberedPort_);
      } catch (const ConfigException&) {
      }
    }
    config_.reset();  // writes the file back
    gone(Stage::Config);
  }
}

}  // namespace korsi
