#include "pr/partitions/PartitionSync.h"

#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "utils/DmUtils.h"

namespace Hvd::PRSync {

using Text = Port::StringBase<char>;
using HdcI::IHDProject;
using HdcI::IPartition;

namespace {

struct ElementFacts {
  bool isStatic = false;
  Text modulePath;
  bool hasModule = false;
};

ElementFacts FactsOf(IConfigurationElement* element) {
  ElementFacts facts;
  if (element == nullptr) return facts;
  std::ignore = element->GetIsStatic(&facts.isStatic);
  Prjrep::AutoRelease<IPRModule> module;
  std::ignore = element->GetPRModule(module.Receive());
  if (module.Get() != nullptr) {
    facts.hasModule = true;
    std::ignore = module->GetInstancePath(facts.modulePath);
  }
  return facts;
}

bool IsTop(IPartition* partition) {
  bool top = false;
  return partition != nullptr && partition->IsTop(&top) == kSuccess && top;
}

bool HasOneComponent(const Text& name) {
  return !name.empty() && name.str().find('/', 1) == std::string::npos;
}

// The project of the element's flavor (the static project for the static element).
Prjrep::AutoRelease<IProject> FlavorProjectOf(IConfigurationElement* element) {
  Prjrep::AutoRelease<CitI::IInterface> flavor;
  if (element != nullptr) std::ignore = element->GetFlavor(flavor.Receive());
  if (flavor.Get() == nullptr) return nullptr;
  return GetOwningProject(flavor.Get());
}

// Pushes the configuration's partitions of one element into the element's project.
// Nothing of the destination is removed unless the partition to push exists.
Status PushElement(CitI::IInterface* configurationProject, CitI::IInterface* flavorProject,
                   IConfigurationElement* element, const PartitionNames& exclusions) {
  Prjrep::AutoRelease<IHDProject> source = GetHDProject(configurationProject);
  if (source.Get() == nullptr) {
    Port_MsgManData::debugStub("Null source HDProject!\n");
    return kFailure;
  }
  Prjrep::AutoRelease<IHDProject> destination = GetHDProject(flavorProject);
  if (destination.Get() == nullptr) return kFailure;
  Prjrep::AutoRelease<IPartition> root;
  std::ignore = destination->GetRootPartition(root.Receive());
  if (root.Get() == nullptr) {
    Port_MsgManData::debugStub("No root partition.\n");
    return kFailure;
  }
  const Text rootName = PartitionName(root.Get());
  const ElementFacts facts = FactsOf(element);
  const Text prefix = facts.modulePath.empty() ? rootName : facts.modulePath;
  Prjrep::AutoRelease<IPartition> from;
  std::ignore = source->FindPartition(prefix, from.Receive());
  if (from.Get() == nullptr) {
    // The configuration does not hold this element's partitions (its compose failed, or
    // its partitions were never pulled): pruning now would empty the element's project.
    Port_MsgManData::debugStub(("No partition to push at " + Port::EscapeControls(prefix) + "\n").c_str());
    return kFailure;
  }
  PartitionNames keep;
  Prjrep::AutoRelease<HdcI::IPartitionIterator> it;
  std::ignore = source->GetPartitions(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    const Text name = PartitionName(it->Current());
    const Text mapped = facts.isStatic ? name : ReverseMapPartitionName(name, prefix, rootName);
    if (!mapped.empty()) keep.push_back(mapped);
  }
  RemoveNonMatchingPartitions(destination.Get(), keep);
  return CopyPartitionTree(from.Get(), source.Get(), destination.Get(), prefix, rootName, exclusions);
}

}  // namespace

Text MapPartitionName(const Text& name, bool isStatic, const Text& modulePath) {
  if (isStatic) return name;
  const std::string& text = name.str();
  const std::size_t from = text.empty() || text[0] != '/' ? 0 : 1;
  const std::size_t rest = text.find('/', from);
  return rest == std::string::npos ? modulePath : modulePath + Text(text.substr(rest));
}

Text ReverseMapPartitionName(const Text& name, const Text& sourcePrefix, const Text& destinationPrefix) {
  if (sourcePrefix.empty()) return name;
  if (name == sourcePrefix) return destinationPrefix;
  const std::string& text = name.str();
  const std::string& prefix = sourcePrefix.str();
  if (text.size() > prefix.size() && text.compare(0, prefix.size(), prefix) == 0 && text[prefix.size()] == '/')
    return destinationPrefix + Text(text.substr(prefix.size()));
  return Text();
}

// The configuration's elements, saying why when there are none to walk.
static Prjrep::AutoRelease<IConfigurationElementIterator> ElementsOf(CitI::IInterface* configuration) {
  Prjrep::AutoRelease<IConfigurationElementIterator> elements;
  Prjrep::AutoCast<IConfiguration> config(configuration);
  if (config.Get() == nullptr) {
    Port_MsgManData::debugStub("Bad input config ptr\n");
    return elements;
  }
  std::ignore = config->GetElements(elements.Receive());
  if (elements.Get() == nullptr) Port_MsgManData::debugStub("Bad config iter\n");
  return elements;
}

Status ForEachConfigurationElement(ActOnConfigurationEles& action, CitI::IInterface* configuration) {
  Prjrep::AutoRelease<IConfigurationElementIterator> elements = ElementsOf(configuration);
  if (elements.Get() == nullptr) return kFailure;
  Prjrep::AutoRelease<IProject> destination = GetOwningProject(configuration);
  for (; !elements->IsDone(); std::ignore = elements->Next()) {
    const Prjrep::AutoPtr<IConfigurationElement> element(elements->Current());
    Prjrep::AutoRelease<IProject> source = FlavorProjectOf(element.Get());
    if (source.Get() != nullptr && destination.Get() != nullptr)
      std::ignore = action(source.Get(), destination.Get(), element.Get());
  }
  return kSuccess;
}

Status ConfigElePartitionNameRec::operator()(CitI::IInterface* sourceProject, CitI::IInterface*,
                                             IConfigurationElement* element) {
  Prjrep::AutoRelease<IHDProject> source = GetHDProject(sourceProject);
  if (source.Get() == nullptr) {
    Port_MsgManData::debugStub("Null source HDProject!\n");
    return kFailure;
  }
  const ElementFacts facts = FactsOf(element);
  Prjrep::AutoRelease<HdcI::IPartitionIterator> it;
  std::ignore = source->GetPartitions(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next())
    m_names.push_back(MapPartitionName(PartitionName(it->Current()), facts.isStatic, facts.modulePath));
  return kSuccess;
}

Status PartitionsToConfiguration::operator()(CitI::IInterface* sourceProject, CitI::IInterface* destinationProject,
                                             IConfigurationElement* element) {
  Prjrep::AutoRelease<IHDProject> source = GetHDProject(sourceProject);
  if (source.Get() == nullptr) {
    Port_MsgManData::debugStub("Null source HDProject!\n");
    return kFailure;
  }
  Prjrep::AutoRelease<IHDProject> destination = GetHDProject(destinationProject);
  if (destination.Get() == nullptr) return kFailure;
  const ElementFacts facts = FactsOf(element);
  Prjrep::AutoRelease<HdcI::IPartitionIterator> it;
  std::ignore = source->GetPartitions(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    IPartition* partition = it->Current();
    const Text name = PartitionName(partition);
    const Text mapped = MapPartitionName(name, facts.isStatic, facts.modulePath);
    const bool top = IsTop(partition);
    Prjrep::AutoRelease<IPartition> target;
    if (facts.isStatic && top)
      std::ignore = destination->GetRootPartition(target.Receive());
    else
      std::ignore = destination->FindPartition(mapped, target.Receive());
    if (target.Get() == nullptr) {
      std::ignore = destination->CreatePartition(mapped, target.ReleaseAndReceive());
      CopyPartitionRecordValue(source.Get(), partition, destination.Get(), target.Get());
    }
    if (target.Get() == nullptr) continue;
    if (!facts.isStatic && top)
      CopyPartitionSettings(partition, target.Get());
    else
      CopyPersistedState(partition, target.Get());
    std::ignore = target->SetName(mapped);
    std::ignore = target->SetTop(facts.isStatic && top);
    if (!facts.isStatic && HasOneComponent(name)) std::ignore = target->SetKept(true);
  }
  if (facts.isStatic) CopyProjectPartitionSettings(sourceProject, destinationProject);
  StoreHDProject(destination.Get());
  return kSuccess;
}

Status SyncPartitionsIntoConfiguration(CitI::IInterface* configuration) {
  if (Prjrep::AutoCast<IConfiguration>(configuration).Get() == nullptr) {
    Port_MsgManData::debugStub("Bad input config ptr\n");
    return kFailure;
  }
  ConfigElePartitionNameRec names;
  std::ignore = ForEachConfigurationElement(names, configuration);
  Prjrep::AutoRelease<IProject> project = GetOwningProject(configuration);
  Prjrep::AutoRelease<IHDProject> own = GetHDProject(project.Get());
  RemoveNonMatchingPartitions(own.Get(), names.m_names);
  PartitionsToConfiguration copy;
  return ForEachConfigurationElement(copy, configuration);
}

Status SyncPartitionsOutOfConfiguration(CitI::IInterface* configuration) {
  Prjrep::AutoRelease<IConfigurationElementIterator> elements = ElementsOf(configuration);
  if (elements.Get() == nullptr) return kFailure;
  Prjrep::AutoRelease<IProject> project = GetOwningProject(configuration);
  Prjrep::AutoRelease<IHDProject> own = GetHDProject(project.Get());
  StoreHDProject(own.Get());
  Prjrep::AutoPtr<IConfigurationElement> staticElement;
  PartitionNames modulePaths;
  for (; !elements->IsDone(); std::ignore = elements->Next()) {
    IConfigurationElement* element = elements->Current();
    const ElementFacts facts = FactsOf(element);
    if (facts.isStatic) {
      staticElement = element;
      continue;
    }
    Prjrep::AutoRelease<IProject> flavorProject = FlavorProjectOf(element);
    // A flavor's project is written only when its partitions were pushed.
    const bool pushed = flavorProject.Get() != nullptr &&
                        PushElement(project.Get(), flavorProject.Get(), element, PartitionNames{}) == kSuccess;
    modulePaths.push_back(facts.modulePath);
    if (pushed) StoreHDProject(GetHDProject(flavorProject.Get()).Get());
  }
  if (staticElement.Get() != nullptr) {
    Prjrep::AutoRelease<IProject> staticProject = FlavorProjectOf(staticElement.Get());
    if (staticProject.Get() != nullptr &&
        PushElement(project.Get(), staticProject.Get(), staticElement.Get(), modulePaths) == kSuccess) {
      CopyProjectPartitionSettings(project.Get(), staticProject.Get());
      StoreHDProject(GetHDProject(staticProject.Get()).Get());
    }
  }
  return kSuccess;
}

}  // namespace Hvd::PRSync
