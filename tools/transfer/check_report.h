#pragma once
// What korsi7-transfer check prints: the entries, each area's statistics,
// criteria and verdict, and the verdict of the whole, as Russian text or as
// one JSON object. A set of readings given alone is one area.

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "inspection/acceptance.h"
#include "tools/transfer/check_command.h"
#include "tools/transfer/thickness_file.h"

namespace korsi::transfer {

struct CheckedArea {
  std::vector<std::size_t> rows;  // the file's row of each reading
  inspection::Verdict verdict;
};

struct CheckReport {
  const CheckOptions& options;
  const std::vector<ThicknessRow>& fileRows;
  int rowsWithoutThickness = 0;
  std::vector<CheckedArea> areas;
};

// The judgement of all areas: not applicable when one is, else too few when
// one has too few, else a failure when one fails, else a pass.
inspection::Judgement overallJudgement(const CheckReport& report);

void printCheckText(std::FILE* out, const CheckReport& report);
// One area's statistics, spots, sampling, criteria and failing readings.
void printAreaText(std::FILE* out, const CheckReport& report, const CheckedArea& area);
// One area as a JSON object, "area" its position from 1.
std::string areaJson(const CheckReport& report, std::size_t index);
std::string jsonString(const std::string& text);
// Shortest text that reads back to the same value; null for nothing.
std::string jsonNumber(std::optional<double> value);
void printCheckJson(std::FILE* out, const CheckReport& report);

}  // namespace korsi::transfer
