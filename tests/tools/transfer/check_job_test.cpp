// korsi7-transfer check JOB: every area of a job file judged, the JSON read
// by Python's json module, and the exit status of the whole job.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "inspection/job_file.h"
#include "storage/recordset/data_file.h"
#include "tests/tools/transfer/check_program.h"
#include "tools/transfer/check_command.h"

namespace {

using korsi::test::CheckProgram;
namespace job = korsi::job;

class CheckJob : public CheckProgram {
 protected:
  // ISO 19840, NDFT 100 µm: "Палуба" passes, "Борт" has a reading under 80 %,
  // "Люк" by SSPC-PA 2 level 3 (minimum 100, maximum 200) passes.
  static job::InspectionJob threeAreas() {
    job::InspectionJob j;
    j.header.object = "Баржа 12";
    j.header.rule = job::JobRule::Iso19840;
    j.header.nominal = 100.0;
    j.header.maximum = 300.0;
    const double um[] = {110, 120, 105, 130, 100,  110, 120, 79, 130, 100,
                         80,  110, 120, 100, 110, 120, 100, 110, 120, 100, 110, 120, 100, 110, 120};
    std::int32_t num = 0;
    for (double t : um) j.readings.push_back({++num, std::nullopt, t / 1000.0, std::nullopt});
    j.areas.push_back({"Палуба", squareMetres(1.0), job::parseNumberRanges("1-5").ranges, {}, {}});
    j.areas.push_back({"Борт", std::nullopt, job::parseNumberRanges("6-10").ranges, {}, {}});
    j.areas.push_back({"Люк", squareMetres(10.0), job::parseNumberRanges("11-25").ranges,
                       {job::JobRule::SspcPa2, 100.0, 200.0, 3, std::size_t{3}}, {}});
    return j;
  }
  static std::optional<korsi::inspection::Surface> squareMetres(double value) {
    return korsi::inspection::squareMetresSurface(value);
  }
  static void withoutBort(job::InspectionJob& j) { j.areas.erase(j.areas.begin() + 1); }
  static bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};

TEST_F(CheckJob, JsonHasOneObjectPerAreaAndTheVerdictOfTheWhole) {
  ASSERT_EQ(job::saveJob(dir.file("баржа.kjob"), threeAreas()), "");
  const Run run = check({"баржа.kjob", "--json"});
  EXPECT_EQ(run.status, 1) << run.err << run.out;
  korsi::test::writeFile(dir.file("job.json"), run.out);
  korsi::test::writeFile(dir.file("read.py"), R"(import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
assert d["job"]["object"] == "Баржа 12", d["job"]
areas = d["areas"]
assert [a["name"] for a in areas] == ["Палуба", "Борт", "Люк"], areas
assert [a["judgement"] for a in areas] == ["pass", "fail", "pass"], [a["judgement"] for a in areas]
assert [a["rule"] for a in areas] == ["iso19840", "iso19840", "sspc-pa2"]
assert areas[0]["numbers"] == "1-5" and areas[0]["readings"] == 5 and areas[0]["surface_m2"] == 1
assert areas[1]["failing"] == [{"row": 8, "num": 8, "thickness_um": 79, "why": "below_minimum"}], areas[1]["failing"]
assert areas[2]["spots_um"][1:] == [110, 110, 110, 110] and len(areas[2]["spots_um"]) == 5, areas[2]
assert d["judgement"] == "fail" and d["pass"] is False and d["verdict"] == "Не все зоны соответствуют", d
)");
  const std::string command = "python3 " + dir.file("read.py") + " " + dir.file("job.json");
  EXPECT_EQ(std::system(command.c_str()), 0) << run.out;

  const Run text = check({"баржа.kjob"});
  EXPECT_EQ(text.status, 1);
  EXPECT_TRUE(has(text.out, "Зона 2 «Борт», замеры 6-10\nПравило: ISO 19840; NDFT 100,0 мкм; максимум 300,0 мкм\n"))
      << text.out;
  EXPECT_TRUE(has(text.out, "Не прошли по отдельности: № 8 (79,0 мкм)")) << text.out;
  EXPECT_EQ(lastLine(text.out), "Не все зоны соответствуют");
}

TEST_F(CheckJob, TheExitStatusIsThatOfTheWholeJob) {
  struct Case {
    const char* what;
    void (*change)(job::InspectionJob&);
    int status;
    const char* judgement;  // of the whole, in the JSON; "null" without a verdict
  };
  const Case cases[] = {
      {"all pass", withoutBort, 0, "\"pass\""},
      {"too few for 2 m²",
       [](job::InspectionJob& j) {
         withoutBort(j);
         j.areas[0].surface = squareMetres(2.0);
       },
       1, "\"too_few_measurements\""},
      {"SSPC area of 25 m²",
       [](job::InspectionJob& j) {
         withoutBort(j);
         j.areas[1].surface = squareMetres(25.0);
       },
       1, "\"too_few_measurements\""},
      // "Борт" fails: more readings on the deck could not make the job pass.
      {"a failing area beside one with too few", [](job::InspectionJob& j) { j.areas[0].surface = squareMetres(2.0); },
       1, "\"fail\""},
      {"a failing area beside one without a verdict", [](job::InspectionJob& j) { j.readings[0].h = std::nan(""); },
       1, "\"fail\""},
      {"no NDFT for an area", [](job::InspectionJob& j) { j.header.nominal.reset(); }, 2, "null"},
      {"ISO under 40 µm", [](job::InspectionJob& j) { j.header.nominal = 30.0; }, 2, "null"},
      {"a reading not a number",
       [](job::InspectionJob& j) {
         withoutBort(j);
         j.readings[0].h = std::nan("");
       },
       2, "null"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    job::InspectionJob j = threeAreas();
    c.change(j);
    ASSERT_EQ(job::saveJob(dir.file("job.kjob"), j), "");
    const Run run = check({"job.kjob", "--json"});
    EXPECT_EQ(run.status, c.status) << run.err << run.out;
    EXPECT_TRUE(has(run.out, std::string(",\"judgement\":") + c.judgement + ",\"pass\":")) << run.out;
  }
}

// A file an earlier version saved with "NaN" for a maximum typed as no
// number is judged, the maximum not set, instead of refused as damaged.
TEST_F(CheckJob, AJobSavedWithANumberNeverSetIsJudged) {
  ASSERT_EQ(job::saveJob(dir.file("old.kjob"), threeAreas()), "");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(dir.file("old.kjob").c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, "UPDATE header SET value='NaN' WHERE key='maximum'", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  const Run run = check({"old.kjob"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(has(run.out, "Зона 1 «Палуба», замеры 1-5\nПравило: ISO 19840; NDFT 100,0 мкм; максимум не задан")) << run.out;
}

TEST_F(CheckJob, AFileThatCannotBeReadOrExtraEntriesGiveNoVerdict) {
  korsi::test::writeFile(dir.file("broken.kjob"), "not a job");
  Run run = check({"broken.kjob", "--json"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.empty());
  EXPECT_TRUE(has(run.err, "Не удалось открыть файл проверки «broken.kjob»: это не файл проверки КОРСИ-7")) << run.err;

  // A job file under another name is still known by its content.
  ASSERT_EQ(job::saveJob(dir.file("job.dat"), threeAreas()), "");
  run = check({"job.dat", "--rule", "pspc", "--ndft", "100"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(has(run.err, "--rule: a job file brings its own rules and limits; only --json goes with it")) << run.err;
  EXPECT_EQ(check({"job.dat"}).status, 1);
}

// A stop signal during check (the flag the signal watcher sets) ends the
// reading of a job file and the check with 130, as read does; nothing is
// printed as a verdict.
TEST_F(CheckJob, AStopEndsTheCheckWith130) {
  ASSERT_EQ(job::saveJob(dir.file("job.kjob"), threeAreas()), "");
  ASSERT_EQ(korsi::recordset::writeDataFile(dir.file("deck.ks"), onTheLimit), "");
  const std::atomic<bool> stop{true};
  struct Case {
    std::vector<std::string> args;
    std::string said;
  };
  const Case cases[] = {
      {{dir.file("job.kjob"), "--json"}, "korsi7-transfer: " + dir.file("job.kjob") + ": interrupted while reading the job file\n"},
      {{dir.file("deck.ks"), "--rule", "iso19840", "--ndft", "120"}, "korsi7-transfer: " + dir.file("deck.ks") + ": interrupted\n"},
  };
  for (const Case& c : cases) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_TRUE(out && err);
    EXPECT_EQ(korsi::transfer::checkCommand(c.args, out, err, &stop), 130);
    const auto text = [](std::FILE* f) {
      std::string t(static_cast<std::size_t>(std::ftell(f)), '\0');
      std::rewind(f);
      t.resize(std::fread(t.data(), 1, t.size(), f));
      return t;
    };
    EXPECT_EQ(text(out), "");
    EXPECT_EQ(text(err), c.said);
    std::fclose(out);
    std::fclose(err);
  }
}

}  // namespace
