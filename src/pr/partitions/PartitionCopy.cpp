#include "pr/partitions/PartitionCopy.h"

#include <algorithm>

#include "CitP/Factory.h"
#include "Hvd/IProjectHelper.h"
#include "Port/FileName.h"
#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IPersist.h"
#include "Prjrep/IStorage.h"
#include "utils/DmUtils.h"
#include "utils/DumperComp.h"

namespace Hvd::PRSync {

using Text = Port::StringBase<char>;
using HdcI::IHDProject;
using HdcI::IPartition;

namespace {

constexpr std::int32_t kStages = 5, kFlags = 3, kTexts = 6, kSettings = 4;

bool Contains(const PartitionNames& names, const Text& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

Prjrep::AutoRelease<IHDProject> GetHDProject(CitI::IInterface* object) {
  const Text path = GetObjectFullPath(object);
  if (path.empty()) return nullptr;
  Prjrep::AutoRelease<Prjrep::IProjectRepository> repository = FindAutonymByName(path.c_str(), false);
  Prjrep::AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get());
  Prjrep::AutoRelease<CitI::IInterface> found;
  if (names.Get() == nullptr || names->Find("HDProject", found.Receive()) != kSuccess) return nullptr;
  return Prjrep::AutoRelease<IHDProject>(std::move(found));
}

Text PartitionName(IPartition* partition) {
  Text name;
  if (partition != nullptr) std::ignore = partition->GetName(&name);
  return name;
}

Prjrep::AutoRelease<IPartition> CopyPartitionInfo(IHDProject* source, IPartition* sourcePartition,
                                                  IHDProject* destination, const Text& sourcePrefix,
                                                  const Text& destinationPrefix) {
  if (sourcePartition == nullptr) {
    Port_MsgManData::debugStub("CopyPartitionInfo -- Null src_partition");
    return nullptr;
  }
  if (destination == nullptr) return nullptr;
  const Text name = PartitionName(sourcePartition);
  if (name.size() < sourcePrefix.size()) {
    Port_MsgManData::debugStub("CopyPartitionInfo -- Source partition name too samll");
    return nullptr;
  }
  const bool top = name.size() == sourcePrefix.size();
  const Text newName = top ? destinationPrefix : destinationPrefix + Text(name.str().substr(sourcePrefix.size()));
  Prjrep::AutoRelease<IPartition> target;
  std::ignore = destination->FindPartition(newName, target.Receive());
  if (target.Get() == nullptr) {
    std::ignore = destination->CreatePartition(newName, target.ReleaseAndReceive());
    CopyPartitionRecordValue(source, sourcePartition, destination, target.Get());
  }
  if (target.Get() == nullptr) {
    Port_MsgManData::debugStub(("Could not find/create partition for" + Port::EscapeControls(newName)).c_str());
    return nullptr;
  }
  // The state first: it carries a name and a top flag of its own.
  CopyPersistedState(sourcePartition, target.Get());
  std::ignore = target->SetName(newName);
  std::ignore = target->SetTop(top);
  return target;
}

void CopyPartitionRecordValue(IHDProject* source, IPartition* sourcePartition, IHDProject* destination,
                              IPartition* newPartition) {
  if (source == nullptr || sourcePartition == nullptr || destination == nullptr || newPartition == nullptr) return;
  Prjrep::AutoRelease<IPartition> record;
  std::ignore = destination->GetPartitionRecord(newPartition, record.Receive());
  if (record.Get() == nullptr) return;
  Prjrep::AutoRelease<IPartition> original;
  std::ignore = source->FindPartition(PartitionName(sourcePartition), original.Receive());
  std::int64_t value = 0;
  if (original.Get() != nullptr && original->GetSingleValue(&value) == kSuccess)
    std::ignore = record->SetSingleValue(value);
}

Status CopyPartitionTree(IPartition* sourcePartition, IHDProject* source, IHDProject* destination,
                         const Text& sourcePrefix, const Text& destinationPrefix, const PartitionNames& exclusions) {
  if (sourcePartition == nullptr) {
    Port_MsgManData::debugStub("Null source partition\n");
    return kFailure;
  }
  std::ignore = CopyPartitionInfo(source, sourcePartition, destination, sourcePrefix, destinationPrefix);
  Prjrep::AutoRelease<HdcI::IPartitionIterator> children;
  if (source != nullptr) std::ignore = source->GetChildPartitions(sourcePartition, children.Receive());
  if (children.Get() == nullptr) {
    Port_MsgManData::debugStub("Null child partition iter\n");
    return kFailure;
  }
  for (; !children->IsDone(); std::ignore = children->Next()) {
    IPartition* child = children->Current();
    if (Contains(exclusions, PartitionName(child)))
      std::ignore = CopyPartitionInfo(source, child, destination, sourcePrefix, destinationPrefix);
    else
      std::ignore = CopyPartitionTree(child, source, destination, sourcePrefix, destinationPrefix, exclusions);
  }
  return kSuccess;
}

void CopyPartitionSettings(IPartition* source, IPartition* target) {
  if (source == nullptr || target == nullptr) return;
  std::ignore = target->ClearList();
  Prjrep::AutoRelease<Prjrep::IStringIterator> entries;
  std::ignore = source->GetListEntries(entries.Receive());
  for (; entries.Get() != nullptr && !entries->IsDone(); std::ignore = entries->Next())
    std::ignore = target->AddListEntry(entries->Current());
  Text file;
  std::ignore = source->GetSourceFile(&file);
  std::ignore = target->SetSourceFile(file);
  std::int64_t value = 0;
  if (source->GetSingleValue(&value) == kSuccess) std::ignore = target->SetSingleValue(value);
  Prjrep::AutoCast<HdcI::IPartitionStage> fromStage(source), toStage(target);
  for (std::int32_t stage = 0; stage < kStages; ++stage) {
    std::int64_t stamp = 0;
    if (source->GetStageStamp(stage, &stamp) == kSuccess) std::ignore = target->SetStageStamp(stage, stamp);
    if (fromStage.Get() == nullptr || toStage.Get() == nullptr) continue;
    if (fromStage->GetPrimaryStamp(stage, &stamp) == kSuccess) std::ignore = toStage->SetPrimaryStamp(stage, stamp);
    if (fromStage->GetSecondaryStamp(stage, &stamp) == kSuccess)
      std::ignore = toStage->SetSecondaryStamp(stage, stamp);
  }
  for (std::int32_t index = 0; index < kFlags; ++index) {
    std::uint8_t flag = 0;
    if (source->GetStageFlag(index, &flag) == kSuccess) std::ignore = target->SetStageFlag(index, flag);
  }
  Prjrep::AutoCast<HdcI::IPartitionText> fromText(source), toText(target);
  for (std::int32_t index = 0; fromText.Get() != nullptr && toText.Get() != nullptr && index < kTexts; ++index) {
    Text text;
    if (fromText->GetText(index, &text) == kSuccess) std::ignore = toText->SetText(index, text);
  }
}

void CopyPersistedState(IPartition* source, IPartition* target) {
  Prjrep::AutoCast<Prjrep::IPersist> from(source), to(target);
  Prjrep::AutoRelease<Prjrep::IStorage> memory(CitP::Factory::CreateInstance(Prjrep::ClassId::MemoryStorage()));
  if (from.Get() == nullptr || to.Get() == nullptr || memory.Get() == nullptr) return;
  // A save that did not complete is not loaded: the target keeps what it had.
  if (from->PersistSave(memory.Get()) == kSuccess) std::ignore = to->PersistLoad(memory.Get());
}

void CopyProjectPartitionSettings(CitI::IInterface* sourceProject, CitI::IInterface* destinationProject) {
  Prjrep::AutoRelease<IHDProject> source = GetHDProject(sourceProject);
  Prjrep::AutoRelease<IHDProject> destination = GetHDProject(destinationProject);
  if (source.Get() == nullptr) {
    Port_MsgManData::debugStub("Null source HDProject!");
    return;
  }
  if (destination.Get() == nullptr) return;
  const Text directory = Port::FileName(GetObjectFullPath(sourceProject)).GetHead();
  for (std::int32_t index = 0; index < kSettings; ++index) {
    Text path;
    std::ignore = source->GetPathSetting(index, &path);
    if (!path.empty() && path.str()[0] != '/') {
      Port::FileName joined(directory + "/" + path);
      path = joined.MakeCanonical().GetPath();
    }
    std::ignore = destination->SetPathSetting(index, path);
  }
  for (std::int32_t index = 0; index < kSettings; ++index) {
    Text text;
    std::ignore = source->GetTextSetting(index, &text);
    std::ignore = destination->SetTextSetting(index, text);
  }
}

void RemoveNonMatchingPartitions(IHDProject* project, const PartitionNames& names) {
  if (project == nullptr) return;
  std::vector<Prjrep::AutoPtr<IPartition>> unwanted;
  Prjrep::AutoRelease<HdcI::IPartitionIterator> it;
  std::ignore = project->GetPartitions(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next())
    if (!Contains(names, PartitionName(it->Current()))) unwanted.emplace_back(it->Current());
  if (unwanted.empty()) return;
  const AuditRecord audit("pr_audit", "RemoveNonMatchingPartitions");
  for (const auto& partition : unwanted) std::ignore = project->RemovePartition(partition.Get());
}

void StoreHDProject(IHDProject* project) {
  if (project == nullptr) return;
  Prjrep::AutoRelease<CitI::IInterface> owner;
  std::ignore = project->GetOwner(owner.Receive());
  Prjrep::AutoCast<IProjectHelper> helper(owner.Get());
  Text path;
  std::ignore = project->GetFileName(&path);
  std::ignore = project->PrepareWrite();
  std::ignore = project->Write(path, helper.Get());
}

}  // namespace Hvd::PRSync
