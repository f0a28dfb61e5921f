// korsi7-transfer check: its command line, the thicknesses it reads from a
// CSV file, and the program itself judging real .ks, .xml and .csv files
// with its exit statuses.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "storage/recordset/data_file.h"
#include "tests/support/tempdir.h"
#include "tests/tools/transfer/check_program.h"
#include "tests/tools/transfer/transfer_program.h"
#include "tools/transfer/check_command.h"
#include "storage/export/csv_writer.h"
#include "tools/transfer/thickness_file.h"

namespace {

using korsi::ArchiveRow;
using korsi::test::CheckProgram;
using korsi::transfer::ParsedCheck;
using Args = std::vector<std::string>;

struct ArgsCase {
  const char* name;
  Args args;
  std::string error;  // empty: accepted
};

std::ostream& operator<<(std::ostream& out, const ArgsCase& c) { return out << c.name; }

class CheckCommandLine : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(CheckCommandLine, AcceptedOrRefusedWithAReason) {
  const ArgsCase& c = GetParam();
  const ParsedCheck parsed = korsi::transfer::parseCheckCommandLine(c.args);
  if (c.error.empty()) {
    EXPECT_EQ(parsed.action, ParsedCheck::Action::Run) << parsed.error;
  } else {
    EXPECT_EQ(parsed.action, ParsedCheck::Action::Error);
    EXPECT_EQ(parsed.error, c.error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CheckCommandLine,
    ::testing::Values(
        ArgsCase{"Shortest", {"deck.ks", "--rule", "iso19840", "--ndft", "120"}, ""},
        ArgsCase{"Everything", {"--json", "--roughness=coarse", "--max", "360,5", "--ndft=120.5", "--rule=pspc", "d.csv"}, ""},
        ArgsCase{"NoFile", {"--rule", "iso19840", "--ndft", "120"}, "check needs a FILE (.ks, .xml or .csv) or a JOB (.kjob)"},
        ArgsCase{"TwoFiles", {"a.ks", "b.ks", "--rule", "pspc", "--ndft", "120"},
                 "check takes one FILE; unexpected argument b.ks"},
        ArgsCase{"NoRule", {"a.ks", "--ndft", "120"}, "check needs --rule iso19840, pspc or sspc-pa2"},
        ArgsCase{"UnknownRule", {"a.ks", "--rule", "iso12944", "--ndft", "120"},
                 "--rule iso12944: iso19840, pspc or sspc-pa2 is expected"},
        ArgsCase{"NoNdft", {"a.ks", "--rule", "pspc"},
                 "check needs --ndft UM, the nominal dry film thickness in micrometres"},
        ArgsCase{"NdftZero", {"a.ks", "--rule", "pspc", "--ndft", "0"},
                 "--ndft 0: a thickness in micrometres above zero is expected"},
        ArgsCase{"NdftNotANumber", {"a.ks", "--rule", "pspc", "--ndft", "nan"},
                 "--ndft nan: a thickness in micrometres above zero is expected"},
        ArgsCase{"NdftWithUnit", {"a.ks", "--rule", "pspc", "--ndft", "120um"},
                 "--ndft 120um: a thickness in micrometres above zero is expected"},
        ArgsCase{"MaximumBelowNdft", {"a.ks", "--rule", "pspc", "--ndft", "120", "--max", "119.9"},
                 "--max is below --ndft"},
        ArgsCase{"UnknownRoughness", {"a.ks", "--rule", "pspc", "--ndft", "120", "--roughness", "rough"},
                 "--roughness rough: fine, medium, coarse or unknown is expected"},
        ArgsCase{"ValueMissing", {"a.ks", "--rule", "pspc", "--ndft"}, "--ndft needs a value"},
        ArgsCase{"JsonTakesNoValue", {"a.ks", "--rule", "pspc", "--ndft", "120", "--json=yes"},
                 "--json takes no value"},
        ArgsCase{"OptionOfRead", {"a.ks", "--rule", "pspc", "--ndft", "120", "-o", "x.csv"},
                 "unknown option -o of check"},
        ArgsCase{"IsoWithSurface", {"a.ks", "--rule", "iso19840", "--ndft", "120", "--surface", "12,5"}, ""},
        ArgsCase{"SspcShortest", {"a.ks", "--rule", "sspc-pa2", "--min", "100"}, ""},
        ArgsCase{"SspcEverything",
                 {"a.ks", "--rule=sspc-pa2", "--min=100", "--max", "200", "--level", "5", "--spot-size=4",
                  "--surface", "250", "--roughness", "fine", "--json"},
                 ""},
        ArgsCase{"SspcWithoutMinimum", {"a.ks", "--rule", "sspc-pa2", "--max", "200"},
                 "check --rule sspc-pa2 needs --min UM, the required minimum in micrometres"},
        ArgsCase{"SspcWithNdft", {"a.ks", "--rule", "sspc-pa2", "--ndft", "100"},
                 "--ndft is not of sspc-pa2; give the required minimum as --min UM"},
        ArgsCase{"SspcMaximumBelowMinimum", {"a.ks", "--rule", "sspc-pa2", "--min", "100", "--max", "99"},
                 "--max is below --min"},
        ArgsCase{"LevelZero", {"a.ks", "--rule", "sspc-pa2", "--min", "100", "--level", "0"},
                 "--level 0: a level from 1 to 5 is expected"},
        ArgsCase{"LevelSix", {"a.ks", "--rule", "sspc-pa2", "--min", "100", "--level", "6"},
                 "--level 6: a level from 1 to 5 is expected"},
        ArgsCase{"SpotOfTwo", {"a.ks", "--rule", "sspc-pa2", "--min", "100", "--spot-size", "2"},
                 "--spot-size 2: a number of readings from 3 to 1000 is expected"},
        ArgsCase{"SpotNotWhole", {"a.ks", "--rule", "sspc-pa2", "--min", "100", "--spot-size", "3.5"},
                 "--spot-size 3.5: a number of readings from 3 to 1000 is expected"},
        ArgsCase{"LevelWithIso", {"a.ks", "--rule", "iso19840", "--ndft", "120", "--level", "3"},
                 "--level and --spot-size are of sspc-pa2 only"},
        ArgsCase{"MinimumWithPspc", {"a.ks", "--rule", "pspc", "--min", "120"},
                 "--min is of sspc-pa2 only; give --ndft UM"},
        ArgsCase{"SurfaceWithPspc", {"a.ks", "--rule", "pspc", "--ndft", "120", "--surface", "10"},
                 "--surface and --kind go together with --rule pspc"},
        ArgsCase{"KindWithPspc", {"a.ks", "--rule", "pspc", "--ndft", "120", "--surface", "10", "--kind", "flat"}, ""},
        ArgsCase{"KindAlone", {"a.ks", "--rule", "pspc", "--ndft", "120", "--kind", "complex"},
                 "--surface and --kind go together with --rule pspc"},
        ArgsCase{"KindUnknown", {"a.ks", "--rule", "pspc", "--ndft", "120", "--surface", "1", "--kind", "round"},
                 "--kind round: flat or complex is expected"},
        ArgsCase{"KindWithIso", {"a.ks", "--rule", "iso19840", "--ndft", "120", "--surface", "1", "--kind", "flat"},
                 "--kind is of pspc only"},
        ArgsCase{"SurfaceZero", {"a.ks", "--rule", "iso19840", "--ndft", "120", "--surface", "0"},
                 "--surface 0: an area in square metres above zero is expected"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CheckCsv, ReadsWhatTheTransferWritesAndSpreadsheetsToo) {
  // Quoted notes with commas, quotes and a line end; an empty thickness; CRLF
  // line ends and a byte-order mark; a decimal comma in a quoted field.
  const auto read = korsi::transfer::thicknessRowsFromCsv(
      "\xEF\xBB\xBFnum,date,thickness_mm,note\r\n"
      "1,2009-03-09T06:22:05,0.12,\"left, \"\"wing\"\"\nsecond line\"\r\n"
      "2,2009-03-09T06:23:05,,no reading\r\n"
      "3,,\"0,096\",\r\n");
  ASSERT_TRUE(read.ok()) << read.error;
  ASSERT_EQ(read.rows.size(), 3u);
  EXPECT_EQ(read.rows[0].num, 1);
  EXPECT_EQ(read.rows[0].h, 0.12);
  EXPECT_EQ(read.rows[1].h, std::nullopt);
  EXPECT_EQ(read.rows[2].num, 3);
  EXPECT_EQ(read.rows[2].h, 0.096);
}

TEST(CheckCsv, RefusedTexts) {
  EXPECT_EQ(korsi::transfer::thicknessRowsFromCsv("").error,
            "the CSV file is empty (a header num,date,thickness_mm,note is expected)");
  EXPECT_EQ(korsi::transfer::thicknessRowsFromCsv("num,h\n1,0.1\n").error,
            "the CSV file has no column thickness_mm in its header");
  // The bad field is on line 4: the quoted note of line 2 spans two lines.
  const auto bad = korsi::transfer::thicknessRowsFromCsv("num,thickness_mm,note\n1,0.1,\"a\nb\"\n2,0.12mm,\n");
  EXPECT_EQ(bad.error, "line 4: thickness_mm \"0.12mm\" is not a number");
  EXPECT_TRUE(bad.rows.empty());
  // Not a number, but a number's text: the inspection refuses it by itself.
  const auto nan = korsi::transfer::thicknessRowsFromCsv("num,thickness_mm\n1,nan\n");
  ASSERT_TRUE(nan.ok());
  EXPECT_TRUE(std::isnan(*nan.rows[0].h));
}

TEST_F(CheckProgram, DataFilesAndCsvGiveTheSameVerdict) {
  ASSERT_EQ(korsi::recordset::writeDataFile(dir.file("deck.ks"), onTheLimit), "");
  ASSERT_EQ(korsi::recordset::writeDataFile(dir.file("deck.xml"), onTheLimit), "");
  korsi::test::writeFile(dir.file("deck.csv"), korsi::csv::csvText(onTheLimit));
  for (const char* file : {"deck.ks", "deck.xml", "deck.csv"}) {
    const Run run = check({file, "--rule", "iso19840", "--ndft", "120"});
    EXPECT_EQ(run.status, 0) << file << run.err;
    EXPECT_EQ(lastLine(run.out), "Соответствует ISO 19840") << file;
    EXPECT_NE(run.out.find("(b) выполнено: Каждый замер не меньше 80 % NDFT — наименьший замер 96,0 мкм, "
                           "80 % NDFT = 96,0 мкм"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("(d) не проверялось"), std::string::npos);
    EXPECT_EQ(run.err, "");
  }
}

TEST_F(CheckProgram, AFailingCoatNamesItsReadingsAndExitsWithOne) {
  std::vector<ArchiveRow> rows = onTheLimit;
  rows[3].h = 0.0959;  // under 80 %
  rows[7].h = 0.3601;  // over the maximum
  ASSERT_EQ(korsi::recordset::writeDataFile(dir.file("deck.ks"), rows), "");
  const Run run = check({"deck.ks", "--rule", "iso19840", "--ndft", "120", "--max", "360"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(lastLine(run.out), "Не соответствует ISO 19840: не выполнено (b), (d)");
  EXPECT_NE(run.out.find("Не прошли по отдельности: № 4 (95,9 мкм), № 8 (360,1 мкм)"), std::string::npos)
      << run.out;

  // The same readings with coarse roughness: 40 µm less each leaves most of them under NDFT.
  const Run pspc = check({"deck.ks", "--rule", "pspc", "--ndft", "120", "--roughness", "coarse"});
  EXPECT_EQ(pspc.status, 1);
  EXPECT_EQ(lastLine(pspc.out), "Не соответствует IMO PSPC 90/10: не выполнено 90 %, 10 %");
}

TEST_F(CheckProgram, JsonHoldsTheFiguresAndTheVerdict) {
  std::vector<ArchiveRow> rows = onTheLimit;
  rows[2].num.reset();
  rows[2].h = 0.0899;  // under 90 % of NDFT; its row is named, having no number
  rows.push_back(ArchiveRow{});  // a row without a thickness
  rows.back().date = korsi::DateTime{2026, 12, 10, 10, 0, 0};
  ASSERT_EQ(korsi::recordset::writeDataFile(dir.file("deck.ks"), rows), "");
  const Run run = check({"deck.ks", "--rule", "pspc", "--ndft", "120", "--json"});
  EXPECT_EQ(run.status, 1) << run.err;
  // Readings 96, 144, 89.9 and 7 x 120 µm: mean 116.99.
  const std::string entries =
      "{\"file\":\"deck.ks\",\"rule\":\"pspc\",\"ndft_um\":120,\"max_um\":null,\"max_checked\":false,"
      "\"surface_m2\":null,\"roughness\":\"none\",\"correction_um\":0,\"rows_without_thickness\":1,"
      "\"areas\":[{\"area\":1,\"readings\":10,"
      "\"statistics\":{\"mean_um\":116.99,\"min_um\":89.9,\"max_um\":144,\"standard_deviation_um\":";
  const std::string outcome =
      "},\"sampling\":\"площадь не задана, число замеров не проверялось\",\"advice\":\"\",\"criteria\":["
      "{\"label\":\"90 %\",\"requirement\":\"Не меньше 90 % замеров не ниже NDFT\",\"outcome\":\"fail\","
      "\"figures\":\"8 из 10 замеров (80,0 %) не ниже NDFT 120,0 мкм\"},"
      "{\"label\":\"10 %\",\"requirement\":\"Остальные замеры не ниже 90 % NDFT\",\"outcome\":\"fail\","
      "\"figures\":\"2 из 10 замеров ниже 90 % NDFT (108,0 мкм), наименьший 89,9 мкм\"},"
      "{\"label\":\"максимум\",\"requirement\":\"Каждый замер не больше максимума\",\"outcome\":"
      "\"not_checked\",\"figures\":\"максимум не задан, не проверялось\"}],"
      "\"failing\":[{\"row\":1,\"num\":1,\"thickness_um\":96,\"why\":\"below_minimum\"},"
      "{\"row\":3,\"num\":null,\"thickness_um\":89.9,\"why\":\"below_minimum\"}],"
      "\"judgement\":\"fail\",\"pass\":false,"
      "\"verdict\":\"Не соответствует IMO PSPC 90/10: не выполнено 90 %, 10 %\"}],"
      "\"judgement\":\"fail\",\"pass\":false,"
      "\"verdict\":\"Не соответствует IMO PSPC 90/10: не выполнено 90 %, 10 %\"}\n";
  ASSERT_TRUE(run.out.starts_with(entries)) << run.out;
  ASSERT_TRUE(run.out.ends_with(outcome)) << run.out;
  // Between them: the deviation and the coefficient of variation, as numbers.
  const std::string spread = run.out.substr(entries.size(), run.out.size() - entries.size() - outcome.size());
  const auto comma = spread.find(",\"coefficient_of_variation_percent\":");
  ASSERT_NE(comma, std::string::npos) << spread;
  EXPECT_NEAR(std::stod(spread.substr(0, comma)), 14.78516, 1e-4);
  EXPECT_NEAR(std::stod(spread.substr(comma + 36)), 12.63797, 1e-4);
}

TEST_F(CheckProgram, NoVerdictAndUsageExitWithTwo) {
  korsi::test::writeFile(dir.file("nan.csv"), "num,date,thickness_mm,note\n1,,0.12\n7,,nan\n");
  korsi::test::writeFile(dir.file("empty.csv"), "num,date,thickness_mm,note\n");
  korsi::test::writeFile(dir.file("junk.ks"), "not a data file");

  const Run nan = check({"nan.csv", "--rule", "iso19840", "--ndft", "120"});
  EXPECT_EQ(nan.status, 2);
  EXPECT_EQ(nan.out, "");
  EXPECT_EQ(nan.err, "korsi7-transfer: nan.csv: нет вердикта: Замер 2 из 2 замеров: толщина не число (№ 7)\n");

  const Run empty = check({"empty.csv", "--rule", "iso19840", "--ndft", "120"});
  EXPECT_EQ(empty.status, 2);
  EXPECT_EQ(empty.err, "korsi7-transfer: empty.csv: нет вердикта: Нет замеров: выберите строки с толщиной\n");

  EXPECT_EQ(check({"junk.ks", "--rule", "iso19840", "--ndft", "120"}).status, 2);
  const Run missing = check({"missing.ks", "--rule", "iso19840", "--ndft", "120"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "korsi7-transfer: missing.ks: no such file\n");

  const Run usage = check({"nan.csv", "--ndft", "120"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.err,
            "korsi7-transfer: check needs --rule iso19840, pspc or sspc-pa2 (see korsi7-transfer check --help)\n");

  const Run help = check({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--rule iso19840"), std::string::npos);
}

}  // namespace
