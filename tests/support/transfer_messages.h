#pragma once
// The lines of korsi7-transfer's standard error that are its messages (not
// progress), for the tests that run the program.

#include <sstream>
#include <string>
#include <vector>

namespace korsi::test {

inline std::vector<std::string> transferMessageLines(const std::string& err) {
  std::vector<std::string> lines;
  std::istringstream in(err);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("korsi7-transfer: ")) lines.push_back(line);
  }
  return lines;
}

}  // namespace korsi::test
