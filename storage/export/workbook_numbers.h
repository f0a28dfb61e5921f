#pragma once
// The numbers of a written worksheet as the shortest decimals that read back
// as the values meant. libxlsxwriter writes every number with 16 significant
// digits ("%.16G"), so a thickness the gauge sent as the 32-bit float 0.843
// would stand in the file as 0.8429999947547913, and even its shortest
// double as 0.07000000000000001. The workbook is a zip file: the worksheet's
// part is taken out, each number's text put in anew, and the zip written
// again whole.

#include <string>
#include <vector>

namespace korsi {

// In the zip file `path`, replaces the text of each value element <v> of
// the part `entry` (a worksheet), in order, by `texts`. A file of another
// shape (no such part, not as many values) is left as it is: its numbers
// read back as the same values, only written longer. Returns an empty text,
// or why the file could not be written again (it is then no workbook).
std::string rewriteWorksheetNumbers(const std::string& path, const std::string& entry,
                                    const std::vector<std::string>& texts);

}  // namespace korsi
