// Reads arbitrary bytes as the settings file "kestro.conf", looks the keys
// up, changes a value with setInt and writes the file back, as a run of the
// program does. Whatever the bytes: no crash, no leak, and the file written
// back is exactly the entries, each followed by a line end, equal
// neighbours once.
//
// Input: the file's bytes; its first two bytes also choose the value setInt
// writes.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "services/config.h"
#include "services/error_box.h"
#include "tests/fuzz/fuzz_folder.h"

namespace {

void require(bool promise) {
  if (!promise) std::abort();
}

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Each write-back syncs the file and the folder: in memory where it can be.
  static korsi::fuzz::FuzzFolder folder("config");
  static const korsi::ErrorBoxHook quiet = korsi::setErrorBoxHook([](const std::string&, const std::string&, korsi::BoxIcon) {});
  (void)quiet;
  const std::string path = (folder.path / "kestro.conf").string();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const std::int32_t value = size >= 2 ? static_cast<std::int16_t>(data[0] << 8 | data[1]) : -1;
  try {
    korsi::Config config(path);
    for (const char* key : {"log_file", "default_comport", "COM1", "#"}) {
      try {
        config.getString(key);
        config.getInt(key);
      } catch (const korsi::ConfigException& e) {
        require(e.code() == korsi::ConfigException::kParameterNotFound);
      }
    }
    try {
      config.setInt("default_comport", value);
      require(config.getInt("default_comport") == value);
    } catch (const korsi::ConfigException& e) {
      require(e.code() == korsi::ConfigException::kParameterNotFound);
    }
    config.writeBack();
    std::string expected;
    const std::string* previous = nullptr;
    for (const std::string& entry : config.entries()) {
      if (previous == nullptr || *previous != entry) expected += entry + '\n';
      previous = &entry;
    }
    require(readWhole(path) == expected);
  } catch (const korsi::ConfigException& e) {
    require(e.code() == korsi::ConfigException::kNoFile);
  }
  return 0;
}
