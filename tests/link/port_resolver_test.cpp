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

struct PathCase {
  std::string path;
  std::optional<std::int32_t> port;
};

// What the numbers name without a configuration entry is the platform's own:
// the fixed blocks of Linux devices, or Windows' COM devices themselves.
#ifdef _WIN32
const std::vector<Case> kDefaultPaths = {
    {1, "\\\\.\\COM1"},     {12, "\\\\.\\COM12"},   {255, "\\\\.\\COM255"},
    {0, std::nullopt},          {-1, std::nullopt},         {256, std::nullopt},
};
const std::vector<PathCase> kDefaultNumbers = {
    {"\\\\.\\COM1", 1},       {"\\\\.\\COM255", 255},   {"\\\\.\\COM256", std::nullopt},
    {"\\\\.\\COM05", std::nullopt}, {"\\\\.\\COM0", std::nullopt}, {"\\\\.\\COM-1", std::nullopt},
    {"\\\\.\\COM", std::nullopt},   {"COM5", std::nullopt},       {"\\\\.\\COM5x", std::nullopt},
    {"", std::nullopt},
};
constexpr std::int32_t kLastDefault = 255;
#else
const std::vector<Case> kDefaultPaths = {
    {1, "/dev/ttyS0"},      {12, "/dev/ttyS11"},    {32, "/dev/ttyS31"},
    {33, "/dev/ttyUSB0"},   {96, "/dev/ttyUSB63"},  {97, "/dev/ttyACM0"},
    {160, "/dev/ttyACM63"}, {0, std::nullopt},      {-1, std::nullopt},
    {161, std::nullopt},    {1000, std::nullopt},
};
const std::vector<PathCase> kDefaultNumbers = {
    {"/dev/ttyS0", 1},          {"/dev/ttyS31", 32},        {"/dev/ttyUSB0", 33},
    {"/dev/ttyUSB63", 96},      {"/dev/ttyACM0", 97},       {"/dev/ttyACM63", 160},
    {"/dev/ttyS32", std::nullopt},                          {"/dev/ttyUSB64", std::nullopt},
    {"/dev/ttyUSB07", std::nullopt},                        {"/dev/ttyUSB-1", std::nullopt},
    {"/dev/ttyUSB", std::nullopt},                          {"/dev/ttyUSB4294967329", std::nullopt},
    {"/dev/ttyAMA0", std::nullopt},                         {"ttyUSB0", std::nullopt},
    {"", std::nullopt},
};
constexpr std::int32_t kLastDefault = 160;
#endif

std::string defaultOf(std::int32_t n) { return *korsi::PortResolver::defaultPath(n); }

TEST(PortResolver, NumbersNameThePlatformsDevices) {
  const korsi::PortResolver resolver;
  for (const Case& c : kDefaultPaths) EXPECT_EQ(resolver.devicePath(c.port), c.path) << "COM" << c.port;
  for (const PathCase& c : kDefaultNumbers) EXPECT_EQ(resolver.portNumberOf(c.path), c.port) << c.path;
  // Every number with a device leads back to itself.
  for (std::int32_t n = 1; n <= kLastDefault; ++n) EXPECT_EQ(resolver.portNumberOf(defaultOf(n)), n) << "COM" << n;
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
      {5, defaultOf(5)},   {6, defaultOf(6)},
      {7, defaultOf(7)},   {8, defaultOf(8)},
  };
  for (const Case& c : cases) EXPECT_EQ(resolver.devicePath(c.port), c.path) << "COM" << c.port;
}

TEST(PortResolver, ReadsTheEntriesOfTheConfigurationFile) {
  korsi::test::TempDir dir;
  korsi::test::writeFile(dir.file("kestro.conf"), "log_file korsi.log\nCOM1 /dev/ttyAMA0\n");
  const korsi::Config config(dir.file("kestro.conf"));
  korsi::PortResolver resolver = korsi::PortResolver::fromConfig(config);
  EXPECT_EQ(resolver.devicePath(1), "/dev/ttyAMA0");
  resolver.setPath(1, defaultOf(10));
  EXPECT_EQ(resolver.devicePath(1), defaultOf(10));
}

TEST(PortResolver, FindsTheNumberOfADevicePath) {
  const std::string seventh = defaultOf(40);
  const std::string second = defaultOf(34);
  const korsi::PortResolver resolver({
      "COM5 " + seventh,
      "COM40 /dev/pts/4",   // the fixed number of that device now names another
      "COM200 /dev/pts/9",
      "COM7 /dev/pts/9",    // the lower of two numbers for one path wins
      "COM34 " + second,    // overridden to its own fixed path: still that number
  });
  const std::vector<PathCase> cases = {
      {seventh, 5},       {"/dev/pts/4", 40},     {"/dev/pts/9", 7},
      {second, 34},       {defaultOf(1), 1},      {defaultOf(96), 96},
  };
  for (const PathCase& c : cases) EXPECT_EQ(resolver.portNumberOf(c.path), c.port) << c.path;
}

}  // namespace
