// A platform without pseudo-terminals (Windows): a simulated gauge for a
// program that opens a device cannot be made; the training mode uses a line
// inside the program instead (in_process_line.h).
#include <cerrno>
#include <system_error>

#include "simulator/pseudo_terminal.h"

namespace korsi::sim {

struct PseudoTerminal::Impl {};

PseudoTerminal::PseudoTerminal() {
  throw std::system_error(std::make_error_code(std::errc::function_not_supported),
                          "this system has no pseudo-terminals");
}

// Never reached: no terminal is ever made.
PseudoTerminal::~PseudoTerminal() = default;
const std::string& PseudoTerminal::devicePath() const {
  static const std::string none;
  return none;
}
GaugeLine::ReadResult PseudoTerminal::read(unsigned char*, std::size_t, std::size_t*) { return ReadResult::Failed; }
std::size_t PseudoTerminal::dropInput() { return 0; }
void PseudoTerminal::write(const unsigned char*, std::size_t) {}
bool PseudoTerminal::pause(std::chrono::microseconds) { return false; }
void PseudoTerminal::wake() {}
void PseudoTerminal::close() {}

}  // namespace korsi::sim
