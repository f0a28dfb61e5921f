// The converter's driver on Windows, against keys of the test's own under
// HKEY_CURRENT_USER shaped like the ones FTDI's driver and Windows write.
// Windows-only: the registry is where Windows keeps what
// converter_driver_test fakes with a sysfs tree on Linux.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "instrument/converter_driver.h"
#include "instrument/registry_walk_win32.h"
#include "link/port_resolver.h"
#include "services/utf16.h"

namespace {

using korsi::win32::widen;

// The keys live for one test and go with everything under them.
class FakeRegistry {
 public:
  FakeRegistry() : base_("Software\\korsi7-test-" + std::to_string(::GetCurrentProcessId())) {}
  ~FakeRegistry() { ::RegDeleteTreeW(HKEY_CURRENT_USER, widen(base_).c_str()); }
  FakeRegistry(const FakeRegistry&) = delete;
  FakeRegistry& operator=(const FakeRegistry&) = delete;

  void installDriver() const { close(create("FTDIBUS")); }

  // A device the driver has enumerated, with the port name it was given.
  void enumerateDevice(const std::string& device, const std::string& portName) const {
    const HKEY key = create("Enum\\" + device + "\\0000\\Device Parameters");
    const std::wstring value = widen(portName);
    ::RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    close(key);
  }

