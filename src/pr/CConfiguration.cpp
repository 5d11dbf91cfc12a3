#include "pr/CConfiguration.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Port/MsgMan.h"
#include "framework/CAutonymBase.h"
#include "utils/DmUtils.h"
#include "utils/DumperComp.h"
#include "utils/InterpHelp.h"
#include "utils/PropertyAccessor.h"
#include "pr/helper/LinkedSteps.h"

namespace Hvd {

CConfiguration::CConfiguration()
    : m_elements(static_cast<IConfigurationElementSet*>(new CConfigurationElementSetHelper)) {}

CConfiguration::~CConfiguration() { ReleaseElements(); }

void CConfiguration::ReleaseElements() {
  // An element that outlives its configuration must not reach back into it.
  Prjrep::AutoRelease<IConfigurationElementIterator> it;
  if (m_elements.Get() != nullptr) std::ignore = m_elements->GetIterator(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    if (Prjrep::AutoCast<ICompAdmin> admin(it->Current()); admin.Get() != nullptr)
      std::ignore = admin->InitializeAfterLoad(nullptr);
  }
}

Status CConfiguration::XIConfiguration::GetElements(IConfigurationElementIterator** elements) {
  CConfiguration& self = This();
  if (self.m_elements.Get() == nullptr) {
    if (elements != nullptr) *elements = nullptr;
    return kFailure;
  }
  return self.m_elements->GetIterator(elements);
}

Status CConfiguration::GetProject(IProject** project) {
  if (project == nullptr) return kFailure;
  Prjrep::AutoOut<IProject> out(project);
  if (m_project.Get() != nullptr) std::ignore = out.Assign(GetOwningProject(m_project.Get()).Get());
  return *project != nullptr ? kSuccess : kFailure;
}

Status CConfiguration::Initialize(CitI::IInterface* project) {
  m_project = SynthesizeHlcPlusAutonym(project);
  if (m_project.Get() == nullptr) return kFailure;
  std::ignore = RegisterNamedObject(project, "Configuration", &m_XIConfiguration, true);
  PropertyAccessor properties(Prjrep::AutoCast<IProject>(project).Get());
  properties.SetPropertyValue("PROP_HierarchicalProjectType", "Configuration");
  return kSuccess;
}

Prjrep::AutoRelease<CitI::IInterface> CConfiguration::FindConfigManager() {
  Prjrep::AutoRelease<CitI::IInterface> manager;
  Prjrep::AutoRelease<IConfigurationElementIterator> it;
  std::ignore = m_XIConfiguration.GetElements(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    bool isStatic = false;
    if (it->Current() == nullptr || it->Current()->GetIsStatic(&isStatic) != kSuccess || !isStatic) continue;
    Prjrep::AutoRelease<CitI::IInterface> staticProject;
    std::ignore = it->Current()->GetFlavor(staticProject.Receive());
    std::ignore = FindNamedObjectIn(staticProject.Get(), "ConfigManager", manager.Receive());
    break;
  }
  return manager;
}

Status CConfiguration::XIConfigurationPrivate::CreateElement(IPRModule* module, IConfigurationElement** element) {
  CConfiguration& self = This();
  Prjrep::AutoOut<IConfigurationElement> out(element);
  Prjrep::AutoRelease<CitI::IInterface> made(CitP::Factory::CreateInstance(ClassId::ConfigurationElement()));
  Prjrep::AutoCast<ISettableConfigurationElement> settable(made.Get());
  if (Prjrep::AutoCast<ICompAdmin> admin(made.Get()); admin.Get() != nullptr)
    std::ignore = admin->InitializeAfterCreate(&self.m_XIConfiguration, nullptr);
  if (settable.Get() == nullptr) return kFailure;
  if (module == nullptr) {
    std::ignore = settable->SetIsStatic(true);
    std::ignore = settable->SetPRModule(nullptr);
  } else {
    Prjrep::AutoRelease<CitI::IInterface> manager = self.FindConfigManager();
    Prjrep::AutoRelease<Prjrep::IAutonym> autonym = FindAutonymInSet(manager.Get(), module);
    std::ignore = settable->SetPRModule(autonym.Get());
    // The module's active flavor, else its first.
    Prjrep::AutoRelease<IFlavor> active;
    std::ignore = module->GetActiveFlavor(active.Receive());
    Prjrep::AutoPtr<IFlavor> flavor(active.Get());
    if (flavor.Get() == nullptr) {
      Prjrep::AutoRelease<IFlavorSet> flavors;
      std::ignore = module->GetFlavorSet(flavors.Receive());
      Prjrep::AutoRelease<IFlavorIterator> it;
      if (flavors.Get() != nullptr) std::ignore = flavors->GetIterator(it.Receive());
      if (it.Get() != nullptr && !it->IsDone()) flavor = it->Current();
    }
    std::ignore = settable->SetFlavor(flavor.Get());
  }
  Prjrep::AutoCast<IConfigurationElement> added(made.Get());
  if (self.m_elements.Get() != nullptr) std::ignore = self.m_elements->Add(added.Get());
  if (element == nullptr) return kFailure;
  std::ignore = out.Assign(added.Get());
  return *element != nullptr ? kSuccess : kFailure;
}

Status CConfiguration::XIConfigurationPrivate::RemoveElementForPRModule(CitI::IInterface* module) {
  IConfigurationElementSet* set = This().m_elements.Get();
  Prjrep::AutoRelease<IConfigurationElementIterator> it;
  if (set != nullptr) std::ignore = set->GetIterator(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    IConfigurationElement* element = it->Current();
    Prjrep::AutoRelease<IPRModule> elementModule;
    if (element != nullptr) std::ignore = element->GetPRModule(elementModule.Receive());
    if (!pr::SameObject(elementModule.Get(), module)) continue;
    if (Prjrep::AutoCast<ISettableConfigurationElement> settable(element); settable.Get() != nullptr) {
      std::ignore = settable->SetFlavor(nullptr);
      std::ignore = settable->SetPRModule(nullptr);
    }
    if (Prjrep::AutoCast<ICompAdmin> admin(element); admin.Get() != nullptr)
      std::ignore = admin->InitializeAfterLoad(nullptr);
    return set->Remove(it);
  }
  return kFailure;
}

namespace {

// Static-project properties that stay the configuration project's own.
constexpr const char* kNotCopied[] = {
    "PROP_ForceCompileBCD",         "PROP_HierarchicalProjectType", "PROP_InsertIOBuffers",
    "PROP_PIFMap",                  "PROP_PIFMapTrailing",          "PROP_PIFPar",
    "PROP_PIFParTrailing",          "PROP_PIFTranslate",            "PROP_PIFTranslateTrailing",
    "PROP_PrecAddIOPads",           "PROP_StartImpView",            "PROP_StopImpView",
    "PROP_SynthDisableIOInsertion", "PROP_Synthesis_Tool",          "PROP_PartitionForcePlacement",
    "PROP_PartitionForceSynth",     "PROP_PartitionForceTranslate", "PROP_qlbWorkDir"};

bool IsNotCopied(const std::string& name) {
  for (const char* excluded : kNotCopied)
    if (name == excluded) return true;
  return false;
}

// Set at all, even to nothing, the switch hands synchronisation to the Tcl procedures.
bool UseTclSync() { return std::getenv("VEL_CORVANE_USE_TCL_SYNC") != nullptr; }

}  // namespace

Prjrep::AutoRelease<IProject> CConfiguration::StaticProject() {
  Prjrep::AutoRelease<IConfigurationElementIterator> it;
  std::ignore = m_XIConfiguration.GetElements(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    bool isStatic = false;
    if (it->Current() == nullptr || it->Current()->GetIsStatic(&isStatic) != kSuccess || !isStatic) continue;
    Prjrep::AutoRelease<CitI::IInterface> object;
    std::ignore = it->Current()->GetFlavor(object.Receive());
    return Prjrep::AutoRelease<IProject>(std::move(object));
  }
  return nullptr;
}

void CConfiguration::CopyConfigurationProperties() {
  Prjrep::AutoRelease<IProject> project;
  std::ignore = m_XIProjectCompReference.GetProject(project.Receive());
  Prjrep::AutoRelease<IProject> staticProject = StaticProject();
  if (project.Get() == nullptr || staticProject.Get() == nullptr) return;
  std::vector<Prjrep::AutoPtr<IPropertyInstance>> instances;
  PropertyAccessor(staticProject.Get()).GetAllPropertyInstances(instances);
  PropertyAccessor target(project.Get());
  for (const Prjrep::AutoPtr<IPropertyInstance>& instance : instances) {
    Port::StringBase<char> name;
    Port::StringBase<char> value;
    if (instance.Get() == nullptr || instance->GetName(&name) != kSuccess) continue;
    std::ignore = instance->GetValue(&value);
    if (IsNotCopied(name.str())) continue;
    bool isDefault = true;
    if (Prjrep::AutoCast<IFilePropertyInstance>(instance.Get()).Get() != nullptr &&
        instance->IsDefault(&isDefault) == kSuccess && !isDefault && !value.empty()) {
      // A path list keeps the configuration's own entries and gains the static project's.
      std::ignore = prseams::MergePathListProperty(project.Get(), staticProject.Get(), name);
      continue;
    }
    target.SetPropertyValue(name, value);
  }
}

Status CConfiguration::XICompositionControl::Compose(CitI::IInterface* argument) {
  CConfiguration& self = This();
  AuditRecord audit("pr_audit", "Compose");
  audit.SetAttribute("src", GetObjectFullPath(self.m_project.Get()));
  Prjrep::AutoRelease<IProject> project;
  std::ignore = self.m_XIProjectCompReference.GetProject(project.Receive());
  Prjrep::AutoCast<ICompositionControl> projectComposition(project.Get());
  Prjrep::AutoRelease<IConfigurationElementIterator> it;
  std::ignore = self.m_XIConfiguration.GetElements(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    if (Prjrep::AutoCast<ICompositionControl> element(it->Current()); element.Get() != nullptr)
      std::ignore = element->Compose(argument);
  }
  self.CopyConfigurationProperties();
  if (projectComposition.Get() != nullptr) std::ignore = projectComposition->Compose(argument);
  if (!UseTclSync()) {
    std::ignore = prseams::SyncPartitionsIntoConfiguration(this);
    std::ignore = prseams::CopyConfigurationResults(this, false);
  } else {
    std::ignore = InterpHelp::RunCmd("::velmor::pr_sync_actions::PullPartitionsIntoConfiguration",
                                     &self.m_XIConfiguration, true, nullptr);
    std::ignore = InterpHelp::RunCmd("::velmor::pr_sync_actions::PullHackFilesIntoConfiguration",
                                     &self.m_XIConfiguration, true, nullptr);
  }
  return kSuccess;
}

Status CConfiguration::XICompositionControl::Decompose(CitI::IInterface* argument) {
  CConfiguration& self = This();
  AuditRecord audit("pr_audit", "Decompose");
  audit.SetAttribute("src", GetObjectFullPath(self.m_project.Get()));
  Prjrep::AutoRelease<IConfigurationElementIterator> it;
  std::ignore = self.m_XIConfiguration.GetElements(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    if (Prjrep::AutoCast<ICompositionControl> element(it->Current()); element.Get() != nullptr)
      std::ignore = element->Decompose(argument);
  }
  if (!UseTclSync()) {
    std::ignore = prseams::SyncPartitionsOutOfConfiguration(this);
    std::ignore = prseams::CopyConfigurationResults(this, true);
  } else {
    std::ignore = InterpHelp::RunCmd("::velmor::pr_sync_actions::PushPartionsOutOfConfiguration",
                                     &self.m_XIConfiguration, true, nullptr);
    std::ignore = InterpHelp::RunCmd("::velmor::pr_sync_actions::PushHackFilesOutOfConfiguration",
                                     &self.m_XIConfiguration, true, nullptr);
  }
  return kSuccess;
}

Status CConfiguration::XIAutoNaming::GetAutonym(Prjrep::IAutonym** autonym) {
  if (autonym == nullptr) return kFailure;
  auto* made = new CConfigurationAutonym;
  made->SetObject(&This().m_XIConfiguration);
  Prjrep::AutoRelease<Prjrep::IAutonym> held(made);
  *autonym = held.Detach();
  return *autonym != nullptr ? kSuccess : kFailure;
}

Status CConfiguration::XIProjectReference::GetProjectFileName(Port::StringBase<char>* path) {
  if (path == nullptr) return kFailure;
  *path = GetObjectFullPath(This().m_project.Get());
  return path->empty() ? kFailure : kSuccess;
}

Status CConfiguration::XICompAdmin::Teardown() {
  std::ignore = ForwardToNamedObjectRegistry(this);
  return SaveOwningCvfProject(This().m_project.Get(), nullptr);
}

Status CConfiguration::SaveTo(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kFailure;
  // The first failed write is the answer: a record cut short is no saved record.
  if (const Status status = storage->WriteString(&m_name.Name()); status != kSuccess) return status;
  if (const Status status = pr::WriteAutonym(storage, m_project.Get()); status != kSuccess) return status;
  IConfigurationElementSet* set = m_elements.Get();
  const std::size_t count = set != nullptr ? set->Size() : 0;
  if (const Status status = storage->WriteInt32(static_cast<std::int32_t>(count)); status != kSuccess) return status;
  Prjrep::AutoRelease<IConfigurationElementIterator> it;
  if (set != nullptr) std::ignore = set->GetIterator(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    Prjrep::AutoCast<Prjrep::IPersist> element(it->Current());
    if (const Status status = storage->WriteObject(element.Get()); status != kSuccess) return status;
  }
  return kSuccess;
}

Status CConfiguration::LoadFrom(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kFailure;
  // Reading stops at the first failure, so a damaged count cannot run on.
  Port::StringBase<char> name;
  if (const Status status = storage->ReadString(&name); status != kSuccess) return status;
  if (const Status status = m_name.Restore(name); status != kSuccess) return status;
  if (const Status status = pr::ReadAutonym(storage, m_project); status != kSuccess) return status;
  if (m_elements.Get() == nullptr)
    m_elements.Assign(static_cast<IConfigurationElementSet*>(new CConfigurationElementSetHelper));
  std::int32_t count = 0;
  if (const Status status = storage->ReadInt32(&count); status != kSuccess) return status;
  for (std::int32_t i = 0; i < count; ++i) {
    Prjrep::AutoRelease<Prjrep::IPersist> read;
    if (const Status status = storage->ReadObject(read.Receive()); status != kSuccess) return status;
    if (Prjrep::AutoCast<ICompAdmin> admin(read.Get()); admin.Get() != nullptr)
      std::ignore = admin->InitializeAfterLoad(&m_XIConfiguration);
    if (Prjrep::AutoCast<IConfigurationElement> element(read.Get()); element.Get() != nullptr)
      std::ignore = m_elements->Add(element.Get());
  }
  return kSuccess;
}

}  // namespace Hvd
