#include "inspection/number_ranges.h"

#include <gtest/gtest.h>

#include "inspection/inspection_job.h"

namespace korsi::job {
namespace {

struct RangesCase {
  const char* text;
  NumberRanges ranges;  // empty: refused
  const char* error;    // a part of the refusal
};

TEST(NumberRanges, ReadsWhatTheInspectorTypesAndRefusesTheRest) {
  const RangesCase cases[] = {
      {"1-30, 45-60", {{1, 30}, {45, 60}}, ""},
      {" 7 ", {{7, 7}}, ""},
      {"45-60;1-3,9", {{45, 60}, {1, 3}, {9, 9}}, ""},
      {"1 \u2013 5", {{1, 5}}, ""},  // an en dash from a document
      {"5-5", {{5, 5}}, ""},
      {"2147483647", {{2147483647, 2147483647}}, ""},
      {"", {}, "не указаны"},
      {"   ", {}, "не указаны"},
      {"1-30,", {}, "Пустой элемент"},
      {"1,,2", {}, "Пустой элемент"},
      {"30-1", {}, "начало больше конца"},
      {"0-5", {}, "«0-5»"},
      {"-5", {}, "«-5»"},
      {"1-", {}, "«1-»"},
      {"1-2-3", {}, "«1-2-3»"},
      {"a-b", {}, "«a-b»"},
      {"1.5", {}, "«1.5»"},
      {"2147483648", {}, "«2147483648»"},
      {"1-30, 30-40", {}, "Номер 30 указан дважды: 1-30 и 30-40"},
      {"10-20, 1-15", {}, "Номер 10 указан дважды"},
      {"5, 1-9", {}, "Номер 5 указан дважды"},
  };
  for (const RangesCase& c : cases) {
    SCOPED_TRACE(c.text);
    const ParsedRanges parsed = parseNumberRanges(c.text);
    EXPECT_EQ(parsed.ranges, c.ranges);
    if (c.ranges.empty()) {
      EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
    } else {
      EXPECT_TRUE(parsed.ok()) << parsed.error;
      // The text written back reads as the same ranges.
      EXPECT_EQ(parseNumberRanges(rangesText(parsed.ranges)).ranges, c.ranges);
    }
  }
}

JobArea area(const char* name, const char* numbers) { return {name, std::nullopt, parseNumberRanges(numbers).ranges, {}, {}}; }

TEST(JobAreas, ANumberBelongsToOneAreaAtMost) {
  EXPECT_EQ(areasProblem({area("A", "1-30"), area("B", "31-40, 45")}), "");
  EXPECT_EQ(areasProblem({area("A", "1-30"), area("B", "41-50"), area("C", "50-60")}),
            "Замер № 50 отнесён к двум зонам: «B» и «C»");
  EXPECT_EQ(areasProblem({area("A", "10-30"), area("B", "40, 1-12")}),
            "Замер № 10 отнесён к двум зонам: «A» и «B»");
  EXPECT_EQ(areasProblem({area("A", "1-3"), area("A", "4-5")}), "Две зоны называются «A»");
  EXPECT_EQ(areasProblem({area("", "1-3")}), "У зоны 1 нет названия");
  EXPECT_EQ(areasProblem({area("A", "")}), "В зоне «A» не указаны номера замеров");
}

TEST(JobAreas, AnAreaHoldsTheReadingsOfItsNumbersThatThereAre) {
  std::vector<JobReading> source;
  for (std::int32_t n : {9, 3, 1, 5, 2, 8}) source.push_back({n, std::nullopt, n / 1000.0, std::nullopt});
  const std::vector<JobArea> areas{area("A", "8-20, 1-2"), area("B", "4-5")};
  const TakenReadings taken = readingsForAreas(areas, source);
  ASSERT_TRUE(taken.ok());
  std::vector<std::int32_t> numbers;
  for (const JobReading& r : taken.readings) numbers.push_back(r.num);
  EXPECT_EQ(numbers, (std::vector<std::int32_t>{1, 2, 5, 8, 9}));  // 3 is in no area
  EXPECT_EQ(areaReadings(areas[0], taken.readings), (std::vector<std::size_t>{0, 1, 3, 4}));
  EXPECT_EQ(areaReadings(areas[1], taken.readings), (std::vector<std::size_t>{2}));

  source.push_back({8, std::nullopt, 0.2, std::nullopt});
  EXPECT_NE(readingsForAreas(areas, source).error.find("Замер № 8 есть в таблице дважды"), std::string::npos);
  // A number twice outside every area is no matter.
  EXPECT_TRUE(readingsForAreas({area("B", "4-5")}, source).ok());
}

}  // namespace
}  // namespace korsi::job
