#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "link/port_resolver.h"
#include "services/config.h"
#include "tests/support/tempdir.h"

namespace {

struct Case {
  std::int32_t port;
  std::optional<std::string> path;
};

TEST(PortResolver, FixedBlocksNameTheLinuxDevices) {
  const korsi::PortResolver resolver;
  const std::vector<Case> cases = {
      {1, "/dev/ttyS0"},      {12, "/dev/ttyS11"},    {32, "/dev/ttyS31"},
      {33, "/dev/ttyUSB0"},   {96, "/dev/ttyUSB63"},  {97, "/dev/ttyACM0"},
      {160, "/dev/ttyACM63"}, {0, std::nullopt},      {-1, std::nullopt},
      {161, std::nullopt},    {1000, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(resolver.devicePath(c.port), c.path) << "COM" << c.port;
}

TEST(PortResolver, ConfigurationEntriesOverrideTheBlocks) {
  const korsi::PortResolver resolver({
      "log_file korsi.log",
      "default_comport 3",
      "COM3 /dev/pts/4   # the bench adapter",
      "COM3 /dev/ttyUSB9",  // a later line for the same number does not win
      "COM200 /dev/serial/by-id/usb-FTDI",
      "COM5",               // no path: ignored
      "COMx /dev/null",     // not a number: ignored
      "COM6x /dev/null",    // trailing text: ignored
      "com7 /dev/null",     // keys are case-sensitive like every key of the file
      "COM8 #commented",    // a comment is not a path
      "",
  });
  const std::vector<Case> cases = {
      {3, "/dev/pts/4"},   {200, "/dev/serial/by-id/usb-FTDI"},
      {5, "/dev/ttyS4"},   {6, "/dev/ttyS5"},
      {7, "/dev/ttyS6"},   {8, "/dev/ttyS7"},
      {201, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(resolver.devicePath(c.port), c.path) << "COM" << c.port;
}

TEST(PortResolver, ReadsTheEntriesOfTheConfigurationFile) {
  korsi::test::TempDir dir;
  korsi::test::writeFile(dir.file("kestro.conf"), "log_file korsi.log\nCOM1 /dev/ttyAMA0\n");
  const korsi::Config config(dir.file("kestro.conf"));
  korsi::PortResolver resolver = korsi::PortResolver::fromConfig(config);
  EXPECT_EQ(resolver.devicePath(1), "/dev/ttyAMA0");
  resolver.setPath(1, "/dev/ttyS9");
  EXPECT_EQ(resolver.devicePath(1), "/dev/ttyS9");
}

TEST(PortResolver, FindsTheNumberOfADevicePath) {
  const korsi::PortResolver resolver({
      "COM5 /dev/ttyUSB7",
      "COM40 /dev/pts/4",   // the fixed number of /dev/ttyUSB7 now names another device
      "COM200 /dev/pts/9",
      "COM7 /dev/pts/9",    // the lower of two numbers for one path wins
      "COM34 /dev/ttyUSB1", // overridden to its own fixed path: still that number
  });
  struct PathCase {
    std::string path;
    std::optional<std::int32_t> port;
  };
  const std::vector<PathCase> cases = {
      {"/dev/ttyUSB7", 5},        {"/dev/pts/4", 40},         {"/dev/pts/9", 7},
      {"/dev/ttyUSB1", 34},       {"/dev/ttyS0", 1},          {"/dev/ttyS31", 32},
      {"/dev/ttyUSB0", 33},       {"/dev/ttyUSB63", 96},      {"/dev/ttyACM0", 97},
      {"/dev/ttyACM63", 160},     {"/dev/ttyS32", std::nullopt},
      {"/dev/ttyUSB64", std::nullopt},                        {"/dev/ttyUSB07", std::nullopt},
      {"/dev/ttyUSB-1", std::nullopt},                        {"/dev/ttyUSB", std::nullopt},
      {"/dev/ttyUSB4294967329", std::nullopt},                {"/dev/ttyAMA0", std::nullopt},
      {"ttyUSB0", std::nullopt},  {"", std::nullopt},
  };
  for (const PathCase& c : cases) EXPECT_EQ(resolver.portNumberOf(c.path), c.port) << c.path;

  // Every number of the fixed blocks leads back to itself.
  const korsi::PortResolver plain;
  for (std::int32_t n = 1; n <= 160; ++n) EXPECT_EQ(plain.portNumberOf(*plain.devicePath(n)), n) << "COM" << n;
}

}  // namespace
