#include "pr/results/TriggerProperties.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <optional>
#include <string>

#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "pr/partitions/PartitionCopy.h"
#include "utils/DmUtils.h"
#include "utils/PropertyAccessor.h"

namespace Hvd::PRSync {

using Text = Port::StringBase<char>;

namespace {

// The whole text as a signed 64-bit number; nothing for an empty or partly numeric text.
std::optional<std::int64_t> ParseStamp(const Text& text) {
  std::int64_t value = -1;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || at != end) return std::nullopt;
  return value;
}

}  // namespace

std::int64_t GetStageStamp(HdcI::IHDProject* project, std::int32_t stage) {
  std::int64_t newest = -1;
  Prjrep::AutoRelease<HdcI::IPartitionIterator> it;
  if (project != nullptr) std::ignore = project->GetPartitions(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    Prjrep::AutoCast<HdcI::IPartitionStage> stages(it->Current());
    if (stages.Get() == nullptr) continue;
    std::int64_t stamp = -1, secondary = -1;
    if (it->Current()->GetStageStamp(stage, &stamp) == kSuccess) newest = std::max(newest, stamp);
    if (stages->GetSecondaryStamp(stage, &secondary) == kSuccess) newest = std::max(newest, secondary);
  }
  return newest;
}

bool TriggerProperty(CitI::IInterface* object, std::int64_t stamp, const char* property, const char* trailing) {
  Prjrep::AutoRelease<IProject> project = GetOwningProject(object);
  PropertyAccessor properties(project.Get());
  const Text last = properties.GetPropertyValue(trailing);
  const std::optional<std::int64_t> parsed = ParseStamp(last);
  if (!parsed || stamp <= *parsed) return false;
  const Text now(std::to_string(stamp));
  properties.SetPropertyValue(property, now);
  Port_MsgManData::debugStub(
      ("TriggerProperty -- " + Port::EscapeControls(GetObjectFullPath(project.Get())) + " \n").c_str());
  Port_MsgManData::debugStub(("TriggerProperty -- " + Text(property) + " (" + last + " vs " + now + ")\n").c_str());
  return true;
}

bool TriggerProperty2(CitI::IInterface* object, std::int64_t stamp, const char* property, const char* firstTrailing,
                      const char* secondTrailing) {
  Prjrep::AutoRelease<IProject> project = GetOwningProject(object);
  PropertyAccessor properties(project.Get());
  const Text first = properties.GetPropertyValue(firstTrailing);
  const Text second = properties.GetPropertyValue(secondTrailing);
  const std::optional<std::int64_t> firstStamp = ParseStamp(first), secondStamp = ParseStamp(second);
  if (!firstStamp || !secondStamp || stamp <= *firstStamp || stamp <= *secondStamp) return false;
  const Text now(std::to_string(stamp));
  properties.SetPropertyValue(property, now);
  Port_MsgManData::debugStub(
      ("TriggerProperty -- " + Port::EscapeControls(GetObjectFullPath(project.Get())) + " \n").c_str());
  Port_MsgManData::debugStub(
      ("TriggerProperty2 -- " + Text(property) + " (last " + first + " and " + second + " vs new " + now + ")").c_str());
  return true;
}

Status SetupPIFProperties(CitI::IInterface* object) {
  if (std::getenv("VEL_CORVANE_NO_PIF") != nullptr) return kFailure;
  Prjrep::AutoRelease<HdcI::IHDProject> project = GetHDProject(object);
  const std::int64_t s0 = GetStageStamp(project.Get(), 0), s2 = GetStageStamp(project.Get(), 2);
  const std::int64_t s3 = GetStageStamp(project.Get(), 3), s4 = GetStageStamp(project.Get(), 4);
  std::ignore = TriggerProperty(object, s0, "PROP_PIFTranslate", "PROP_PIFTranslateTrailing");
  std::ignore = TriggerProperty(object, std::max(s2, s3), "PROP_PIFMap", "PROP_PIFMapTrailing");
  std::ignore = TriggerProperty2(object, s4, "PROP_PIFMap", "PROP_PIFMapTrailing", "PROP_PIFParTrailing");
  std::ignore = TriggerProperty(object, s4, "PROP_PIFPar", "PROP_PIFParTrailing");
  return kSuccess;
}

}  // namespace Hvd::PRSync
