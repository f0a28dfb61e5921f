#include "tools/transfer/transfer_link.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "app/process_objects.h"
#include "instrument/device_found_thread.h"
#include "services/utf8_path.h"

namespace korsi::transfer {

namespace {

std::string causeOf(int error) { return std::error_code(error, std::generic_category()).message(); }

// "fast_exchange 1" in the configuration asks for the fast exchange as the
// window takes it; without the key the fixed timing stays.
bool fastExchangeWanted(const Config& config) {
  try {
    return config.getInt(kFastExchangeKey) != 0;
  } catch (const ConfigException&) {
    return false;
  }
}

// The configuration's file: the one named, or ./kestro.conf when there is one.
std::optional<std::string> configFile(const TransferOptions& options) {
  if (options.configPath) return options.configPath;
  std::error_code ec;
  if (std::filesystem::exists(kConfigFileName, ec)) return std::string(kConfigFileName);
  return std::nullopt;
}

}  // namespace

std::unique_ptr<TransferLink> TransferLink::make(const TransferOptions& options, Refusal* refusal) {
  std::unique_ptr<TransferLink> link(new TransferLink());
  const auto file = configFile(options);
  if (file) {
    errno = 0;
    if (!std::ifstream(korsi::utf8Path(*file), std::ios::binary).is_open()) {
      *refusal = {kExitUsage, *file + ": cannot read the configuration: " + causeOf(errno != 0 ? errno : EIO)};
      return nullptr;
    }
    try {
      link->config_ = std::make_unique<Config>(*file, ConfigWriteBack::OnRequest);
    } catch (const ConfigException&) {
      *refusal = {kExitUsage, *file + ": cannot read the configuration"};
      return nullptr;
    }
  } else {
    link->config_ = std::make_unique<Config>(std::vector<std::string>{});
  }
  if (options.remember) {
    if (!file) {
      *refusal = {kExitUsage, "--remember needs a configuration file: ./kestro.conf or --config FILE"};
      return nullptr;
    }
    try {
      link->config_->getInt(kDefaultPortKey);
    } catch (const ConfigException&) {
      *refusal = {kExitUsage, *file + ": no " + kDefaultPortKey + " line for --remember to store the port in"};
      return nullptr;
    }
  }
  if (options.logPath) {
    errno = 0;
    try {
      link->log_ = std::make_unique<logstream>(*options.logPath);
    } catch (const std::runtime_error&) {
      *refusal = {kExitOutputFailed, *options.logPath + ": cannot create the log: " + causeOf(errno != 0 ? errno : EIO)};
      return nullptr;
    }
    setProcessLog(link->log_.get());
  }
  link->resolver_ = PortResolver::fromConfig(*link->config_);
  link->port_ = std::make_unique<TCommPort>(link->resolver_);
  link->slave_ = std::make_unique<Modbus::MBSlave>(*link->port_);
  link->master_ = std::make_unique<Modbus::MBMaster>(*link->port_);
  link->master_->setFastExchange(options.fast || fastExchangeWanted(*link->config_));
  link->driver_ = makeConverterDriver(link->resolver_);
  return link;
}

TransferLink::~TransferLink() {
  driver_.reset();
  master_.reset();
  slave_.reset();
  port_.reset();
  if (log_) {
    setProcessLog(nullptr);
    log_.reset();
  }
  config_.reset();
}

std::int32_t TransferLink::namePort(const std::string& argument) {
  const PortArgument named = portArgument(argument);
  if (named.number) return *named.number;
  if (const auto n = resolver_.portNumberOf(named.path)) return *n;
  std::int32_t n = DeviceFoundThread::kLastPortNumber + 1;
  while (resolver_.devicePath(n)) ++n;
  resolver_.setPath(n, named.path);
  port_->setPortResolver(resolver_);
  unnamedPort_ = n;
  return n;
}

std::string TransferLink::portLabel(std::int32_t n) const {
  const auto path = resolver_.devicePath(n);
  if (unnamedPort_ == n && path) return *path;
  const std::string name = "COM" + std::to_string(n);
  return path ? name + " (" + *path + ")" : name;
}

std::string TransferLink::rememberPort(std::int32_t n) {
  if (unnamedPort_ == n) {
    return "cannot remember " + portLabel(n) + ": no port number names it; add a line COM<n> " + portLabel(n) +
           " to " + config_->path();
  }
  try {
    config_->setInt(kDefaultPortKey, n);
    config_->writeBack();
  } catch (const ConfigException&) {
    return config_->path() + ": cannot write the configuration";
  }
  return {};
}

}  // namespace korsi::transfer
