#pragma once
// korsi7-transfer check run on real files in a folder of its own.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "storage/recordset/archive_row.h"
#include "tests/support/tempdir.h"
#include "tests/tools/transfer/transfer_program.h"

namespace korsi::test {

class CheckProgram : public ::testing::Test {
 protected:
  static std::vector<korsi::ArchiveRow> rowsOf(std::initializer_list<double> mm) {
    std::vector<korsi::ArchiveRow> rows;
    int num = 0;
    for (double h : mm) {
      korsi::ArchiveRow row;
      row.num = ++num;
      row.date = korsi::DateTime{2026, 12, 10, 9, 0, num % 60};
      row.h = h;
      rows.push_back(row);
    }
    return rows;
  }

  struct Run {
    int status;
    std::string out;
    std::string err;
  };
  Run check(std::vector<std::string> args) {
    args.insert(args.begin(), "check");
    TransferProgram program(dir.path().string(), args);
    const int status = program.exitStatus();
    return {status, program.out(), program.err()};
  }

  static std::string lastLine(const std::string& text) {
    const auto end = text.find_last_not_of('\n');
    const auto start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
  }

  TempDir dir;
  // NDFT 120: 0.096 is 80 % exactly, 1 of 10 between 80 and 100 %.
  std::vector<korsi::ArchiveRow> onTheLimit = rowsOf({0.096, 0.144, 0.12, 0.12, 0.12, 0.12, 0.12, 0.12, 0.12, 0.12});
};

}  // namespace korsi::test
