#include "services/ProcessObjects.h"

#include <utility>

namespace korsi {

// The device link is made here, between the log and the worker references.
// The port, its idle slave and the master join it with the serial layer.
struct ProcessObjects::DeviceLink {
  explicit DeviceLink(const ProcessObjects& /*objects*/) {}
};

ProcessObjects::ProcessObjects(Options options) : options_(std::move(options)) {
  try {
    config_.emplace(options_.configPath);
    made(Stage::Config);
    log_.emplace(*config_);
    setProcessLog(&*log_);
    made(Stage::Log);
    link_ = std::make_unique<DeviceLink>(*this);
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
  link_.reset();
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
