#include "inspection/job_words.h"

namespace korsi::job {

namespace {
template <class T, std::size_t N>
std::optional<T> fromWord(std::string_view word, const T (&all)[N], const char* (*wordOf)(T)) {
  for (const T value : all) {
    if (word == wordOf(value)) return value;
  }
  return std::nullopt;
}
constexpr JobRule kRules[] = {JobRule::Iso19840, JobRule::Pspc9010, JobRule::SspcPa2};
constexpr JobUnit kUnits[] = {JobUnit::Micrometre, JobUnit::Mil};
constexpr SetUp kSetUps[] = {SetUp::None, SetUp::Fine, SetUp::Medium, SetUp::Coarse, SetUp::UnknownProfile,
                             SetUp::Measured};
constexpr inspection::SurfaceKind kKinds[] = {inspection::SurfaceKind::Flat, inspection::SurfaceKind::Complex};
}  // namespace

const char* ruleWord(JobRule rule) {
  switch (rule) {
    case JobRule::Pspc9010: return "pspc";
    case JobRule::SspcPa2: return "sspc-pa2";
    case JobRule::Iso19840: break;
  }
  return "iso19840";
}

std::optional<JobRule> ruleFromWord(std::string_view word) { return fromWord(word, kRules, ruleWord); }

const char* unitWord(JobUnit unit) { return unit == JobUnit::Mil ? "mil" : "um"; }

std::optional<JobUnit> unitFromWord(std::string_view word) { return fromWord(word, kUnits, unitWord); }

const char* setUpWord(SetUp setUp) {
  switch (setUp) {
    case SetUp::Fine: return "fine";
    case SetUp::Medium: return "medium";
    case SetUp::Coarse: return "coarse";
    case SetUp::UnknownProfile: return "unknown_profile";
    case SetUp::Measured: return "measured";
    case SetUp::None: break;
  }
  return "none";
}

std::optional<SetUp> setUpFromWord(std::string_view word) { return fromWord(word, kSetUps, setUpWord); }

const char* kindWord(inspection::SurfaceKind kind) {
  return kind == inspection::SurfaceKind::Complex ? "complex" : "flat";
}

std::optional<inspection::SurfaceKind> kindFromWord(std::string_view word) { return fromWord(word, kKinds, kindWord); }

}  // namespace korsi::job
