#pragma once
// The four columns of table `archive`, in table order, as every data file and
// the database name them.

#include <array>
#include <cstddef>
#include <string_view>

namespace korsi::recordset {

enum ArchiveColumn : std::size_t { kNumColumn, kDateColumn, kThicknessColumn, kNoteColumn };

inline constexpr std::array<std::string_view, 4> kArchiveColumnNames = {"num", "date", "h", "Prim"};

// The column whose name equals `name` without regard to ASCII case, or -1.
inline int archiveColumnIndex(std::string_view name) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < kArchiveColumnNames.size(); ++i) {
    const std::string_view candidate = kArchiveColumnNames[i];
    if (candidate.size() != name.size()) continue;
    bool same = true;
    for (std::size_t k = 0; k < name.size() && same; ++k) same = lower(candidate[k]) == lower(name[k]);
    if (same) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace korsi::recordset