  void mapDevice(const std::string& device, const std::string& comName) const {
    const HKEY key = create("SERIALCOMM");
    const std::wstring value = widen(comName);
    ::RegSetValueExW(key, widen(device).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    close(key);
  }

  korsi::ConverterPorts query(const std::vector<std::string>& config = {}) const {
    korsi::ConverterDriverRoots roots;
    roots.driverKey = "HKCU\\" + base_ + "\\FTDIBUS";
    roots.enumKey = "HKCU\\" + base_ + "\\Enum";
    roots.serialCommKey = "HKCU\\" + base_ + "\\SERIALCOMM";
    return korsi::makeConverterDriver(korsi::PortResolver(config), roots)->query();
  }

 private:
  HKEY create(const std::string& name) const {
    HKEY key = nullptr;
    EXPECT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, widen(base_ + "\\" + name).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
  }
  static void close(HKEY key) {
    if (key != nullptr) ::RegCloseKey(key);
  }

  std::string base_;
};

TEST(WindowsConverterDriver, InstalledWhenItsServiceKeyOrItsDevicesAreThere) {
  {
    const FakeRegistry registry;
    const korsi::ConverterPorts none = registry.query();
    EXPECT_FALSE(none.installed);
    EXPECT_TRUE(none.ports.empty());
    registry.installDriver();
    const korsi::ConverterPorts installed = registry.query();
    EXPECT_TRUE(installed.installed);
    EXPECT_TRUE(installed.ports.empty()) << "installed, nothing ever plugged in";
  }
  {
    // A driver whose service key is elsewhere still has its devices' key.
    const FakeRegistry registry;
    registry.enumerateDevice("VID_0403+PID_6001+A10K1234A", "COM4");
    const korsi::ConverterPorts found = registry.query();
    EXPECT_TRUE(found.installed);
    EXPECT_EQ(found.ports, (std::vector<std::int32_t>{4}));
  }
}

// Devices enumerated once (plugged in now or not) and devices present now,
// each port once, in ascending order; names that are not a COM port and a
// number, and devices that are not the driver's, are passed over.
TEST(WindowsConverterDriver, ItsPortsOnceEachInAscendingOrder) {
  const FakeRegistry registry;
  registry.installDriver();
  registry.enumerateDevice("VID_0403+PID_6001+B", "COM12");
  registry.enumerateDevice("VID_0403+PID_6001+A", "COM30");
  registry.enumerateDevice("VID_0403+PID_6015+C", "LPT1");
  registry.enumerateDevice("VID_0403+PID_6015+D", "COMx");
  registry.mapDevice("\\Device\\VCP0", "COM12");    // the same device, present now
  registry.mapDevice("\\Device\\VCP1", "COM7");
  registry.mapDevice("\\Device\\Serial0", "COM1");  // the board's own port, not the converter's
  registry.mapDevice("\\Device\\VCPx", "COM8");     // not a device the driver names
  registry.mapDevice("\\Device\\VCP3", "COM300");   // beyond the COM names Windows gives
  const korsi::ConverterPorts found = registry.query();
  EXPECT_TRUE(found.installed);
  EXPECT_EQ(found.ports, (std::vector<std::int32_t>{7, 12, 30}));

  // A configuration that moves a number elsewhere: the device keeps the
  // number of its own entry, and the moved number no longer names it.
  const korsi::ConverterPorts moved = registry.query({"COM30 /dev/pts/1", "COM41 \\\\.\\COM12"});
  EXPECT_EQ(moved.ports, (std::vector<std::int32_t>{7, 41}));
}

struct WalkCase {
  const char* name;
  std::vector<LSTATUS> statuses;  // by index; past the end the last one repeats
  int enumerations;               // how many indices the walk asks
  int taken;                      // entries taken
};

void PrintTo(const WalkCase& c, std::ostream* out) { *out << c.name; }

class RegistryWalk : public ::testing::TestWithParam<WalkCase> {};

// A walk ends at the end of the key and at any error but "more data": an
// error that repeats for every index (a key deleted under the walk) must not
// keep it going for ever.
TEST_P(RegistryWalk, EndsAtTheEndAndAtAnyErrorButMoreData) {
  const WalkCase& c = GetParam();
  constexpr int kRunaway = 1000;  // a walk that would never end is stopped here
  int enumerations = 0;
  int taken = 0;
  korsi::win32::walkRegistryEntries(
      [&](DWORD index) -> LSTATUS {
        ++enumerations;
        if (enumerations >= kRunaway) return ERROR_NO_MORE_ITEMS;
        return c.statuses[std::min<std::size_t>(index, c.statuses.size() - 1)];
      },
      [&] { ++taken; });
  EXPECT_EQ(enumerations, c.enumerations);
  EXPECT_EQ(taken, c.taken);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, RegistryWalk,
    ::testing::Values(
        WalkCase{"ToTheEnd", {ERROR_SUCCESS, ERROR_SUCCESS, ERROR_NO_MORE_ITEMS}, 3, 2},
        WalkCase{"PassesOverAnEntryTooLong", {ERROR_SUCCESS, ERROR_MORE_DATA, ERROR_SUCCESS, ERROR_NO_MORE_ITEMS}, 4, 2},
        WalkCase{"KeyDeletedUnderIt", {ERROR_SUCCESS, ERROR_KEY_DELETED}, 2, 1},
        WalkCase{"AccessDeniedFromTheStart", {ERROR_ACCESS_DENIED}, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The same with the registry itself: a key deleted while a handle to it is
// still open answers the walk with an error, and the walk ends.
TEST(RegistryWalk, AKeyDeletedWhileOpenEndsTheWalk) {
  const std::wstring path = widen("Software\\korsi7-test-walk-" + std::to_string(::GetCurrentProcessId()));
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  for (const wchar_t* sub : {L"a", L"b"}) {
    HKEY child = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(key, sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr), ERROR_SUCCESS);
    ::RegCloseKey(child);
  }
  ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
  constexpr int kRunaway = 1000;
  int enumerations = 0;
  korsi::win32::walkRegistryEntries(
      [&](DWORD index) -> LSTATUS {
        if (++enumerations >= kRunaway) return ERROR_NO_MORE_ITEMS;
        wchar_t name[256];
        DWORD size = 256;
        return ::RegEnumKeyExW(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
      },
      [] {});
  ::RegCloseKey(key);
  EXPECT_LT(enumerations, 4);
}

}  // namespace
