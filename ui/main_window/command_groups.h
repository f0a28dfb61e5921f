#pragma once
// The designer names of the main window's commands that the workers take
// away and give back together, one list per group, for the workers' view and
// for Cancel, which gives back what a worker's own end would have.

#include <span>
#include <string_view>

#include "instrument/worker_view.h"

namespace korsi {

inline std::span<const std::string_view> commandNames(CommandGroup group) {
  static constexpr std::string_view kSearch[] = {"ToolButton1", "N8",  "ToolButton4", "N2",
                                                 "ToolButton6", "N12", "N22",         "N23"};
  static constexpr std::string_view kRead[] = {"ToolButton12", "N16"};
  static constexpr std::string_view kReading[] = {"ToolButton2", "ToolButton4", "N2", "ToolButton12",
                                                  "N16",         "N22",         "N23"};
  switch (group) {
    case CommandGroup::Search: return kSearch;
    case CommandGroup::Read: return kRead;
    case CommandGroup::Reading: return kReading;
  }
  return {};
}

// The commands that replace or change the archive table: away while a
// reading fills it (TMainForm::setTableLocked).
inline std::span<const std::string_view> tableCommandNames() {
  static constexpr std::string_view kTable[] = {"ToolButton1", "N8", "N22", "N23", "OpenJobItem"};
  return kTable;
}

}  // namespace korsi
