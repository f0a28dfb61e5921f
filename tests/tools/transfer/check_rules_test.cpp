// korsi7-transfer check by SSPC-PA 2 and with a surface (IMO PSPC with its kind): the verdicts and
// exit statuses at the boundaries, the JSON read by Python's json module, and
// a mean that is never printed onto a limit it is not on.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "storage/recordset/data_file.h"
#include "tests/tools/transfer/check_program.h"

namespace {

using korsi::test::CheckProgram;
using Args = std::vector<std::string>;

class CheckRules : public CheckProgram {
 protected:
  void SetUp() override {
    // Spots of 80 (exactly 80 % of a minimum of 100 µm) and 4 x 110 µm; the area 104 µm.
    ASSERT_EQ(korsi::recordset::writeDataFile(dir.file("deck.ks"),
                                              rowsOf({0.070, 0.080, 0.090, 0.100, 0.110, 0.120, 0.100, 0.110, 0.120,
                                                      0.100, 0.110, 0.120, 0.100, 0.110, 0.120})),
              "");
  }
  static bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};

TEST_F(CheckRules, SspcSaysTheLevelItsSpotsAndTheVerdict) {
  const Run run = check({"deck.ks", "--rule", "sspc-pa2", "--min", "100", "--max", "200"});
  EXPECT_EQ(run.status, 0) << run.err << run.out;
  EXPECT_TRUE(has(run.out, "Правило: SSPC-PA 2, уровень 3 (пятна от 80 % минимума до 120 % максимума); "
                           "минимум 100,0 мкм; максимум 200,0 мкм; шероховатость: нет\n"))
      << run.out;
  EXPECT_TRUE(has(run.out, "Пятна (среднее каждого), мкм: 80,0; 110,0; 110,0; 110,0; 110,0\n")) << run.out;
  EXPECT_TRUE(has(run.out, "пятна мин. выполнено: Каждое пятно не меньше 80 % минимума — наименьшее пятно 80,0 мкм"))
      << run.out;
  EXPECT_FALSE(has(run.out, "не проверялась"));
  EXPECT_EQ(lastLine(run.out), "Соответствует SSPC-PA 2, уровень 3");
}

TEST_F(CheckRules, VerdictsAndExitStatuses) {
  struct Case {
    Args args;
    int status;
    std::string verdict;
  };
  const std::vector<Case> cases{
      {{"--rule", "sspc-pa2", "--min", "100", "--level", "1"}, 1,
       "Не соответствует SSPC-PA 2, уровень 1: не выполнено пятна мин.; пятно вне пределов — снимите "
       "дополнительные пятна вокруг него"},
      {{"--rule", "sspc-pa2", "--min", "100", "--surface", "10"}, 0, "Соответствует SSPC-PA 2, уровень 3"},
      {{"--rule", "sspc-pa2", "--min", "100", "--surface", "25"}, 1,
       "SSPC-PA 2, уровень 3: недостаточно измерений — для 25 м² нужно 3 зоны, дана 1"},
      // Spots of 4: the 15 readings are 3 spots.
      {{"--rule", "sspc-pa2", "--min", "100", "--spot-size", "4"}, 1,
       "SSPC-PA 2, уровень 3: недостаточно измерений — нужно не меньше 5 пятен по 4 замера, дано 3 пятна"},
      {{"--rule", "iso19840", "--ndft", "80", "--surface", "3"}, 0, "Соответствует ISO 19840"},
      {{"--rule", "iso19840", "--ndft", "80", "--surface", "10.5"}, 1,
       "ISO 19840: недостаточно измерений — для 10,5 м² нужно не меньше 20 замеров, дано 15"},
      {{"--rule", "iso19840", "--ndft", "39.9"}, 2, "ISO 19840 не применяется: NDFT 39,9 мкм меньше 40,0 мкм"},
      // IMO PSPC: one reading for each 5 m² of flat surface, 5 per m² of complex surface.
      {{"--rule", "pspc", "--ndft", "70", "--surface", "75", "--kind", "flat"}, 0, "Соответствует IMO PSPC 90/10"},
      {{"--rule", "pspc", "--ndft", "70", "--surface", "75.5", "--kind", "flat"}, 1,
       "IMO PSPC 90/10: недостаточно измерений — для ровной поверхности 75,5 м² нужно не меньше 16 замеров "
       "(1 замер на каждые 5 м², с округлением вверх), дано 15"},
      {{"--rule", "pspc", "--ndft", "70", "--surface", "3.1", "--kind", "complex"}, 1,
       "IMO PSPC 90/10: недостаточно измерений — для сложной поверхности 3,1 м² нужно не меньше 16 замеров "
       "(5 замеров на 1 м², с округлением вверх, и не меньше 3), дано 15"},
  };
  for (const Case& c : cases) {
    Args args{"deck.ks"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Run run = check(args);
    EXPECT_EQ(run.status, c.status) << c.verdict << run.err;
    EXPECT_EQ(lastLine(run.out), c.verdict);
  }
}

TEST_F(CheckRules, JsonReadsInPython) {
  const Run run = check({"deck.ks", "--rule", "sspc-pa2", "--min", "100", "--max", "200", "--surface", "25", "--json"});
  EXPECT_EQ(run.status, 1) << run.err;
  korsi::test::writeFile(dir.file("check.json"), run.out);
  korsi::test::writeFile(dir.file("read.py"), R"(import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
assert d["rule"] == "sspc-pa2" and d["min_um"] == 100 and d["max_um"] == 200 and d["max_checked"], d
assert (d["level"], d["spot_min_percent"], d["spot_max_percent"], d["spot_size"]) == (3, 80, 120, 3), d
assert d["surface_m2"] == 25 and len(d["areas"]) == 1, d
area = d["areas"][0]
assert area["spots_um"] == [80, 110, 110, 110, 110] and area["area_mean_um"] == 104, area
assert [c["outcome"] for c in area["criteria"]] == ["pass"] * 4, area
assert area["judgement"] == d["judgement"] == "too_few_measurements" and d["pass"] is False, d
assert "недостаточно измерений" in d["verdict"], d
)");
  const std::string command = "python3 " + dir.file("read.py") + " " + dir.file("check.json");
  EXPECT_EQ(std::system(command.c_str()), 0) << run.out;

  const Run iso = check({"deck.ks", "--rule", "iso19840", "--ndft", "30", "--json"});
  EXPECT_EQ(iso.status, 2);
  korsi::test::writeFile(dir.file("iso.json"), iso.out);
  korsi::test::writeFile(dir.file("iso.py"), R"(import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
assert d["judgement"] == "not_applicable" and d["pass"] is False and d["max_checked"] is False, d
assert d["areas"][0]["criteria"] == [] and d["areas"][0]["readings"] == 15, d
)");
  const std::string isoCommand = "python3 " + dir.file("iso.py") + " " + dir.file("iso.json");
  EXPECT_EQ(std::system(isoCommand.c_str()), 0) << iso.out;
}

TEST_F(CheckRules, AMeanJustUnderNdftIsNotPrintedAsNdft) {
  ASSERT_EQ(korsi::recordset::writeDataFile(dir.file("thin.ks"), rowsOf({0.11996, 0.11996, 0.11996})), "");
  const Run run = check({"thin.ks", "--rule", "iso19840", "--ndft", "120"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run.out, "Среднее 119,96 мкм")) << run.out;
  EXPECT_TRUE(has(run.out, "(a) не выполнено")) << run.out;
  EXPECT_TRUE(has(run.out, "Максимум не задан: толщина сверху не проверялась.\n")) << run.out;
}

}  // namespace
