#pragma once
// Reads a spreadsheet workbook back with a reader of its own, independent of
// the writer: Debian's python3-openpyxl. Each filled cell of each sheet comes
// back as one line "sheet<TAB>cell<TAB>type<TAB>value", where type is "s"
// for text and "n" for a number, and a number's value is its shortest exact
// decimal form (Python's repr).

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/tempdir.h"

namespace korsi::test {

struct WorkbookCells {
  std::vector<std::string> lines;
  std::string error;  // why the workbook could not be read
};

inline WorkbookCells readWorkbookCells(const std::string& path) {
  static constexpr const char* kScript = R"(import sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1])
for sheet in book.worksheets:
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            value = repr(cell.value) if cell.data_type == 'n' else cell.value
            print(sheet.title, cell.coordinate, cell.data_type, value, sep='\t')
)";
  TempDir dir;
  const std::string script = dir.file("cells.py");
  writeFile(script, kScript);
  // Debian's interpreter, where python3-openpyxl is installed, before any other on the path.
  const std::string python = std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  const std::string command =
      "PYTHONIOENCODING=utf-8 " + python + " '" + script + "' '" + path + "' 2>" + dir.file("err.txt");
  WorkbookCells cells;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) {
    cells.error = "cannot run " + python;
    return cells;
  }
  std::string out;
  std::array<char, 4096> buffer{};
  while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) out.append(buffer.data(), n);
  const int status = pclose(pipe.release());
  if (status != 0) {
    cells.error = "openpyxl could not read the workbook (install python3-openpyxl): " + readFile(dir.file("err.txt"));
    return cells;
  }
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) cells.lines.push_back(line);
  return cells;
}

}  // namespace korsi::test
