#pragma once
// The words that stand for a job's rule, unit and set-up outside the
// program (the company archive's columns): "iso19840", "pspc", "sspc-pa2";
// "um", "mil"; "none", "fine", "medium", "coarse", "unknown_profile",
// "measured"; a surface "flat" or "complex". The job file writes the same
// words.

#include <optional>
#include <string_view>

#include "inspection/inspection_job.h"

namespace korsi::job {

const char* ruleWord(JobRule rule);
std::optional<JobRule> ruleFromWord(std::string_view word);
const char* unitWord(JobUnit unit);
std::optional<JobUnit> unitFromWord(std::string_view word);
const char* setUpWord(SetUp setUp);
std::optional<SetUp> setUpFromWord(std::string_view word);
const char* kindWord(inspection::SurfaceKind kind);
std::optional<inspection::SurfaceKind> kindFromWord(std::string_view word);

}  // namespace korsi::job
