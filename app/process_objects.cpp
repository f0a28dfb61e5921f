#include "app/process_objects.h"

#include <utility>

namespace korsi {

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

}  // namespace

ProcessObjects::ProcessObjects(Options options) : options_(std::move(options)) {
  try {
    config_.emplace(options_.configPath);
    made(Stage::Config);
    log_.emplace(*config_);
    setProcessLog(&*log_);
    made(Stage::Log);
    commPort_.emplace(PortResolver::fromConfig(*config_));
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
    config_.reset();  // writes the file back
    gone(Stage::Config);
  }
}

}  // namespace korsi
