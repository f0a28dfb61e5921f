// Prints how long the archive table and its data files take:
//   - adding one measurement row at a time to the database (10,000 rows);
//   - saving and loading 100,000 rows as .ks and as .xml.
// Run from any directory; it works in a fresh temporary directory.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "storage/archive/archive_commands.h"
#include "storage/archive/archive_schema.h"
#include "storage/archive/archive_store.h"
#include "storage/recordset/data_file.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

korsi::ArchiveRow sampleRow(int i) {
  korsi::ArchiveRow row;
  row.num = i + 1;
  row.date = korsi::DateTime{2009, 3, 1 + i % 28, i % 24, i % 60, (i * 7) % 60};
  row.h = 0.001 * (i % 5000);
  if (i % 3 == 0) row.prim = "Примечание к измерению " + std::to_string(i);
  return row;
}

}  // namespace

int main() {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("korsi-bench-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  const korsi::archive::StorePaths paths{(dir / "korsi7.mdb").string(), (dir / "korsi7.mdb.backup").string()};
  if (const std::string error = korsi::archive::createArchiveDatabase(paths.database); !error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  int status = 0;
  {
    auto store = korsi::archive::ArchiveStore::openAtStartup(paths);

    constexpr int kAdds = 10000;
    auto start = Clock::now();
    for (int i = 0; i < kAdds; ++i) {
      const std::string date = korsi::measurementDateText(1 + i % 28, 3, 9, i % 24, i % 60, i % 60);
      if (!store->addMeasurement(i + 1, date, 0.001 * i)) status = 1;
    }
    const double addMs = millisecondsSince(start);
    std::printf("add one row (database, %d single-row adds): %.4f ms per row, %.1f ms in all\n", kAdds,
                addMs / kAdds, addMs);

    constexpr int kRows = 100000;
    std::vector<korsi::ArchiveRow> rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) rows.push_back(sampleRow(i));
    if (!store->replaceWithFileRows(rows)) status = 1;

    for (const char* name : {"bench.ks", "bench.xml"}) {
      // Fresh commands, so that the save asks for this name.
      korsi::archive::ArchiveCommands commands(*store);
      const std::string path = (dir / name).string();
      start = Clock::now();
      const auto saved = commands.save([&] { return std::optional<std::string>(path); });
      const double saveMs = millisecondsSince(start);
      start = Clock::now();
      const auto loaded = commands.load([&] { return std::optional<std::string>(path); });
      const double loadMs = millisecondsSince(start);
      if (!saved.saved || !loaded.loaded || store->rowCount() != static_cast<std::size_t>(kRows)) status = 1;
      std::printf("%s, %d rows, %.1f MB: save %.1f ms, load %.1f ms\n", name, kRows,
                  static_cast<double>(std::filesystem::file_size(path)) / 1e6, saveMs, loadMs);
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  if (status != 0) std::fprintf(stderr, "some operation failed\n");
  return status;
}
