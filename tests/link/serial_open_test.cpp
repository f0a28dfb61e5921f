// Opening a port where no serial device is: the same outcomes on every
// platform, each in the platform's own words. (The opens that succeed need a
// peer on the other end: comm_port_test on a pseudo-terminal, and
// scripts/wine-serial-test.sh for Windows.)

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/comm_port.h"
#include "link/port_resolver.h"
#include "tests/support/log_capture.h"
#include "tests/support/tempdir.h"

namespace {

#ifdef _WIN32
constexpr const char* kFolderReason = "Is a folder (ERROR_ACCESS_DENIED)";
#else
constexpr const char* kFolderReason = "Is a directory (EISDIR)";
#endif

struct OpenFailure {
  const char* name;
  std::int32_t port;
  std::string path;          // empty: the number keeps its default (none)
  std::string reasonPrefix;  // empty: nothing is there, so nothing is logged
};

TEST(SerialOpen, WhereNoSerialDeviceIsTheOpenFailsAndSaysWhyOnlyWhenSomethingIsThere) {
  korsi::test::TempDir dir;
  korsi::test::LogCapture log;
  korsi::test::writeFile(dir.file("plain-file"), "not a serial device");
  const std::vector<OpenFailure> cases = {
      {"missing device", 9, dir.file("no-such-port"), ""},
      {"a plain file", 9, dir.file("plain-file"), "not a serial device: "},
      {"a folder", 9, dir.path().string(), kFolderReason},
      {"number without a device", 0, "", ""},
      {"number whose default device is not there", 160, "", ""},
  };
  for (const OpenFailure& c : cases) {
    SCOPED_TRACE(c.name);
    korsi::PortResolver paths;
    if (!c.path.empty()) paths.setPath(c.port, c.path);
    TCommPort port(paths);
    port.setPortNumber(c.port);
    const std::size_t before = log.entries().size();
    try {
      port.setActive(true);
      ADD_FAILURE() << "opened";
    } catch (const ComPortException& e) {
      EXPECT_EQ(e.code(), 1);
      EXPECT_EQ(e.deviceMissing(), c.reasonPrefix.empty());
    }
    EXPECT_FALSE(port.isActive());
    const auto logged = log.entries();
    if (c.reasonPrefix.empty()) {
      EXPECT_EQ(logged.size(), before);
      continue;
    }
    ASSERT_EQ(logged.size(), before + 1);
    EXPECT_EQ(logged.back().level, "ERR");
    const std::string line = "Can't open port COM9 (" + c.path + "): " + c.reasonPrefix;
    EXPECT_EQ(logged.back().message.substr(0, line.size()), line);
    // The platform's error name closes the line, as "(ENOTTY)" or "(ERROR_INVALID_FUNCTION)".
    EXPECT_EQ(logged.back().message.back(), ')');
  }
}

}  // namespace
