#include "inspection/job_file.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <limits>

#include "services/utf8_path.h"
#include "tests/support/tempdir.h"
#include "tests/support/time_limit.h"

namespace korsi::job {
namespace {

using test::TempDir;

void runSql(const std::string& path, const char* sql);

InspectionJob sampleJob() {
  InspectionJob job;
  job.id = "0b7e3c1a-5d2f-4e8a-9c41-7f2a6b0d9e13";
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
  job.areas.push_back({"Палуба", inspection::squareMetresSurface(8.5), parseNumberRanges("1-3, 7").ranges, {}, {}});
  job.areas.push_back({"Борт", inspection::squareFeetSurface(1050.0), parseNumberRanges("4-6").ranges,
                       {JobRule::Pspc9010, 120.0, 300.0, 2, std::size_t{4}}, inspection::SurfaceKind::Complex});
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
  EXPECT_EQ(a.id, b.id);
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

TEST(JobFile, AFileSavedBeforeJobsHadAnIdentityOpensWithoutOne) {
  TempDir dir;
  const std::string path = dir.file("old.kjob");
  ASSERT_EQ(saveJob(path, sampleJob()), "");
  runSql(path, "DELETE FROM header WHERE key='job_id'");
  const OpenedJob opened = openJob(path);
  ASSERT_TRUE(opened.ok()) << opened.error;
  EXPECT_EQ(opened.job.id, "");
  InspectionJob expected = sampleJob();
  expected.id.clear();
  expectSameJob(opened.job, expected);
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

// The sample job saved at `path`, spoiled as a case says and opened again,
// with a time limit of its own (a file may be made to hang the reader).
OpenedJob openSpoiled(const std::string& path, void (*spoil)(const std::string& path)) {
  EXPECT_EQ(saveJob(path, sampleJob()), "");
  spoil(path);
  return test::returnsWithin(test::kHangLimit, [&] { return openJob(path); });
}

TEST(JobFile, ADamagedNewerOrIncompleteFileIsRefusedNamingFileAndCause) {
  const Refused cases[] = {
      // Files that are no job file at all are not called damaged.
      {"text, no database", [](const std::string& p) { test::writeFile(p, "num;date;h\n1;2;3\n"); },
       "это не файл проверки КОРСИ-7"},
      {"empty", [](const std::string& p) { test::writeFile(p, ""); }, "это не файл проверки КОРСИ-7"},
      {"a data file", [](const std::string& p) { test::writeFile(p, std::string("\x01\x00\x00\x00", 4) + "ADTG"); },
       "это не файл проверки КОРСИ-7"},
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
      {"newer format", [](const std::string& p) { runSql(p, "PRAGMA user_version=3"); },
       "более новой версией программы (формат 3, эта версия читает формат 2)"},
      {"a reading gone", [](const std::string& p) { runSql(p, "DELETE FROM readings WHERE num=5"); },
       "в зоне «Борт» не хватает замеров: сохранено 3, в файле 2"},
      {"a table gone", [](const std::string& p) { runSql(p, "DROP TABLE areas"); }, "повреждён"},
      {"areas made to overlap", [](const std::string& p) { runSql(p, "UPDATE areas SET numbers='2-4'"); },
       "отнесён к двум зонам"},
      {"a thickness as text", [](const std::string& p) { runSql(p, "UPDATE readings SET thickness_mm='x' WHERE num=6"); },
       "толщина замера не число"},
      {"an unknown rule", [](const std::string& p) { runSql(p, "UPDATE header SET value='iso' WHERE key='rule'"); },
       "правило"},
      {"a job id that is no UUID",
       [](const std::string& p) { runSql(p, "UPDATE header SET value='x; DROP TABLE' WHERE key='job_id'"); },
       "идентификатор проверки не UUID"},
      {"both surfaces", [](const std::string& p) { runSql(p, "UPDATE areas SET surface_ft2=10, surface_m2=1"); },
       "задана и в м², и в фут²"},
      {"an unknown kind", [](const std::string& p) { runSql(p, "UPDATE areas SET kind='curved'"); },
       "неизвестный вид поверхности"},
      {"no file", [](const std::string& p) { std::filesystem::remove(p); }, ""},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir.file("job.kjob");
    const OpenedJob opened = openSpoiled(path, c.spoil);
    EXPECT_FALSE(opened.ok());
    EXPECT_TRUE(opened.error.starts_with("Не удалось открыть файл проверки «" + path + "»: ")) << opened.error;
    EXPECT_NE(opened.error.find(c.cause), std::string::npos) << opened.error;
    EXPECT_TRUE(opened.job.areas.empty() && opened.job.readings.empty());
  }
}

// A job file comes from other people: whatever its tables hold besides the
// program's own is refused before it runs, and so a file made to hang the
// program (a view over an endless query, as one would receive it by e-mail)
// is refused with a message instead of writing its temporary files until the
// disk is full. Each open has a time limit of its own.
TEST(JobFile, AFileWithMoreThanTheProgramsTablesIsRefusedBeforeItRuns) {
  const Refused cases[] = {
      {"readings an endless view",
       [](const std::string& p) {
         runSql(p,
                "DROP TABLE readings; CREATE VIEW readings AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 "
                "FROM c) SELECT x AS num, NULL AS date, 0.1 AS thickness_mm, NULL AS note FROM c");
       },
       "в файле есть представление «readings», а не таблица"},
      {"an endless view beside the tables",
       [](const std::string& p) {
         runSql(p, "CREATE VIEW more AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c) SELECT x FROM c");
       },
       "в файле есть представление «more»"},
      {"a trigger",
       [](const std::string& p) {
         runSql(p, "CREATE TABLE log (x); CREATE TRIGGER t AFTER INSERT ON readings BEGIN INSERT INTO log VALUES (1); END");
       },
       "лишняя таблица «log»"},
      {"a trigger alone",
       [](const std::string& p) {
         runSql(p, "CREATE TRIGGER t AFTER DELETE ON header BEGIN DELETE FROM readings; END");
       },
       "в файле есть триггер «t»"},
      {"an index of its own", [](const std::string& p) { runSql(p, "CREATE INDEX byDate ON readings(date)"); },
       "лишний объект «byDate» (index)"},
      {"a column more",
       [](const std::string& p) { runSql(p, "ALTER TABLE readings ADD COLUMN extra"); },
       "таблица «readings» устроена не так, как её создаёт программа"},
      {"readings of another shape",
       [](const std::string& p) {
         runSql(p, "DROP TABLE readings; CREATE TABLE readings (num, date, thickness_mm, note)");
       },
       "таблица «readings» устроена не так, как её создаёт программа"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir.file("job.kjob");
    const OpenedJob opened = openSpoiled(path, c.spoil);
    EXPECT_EQ(opened.error, "Не удалось открыть файл проверки «" + path + "»: файл повреждён (" + c.cause + ")");
    EXPECT_TRUE(opened.job.areas.empty() && opened.job.readings.empty());
  }
}

// An earlier version saved a field typed as no number ("abc" as the maximum)
// as the text "NaN", and then refused its own file. Such a file opens, the
// value treated as not set; and no value that would not read back is saved.
TEST(JobFile, ANumberThatWasNeverSetOpensAsNotSetAndIsNeverSaved) {
  TempDir dir;
  const std::string path = dir.file("job.kjob");
  ASSERT_EQ(saveJob(path, sampleJob()), "");
  runSql(path, "UPDATE header SET value='NaN' WHERE key IN ('maximum', 'measured_correction');"
               "UPDATE areas SET nominal='NaN', surface_ft2='NaN' WHERE name='Борт'");
  const OpenedJob opened = openJob(path);
  ASSERT_TRUE(opened.ok()) << opened.error;
  EXPECT_EQ(opened.job.header.maximum, std::nullopt);
  EXPECT_EQ(opened.job.header.measuredCorrection, std::nullopt);
  EXPECT_EQ(opened.job.header.nominal, 100.0);
  EXPECT_EQ(opened.job.areas[1].overrides.nominal, std::nullopt);
  EXPECT_EQ(opened.job.areas[1].surface, std::nullopt);
  EXPECT_EQ(opened.job.areas[1].overrides.maximum, 300.0);

  struct Unreadable {
    const char* what;
    void (*spoil)(InspectionJob&);
    const char* cause;
  };
  const double nan = std::nan("");
  const double inf = std::numeric_limits<double>::infinity();
  static double bad;
  const Unreadable cases[] = {
      {"maximum", [](InspectionJob& j) { j.header.maximum = bad; }, "поле «Максимальная толщина» не число"},
      {"minimum", [](InspectionJob& j) { j.header.nominal = bad; }, "поле «Минимальная толщина» не число"},
      {"correction", [](InspectionJob& j) { j.header.measuredCorrection = bad; }, "поле «Измеренная поправка» не число"},
      {"area's surface", [](InspectionJob& j) { j.areas[0].surface->value = bad; }, "площадь зоны «Палуба» не число"},
      {"area's maximum", [](InspectionJob& j) { j.areas[1].overrides.maximum = bad; }, "максимум зоны «Борт» не число"},
  };
  const std::string before = test::readFile(path);
  for (const double value : {nan, inf}) {
    bad = value;
    for (const Unreadable& c : cases) {
      SCOPED_TRACE(c.what);
      InspectionJob job = sampleJob();
      c.spoil(job);
      EXPECT_EQ(saveJob(path, job), "Не удалось сохранить проверку в файл «" + path + "»: " + c.cause);
      EXPECT_EQ(test::readFile(path), before);
    }
  }
}

// Files of the first format (a surface in square metres only) open as they were.
TEST(JobFile, AFileOfTheFirstFormatOpens) {
  TempDir dir;
  const std::string path = dir.file("old.kjob");
  runSql(path,
         "PRAGMA application_id=1263161154; PRAGMA user_version=1;"
         "CREATE TABLE header (key TEXT PRIMARY KEY NOT NULL, value);"
         "CREATE TABLE areas (position INTEGER PRIMARY KEY, name TEXT NOT NULL, surface_m2 REAL,"
         " numbers TEXT NOT NULL, reading_count INTEGER NOT NULL, rule TEXT, nominal REAL, maximum REAL,"
         " level INTEGER, spot_size INTEGER);"
         "CREATE TABLE readings (num INTEGER PRIMARY KEY, date TEXT, thickness_mm NOT NULL, note TEXT);"
         "INSERT INTO header VALUES ('rule', 'iso19840'), ('unit', 'um'), ('level', 3), ('spot_size', 3),"
         " ('set_up', 'none'), ('nominal', 100.0), ('maximum', 'NaN'), ('object', 'Баржа');"
         "INSERT INTO areas VALUES (1, 'Палуба', 2.5, '1-2', 2, NULL, NULL, NULL, NULL, NULL);"
         "INSERT INTO readings VALUES (1, '2026-12-10 09:05:00', 0.12, NULL), (2, NULL, 0.13, 'у люка');");
  const OpenedJob opened = openJob(path);
  ASSERT_TRUE(opened.ok()) << opened.error;
  EXPECT_EQ(opened.job.header.object, "Баржа");
  EXPECT_EQ(opened.job.header.maximum, std::nullopt);
  ASSERT_EQ(opened.job.areas.size(), 1u);
  EXPECT_EQ(opened.job.areas[0].surface, inspection::squareMetresSurface(2.5));
  EXPECT_EQ(opened.job.areas[0].kind, std::nullopt);
  EXPECT_EQ(opened.job.readings.size(), 2u);
}

TEST(JobFile, AStopEndsTheOpening) {
  TempDir dir;
  const std::string path = dir.file("job.kjob");
  ASSERT_EQ(saveJob(path, sampleJob()), "");
  const std::atomic<bool> stop{true};
  const OpenedJob opened = openJob(path, &stop);
  EXPECT_TRUE(opened.stopped);
  EXPECT_EQ(opened.error, "Не удалось открыть файл проверки «" + path + "»: чтение прервано");
  EXPECT_TRUE(openJob(path).ok());
}

}  // namespace
}  // namespace korsi::job
