#pragma once
// A line inside the program between the simulated gauge and the serial port:
// the gauge answers on one end (GaugeLine), and the other end is opened as a
// serial device of the program's own (link/serial_device.h), so the port, its
// threads and the master run as they do on a real line. No pseudo-terminal
// is needed, so the training mode works on every platform.
//
//   auto line = std::make_unique<korsi::sim::InProcessLine>();
//   korsi::serial::DeviceFactory open = line->deviceFactory();
//   gauge.start(std::move(line));
//   ... a port whose number is mapped to open reaches the gauge
//
// Bytes go over at once, in the pieces they were written in; the gauge's
// delays, pauses and faults come from the simulator, as on a pseudo-terminal.

#include <memory>
#include <string>

#include "link/serial_device.h"
#include "simulator/gauge_line.h"

namespace korsi::sim {

class InProcessLine : public GaugeLine {
 public:
  // name: what the port's log lines call the device.
  explicit InProcessLine(std::string name = "simulated gauge");
  ~InProcessLine() override;

  // Opens the program's end. It is held exclusively: while one device is
  // open a second open is refused as a device in use. The factory stays
  // usable after the line has gone (it then finds no device).
  serial::DeviceFactory deviceFactory() const;

  const std::string& devicePath() const override;
  ReadResult read(unsigned char* buffer, std::size_t capacity, std::size_t* count) override;
  std::size_t dropInput() override;
  void write(const unsigned char* bytes, std::size_t count) override;
  bool pause(std::chrono::microseconds duration) override;
  void wake() override;
  void close() override;

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  std::string name_;
};

}  // namespace korsi::sim
