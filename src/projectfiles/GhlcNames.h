#pragma once
// The names and fixed texts of the generated-project file (.ghlc), each spelt once, beside those
// of the project source file that it shares (XmlNames.h).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace Hvd::GhlcNames {

// Elements.
inline constexpr char16_t kGeneratedProjectW[] = u"generated_project";
inline constexpr char16_t kSourceProjectW[] = u"sourceproject";
inline constexpr char16_t kTransformsW[] = u"transforms";
inline constexpr char16_t kTransformW[] = u"transform";
inline constexpr char16_t kStatusW[] = u"status";
inline constexpr char16_t kOutFileW[] = u"outfile";
inline constexpr char16_t kBranchW[] = u"branch";

// Attributes, by local name.
inline constexpr char16_t kFileTypeW[] = u"fileType";
inline constexpr char16_t kOriginationW[] = u"origination";
inline constexpr char16_t kSubBranchW[] = u"subbranch";
inline constexpr char16_t kStartTimeW[] = u"start_ts";
inline constexpr char16_t kEndTimeW[] = u"end_ts";
inline constexpr char16_t kPropertyChecksumW[] = u"prop_ck";
inline constexpr char16_t kInputChecksumW[] = u"in_ck";
inline constexpr char16_t kValueW[] = u"value";

inline constexpr char kVersionText[] = "11.1";
inline constexpr char kSourceProjectType[] = "FILE_XHLC";
inline constexpr char kImported[] = "imported";
inline constexpr char kUser[] = "user";
inline constexpr char kGenerated[] = "generated";

// The header comments, each exactly this wide.
inline constexpr std::size_t kHeaderWidth = 58;
inline constexpr const char* kHeaderComments[] = {
    "                                                          ",
    "             For tool use only. Do not edit.              ",
    "                                                          ",
    " Corvane created generated project file.                  ",
    " For use in tracking generated file and other information ",
    " allowing preservation of process status.                 ",
    "                                                          ",
};

// The status values of a transform instance by their number.
inline constexpr std::array<std::string_view, 27> kStatusNames = {
    "NeverRun",           "Reset",                  "WaitingForThreadToRun",   "QueuedToRun",
    "ExecutingRun",       "SuccessfullyRun",        "FailedRun",               "AbortedRun",
    "WarningsGenerated",  "ErrorsGenerated",        "ReadyToRun",              "NotReadyToRun",
    "NoNeedToRun",        "OutOfDateForInputs",     "OutOfDateForProperties",  "OutOfDateForPredecessor",
    "OutOfDateForOutputs", "OutOfDateForced",       "ForcedSuccessful",        "ForcedUpToDate",
    "InputAdded",         "InputChanged",           "InputRemoved",            "OutputAdded",
    "OutputChanged",      "OutputRemoved",          "StatusValue",
};

// The name of a status value; none for a value outside the table.
inline std::optional<std::string_view> StatusName(std::uint32_t value) {
  if (value >= kStatusNames.size()) return std::nullopt;
  return kStatusNames[value];
}

// The value of a status name, compared exactly; none for a name outside the table.
inline std::optional<std::uint32_t> StatusValueOf(std::string_view name) {
  for (std::size_t i = 0; i < kStatusNames.size(); ++i) {
    if (kStatusNames[i] == name) return static_cast<std::uint32_t>(i);
  }
  return std::nullopt;
}

// A file's ten flow marks: 0 to 5 are branches, 6 to 9 sub-branches. Each has the name it is
// written with and the view property value that sets it.
struct Mark {
  const char* written;
  const char* viewValue;
};
inline constexpr std::uint32_t kFirstSubBranchMark = 6;
inline constexpr Mark kMarks[] = {
    {"Implementation", "Implementation"},
    {"BehavioralSim", "BehavioralSimulation"},
    {"PostSynthSim", "PostSynthesisSimulation"},
    {"PostTranslateSimulation", "PostTranslateSimulation"},
    {"PostMapSimulation", "PostMapSimulation"},
    {"PostRouteSimulation", "PostRouteSimulation"},
    {"Map", "Map"},
    {"Par", "Par"},
    {"Translate", "Translate"},
    {"FPGAConfiguration", "FPGAConfiguration"},
};

}  // namespace Hvd::GhlcNames
