#include "inspection/job_file.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <filesystem>

#include "services/utf8_path.h"
#include "tests/support/tempdir.h"

namespace korsi::job {
namespace {

using test::TempDir;

InspectionJob sampleJob() {
  InspectionJob job;
  JobHeader& h = job.header;
  h.object = "Танкер «Волга», балластный танк 3";
  h.client = "ООО \"Судоремонт\"";
  h.coatingSystem = "эпоксидная, 2 слоя";
  h.coat = "2-й слой";
  h.inspector = "Иванов И. И.";
  h.gauge = "КОРСИ-7";
  h.gaugeSerial = "0457";
  h.date = "11.12.2026";
  h.rule = JobRule::SspcPa2;
  h.nominal = 100.0;
  h.maximum = 200.5;
  h.unit = JobUnit::Mil;
  h.level = 4;
  h.spotSize = 5;
  h.setUp = SetUp::Measured;
  h.measuredCorrection = 1.25;
  job.areas.push_back({"Палуба", 8.5, parseNumberRanges("1-3, 7").ranges, {}});
  job.areas.push_back({"Борт", std::nullopt, parseNumberRanges("4-6").ranges,
                       {JobRule::Pspc9010, 120.0, 300.0, 2, std::size_t{4}}});
  job.readings = {
      {1, DateTime{2026, 12, 10, 9, 5, 0}, 0.123, "у люка"},
      {2, std::nullopt, 0.1, std::nullopt},
      {3, DateTime{2026, 12, 10, 9, 6, 7}, std::nan(""), std::nullopt},
      {4, DateTime{2026, 12, 10, 9, 6, 8}, 0.0996, ""},
      {5, DateTime{2026, 12, 10, 9, 6, 9}, 1e-9, "«кавычки» и ' \""},
      {6, DateTime{2026, 12, 10, 9, 6, 10}, 0.25, std::nullopt},
      {7, DateTime{2026, 12, 10, 9, 6, 11}, 0.3, std::nullopt},
  };
  return job;
}

void expectSameJob(const InspectionJob& a, const InspectionJob& b) {
  EXPECT_EQ(a.header, b.header);
  EXPECT_EQ(a.areas, b.areas);
  ASSERT_EQ(a.readings.size(), b.readings.size());
  for (std::size_t i = 0; i < a.readings.size(); ++i) {
    SCOPED_TRACE(i);
    const JobReading& x = a.readings[i];
    const JobReading& y = b.readings[i];
    EXPECT_EQ(x.num, y.num);
    EXPECT_EQ(x.date, y.date);
    EXPECT_EQ(x.note, y.note);
    // Bit for bit, a NaN as a NaN.
    EXPECT_TRUE(x.h == y.h || (std::isnan(x.h) && std::isnan(y.h))) << x.h << " " << y.h;
  }
}

TEST(JobFile, WhatIsSavedOpensTheSameInAnotherFolder) {
  const InspectionJob job = sampleJob();
  TempDir here;
  const std::string saved = here.file("танк 3.kjob");
  ASSERT_EQ(saveJob(saved, job), "");
  // Saved again over itself: the replace leaves no temporary beside it.
  ASSERT_EQ(saveJob(saved, job), "");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(here.path()), std::filesystem::directory_iterator()), 1);

  TempDir elsewhere;  // no korsi7.mdb, nothing but the file
  const std::string copy = elsewhere.file("job.kjob");
  std::filesystem::copy_file(korsi::utf8Path(saved), korsi::utf8Path(copy));
  const OpenedJob opened = openJob(copy);
  ASSERT_TRUE(opened.ok()) << opened.error;
  expectSameJob(opened.job, job);
}

TEST(JobFile, AnEmptyJobRoundTrips) {
  TempDir dir;
  const std::string path = dir.file("empty.kjob");
  ASSERT_EQ(saveJob(path, {}), "");
  const OpenedJob opened = openJob(path);
  ASSERT_TRUE(opened.ok()) << opened.error;
  EXPECT_EQ(opened.job.header, JobHeader{});
  EXPECT_TRUE(opened.job.areas.empty());
}

TEST(JobFile, OverlappingAreasAreNotSavedAndTheOldFileStays) {
  TempDir dir;
  const std::string path = dir.file("job.kjob");
  ASSERT_EQ(saveJob(path, sampleJob()), "");
  const std::string before = test::readFile(path);
  InspectionJob wrong = sampleJob();
  wrong.areas[1].numbers = parseNumberRanges("3-6").ranges;
  EXPECT_EQ(saveJob(path, wrong),
            "Не удалось сохранить проверку в файл «" + path + "»: Замер № 3 отнесён к двум зонам: «Палуба» и «Борт»");
  EXPECT_EQ(test::readFile(path), before);
  EXPECT_NE(saveJob(dir.file("нет/job.kjob"), sampleJob()).find("«" + dir.file("нет/job.kjob") + "»"),
            std::string::npos);
}

void runSql(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

struct Refused {
  const char* what;
  void (*spoil)(const std::string& path);
  const char* cause;
};

TEST(JobFile, ADamagedNewerOrIncompleteFileIsRefusedNamingFileAndCause) {
  const Refused cases[] = {
      {"text, no database", [](const std::string& p) { test::writeFile(p, "num;date;h\n1;2;3\n"); }, "повреждён"},
      {"cut in half",
       [](const std::string& p) {
         const std::string bytes = test::readFile(p);
         test::writeFile(p, bytes.substr(0, bytes.size() / 2));
       },
       "повреждён"},
      {"pages overwritten",
       [](const std::string& p) {
         std::string bytes = test::readFile(p);
         for (std::size_t i = 4096; i < bytes.size(); i += 7) bytes[i] = '\x5a';
         test::writeFile(p, bytes);
       },
       "повреждён"},
      {"another database",
       [](const std::string& p) {
         std::filesystem::remove(p);
         runSql(p, "CREATE TABLE archive (num INTEGER, date DATETIME, h DOUBLE, Prim VARCHAR(255))");
       },
       "это не файл проверки КОРСИ-7"},
      {"newer format", [](const std::string& p) { runSql(p, "PRAGMA user_version=2"); },
       "более новой версией программы (формат 2, эта версия читает формат 1)"},
      {"a reading gone", [](const std::string& p) { runSql(p, "DELETE FROM readings WHERE num=5"); },
       "в зоне «Борт» не хватает замеров: сохранено 3, в файле 2"},
      {"a table gone", [](const std::string& p) { runSql(p, "DROP TABLE areas"); }, "повреждён"},
      {"areas made to overlap", [](const std::string& p) { runSql(p, "UPDATE areas SET numbers='2-4'"); },
       "отнесён к двум зонам"},
      {"a thickness as text", [](const std::string& p) { runSql(p, "UPDATE readings SET thickness_mm='x' WHERE num=6"); },
       "толщина замера не число"},
      {"an unknown rule", [](const std::string& p) { runSql(p, "UPDATE header SET value='iso' WHERE key='rule'"); },
       "правило"},
      {"no file", [](const std::string& p) { std::filesystem::remove(p); }, ""},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir.file("job.kjob");
    ASSERT_EQ(saveJob(path, sampleJob()), "");
    c.spoil(path);
    const OpenedJob opened = openJob(path);
    EXPECT_FALSE(opened.ok());
    EXPECT_TRUE(opened.error.starts_with("Не удалось открыть файл проверки «" + path + "»: ")) << opened.error;
    EXPECT_NE(opened.error.find(c.cause), std::string::npos) << opened.error;
    EXPECT_TRUE(opened.job.areas.empty() && opened.job.readings.empty());
  }
}

}  // namespace
}  // namespace korsi::job
