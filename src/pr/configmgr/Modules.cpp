// The reconfigurable modules: created with an element in every configuration, found by
// instance path, removed from every configuration.
#include "CitP/Factory.h"
#include "Hvd/EventIds.h"
#include "Hvd/IProjectHelper.h"
#include "Port/MsgMan.h"
#include "pr/CConfigurationMgr.h"
#include "pr/PRShared.h"
#include "utils/DmUtils.h"
#include "utils/DumperComp.h"
#include "utils/Factory.h"

namespace Hvd {

Status CConfigurationMgr::XIPRModuleManager::GetPRModules(IPRModuleIterator** modules) {
  return This().Modules()->GetIterator(modules);
}

Status CConfigurationMgr::XIPRModuleManager::CreatePRModule(const Port::StringBase<char>& instancePath,
                                                            IPRModule** module) {
  CConfigurationMgr& self = This();
  Prjrep::AutoOut<IPRModule> out(module);
  Prjrep::AutoRelease<IPRModule> made(CitP::Factory::CreateInstance(ClassId::PRModule()));
  std::ignore = out.Assign(made.Get());
  if (Prjrep::AutoCast<ISettablePRModule> settable(made.Get()); settable.Get() != nullptr)
    std::ignore = settable->SetInstancePath(instancePath);
  const Status status = self.Modules()->Add(made.Get());
  // The module's partition in the hierarchical-design project is not made yet.
  Prjrep::AutoRelease<IConfigurationIterator> it;
  std::ignore = self.Configurations()->GetIterator(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    if (Prjrep::AutoCast<IConfigurationPrivate> configuration(it->Current()); configuration.Get() != nullptr) {
      Prjrep::AutoRelease<IConfigurationElement> element;
      std::ignore = configuration->CreateElement(made.Get(), element.Receive());
    }
  }
  std::ignore = RegisterNamedObject(GetNamedObjectRegistryCLSID(), "ActivePRModule", made.Get(), true);
  return status;
}

Status CConfigurationMgr::XIPRModuleManager::FindPRModule(const Port::StringBase<char>& instancePath,
                                                          IPRModule** module) {
  if (module == nullptr) return kFailure;
  Prjrep::AutoOut<IPRModule> out(module);
  Prjrep::AutoRelease<IPRModuleIterator> it;
  std::ignore = GetPRModules(it.Receive());
  if (it.Get() == nullptr) {
    Port_MsgManData::debugStub("iPRModIter, of type IPRModuleIterator");
    return kFailure;
  }
  for (; !it->IsDone(); std::ignore = it->Next()) {
    Port::StringBase<char> path;
    if (it->Current() == nullptr || it->Current()->GetInstancePath(path) != kSuccess) continue;
    if (path.str() == instancePath.str()) {
      std::ignore = out.Assign(it->Current());
      break;
    }
  }
  return *module != nullptr ? kSuccess : kFailure;
}

Port::StringBase<char> CConfigurationMgr::ActiveFlavorPathOf(IPRModule* module) {
  Port::StringBase<char> path;
  Prjrep::AutoRelease<IConfigurationElementIterator> it;
  if (m_active.Get() != nullptr) std::ignore = m_active->GetElements(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    Prjrep::AutoRelease<IPRModule> elementModule;
    if (it->Current() != nullptr) std::ignore = it->Current()->GetPRModule(elementModule.Receive());
    if (!pr::SameObject(elementModule.Get(), module)) continue;
    Prjrep::AutoRelease<CitI::IInterface> flavor;
    std::ignore = it->Current()->GetFlavor(flavor.Receive());
    return GetObjectFullPath(flavor.Get());
  }
  return path;
}

void CConfigurationMgr::RemoveModuleFromConfiguration(IConfiguration* configuration, IPRModule* module) {
  const bool active = IsSameConfiguration(configuration, m_active.Get());
  Prjrep::AutoCast<ICompositionControl> composition(configuration);
  if (active && composition.Get() != nullptr) std::ignore = composition->Decompose(&m_XIConfigurationManager);
  if (Prjrep::AutoCast<IConfigurationPrivate> builder(configuration); builder.Get() != nullptr)
    std::ignore = builder->RemoveElementForPRModule(module);
  if (active && composition.Get() != nullptr) std::ignore = composition->Compose(&m_XIConfigurationManager);
  std::ignore = SaveOwningProject(configuration, nullptr);
  // A closed configuration's project file keeps the module's flavor until the removal
  // script exists.
}

Status CConfigurationMgr::XIPRModuleManager::RemovePRModule(IPRModule* module) {
  CConfigurationMgr& self = This();
  const ScopedDumpMarker marker("pr_audit", "RemovePRModule");
  if (module == nullptr || self.m_modules.Get() == nullptr) return kFailure;
  const Prjrep::AutoPtr<IPRModule> held(module);
  Prjrep::AutoRelease<IPRModuleIterator> at;
  std::ignore = self.m_modules->GetIterator(at.Receive());
  while (at.Get() != nullptr && !at->IsDone() && at->Current() != module) std::ignore = at->Next();
  if (at.Get() == nullptr || at->IsDone()) return kFailure;

  const Port::StringBase<char> flavorPath = self.ActiveFlavorPathOf(module);
  Prjrep::AutoRelease<IConfigurationIterator> configurations;
  std::ignore = self.m_XIConfigurationManager.GetConfigurations(configurations.Receive());
  if (configurations.Get() != nullptr) {
    // The steps below re-point the active project and repository; they are put back.
    Prjrep::AutoRelease<CitI::IInterface> project;
    Prjrep::AutoRelease<CitI::IInterface> repository;
    std::ignore = FindNamedObject("ActiveHvdProject", project.Receive());
    std::ignore = FindNamedObject("ActiveRepository", repository.Receive());
    for (; !configurations->IsDone(); std::ignore = configurations->Next()) {
      const Prjrep::AutoPtr<IConfiguration> configuration(configurations->Current());
      self.RemoveModuleFromConfiguration(configuration.Get(), module);
    }
    Prjrep::AutoRelease<CitI::IInterface> registry = GetNamedObjectRegistryCLSID();
    if (project.Get() != nullptr) std::ignore = RegisterNamedObject(registry.Get(), "ActiveHvdProject", project.Get(), true);
    if (repository.Get() != nullptr)
      std::ignore = RegisterNamedObject(registry.Get(), "ActiveRepository", repository.Get(), true);
  }
  const Status removed = self.m_modules->Remove(at);

  if (!flavorPath.empty()) {
    Prjrep::AutoRelease<IProjectHelper> helper = GetCvfProject(self.m_project.Get(), false);
    Prjrep::AutoCast<IProjSrcHelper> sources(helper.Get());
    if (helper.Get() != nullptr && sources.Get() != nullptr) {
      std::ignore = sources->AddProjectSource(flavorPath, 0);
      if (Prjrep::AutoCast<ICompositionControl> composition(self.m_active.Get()); composition.Get() != nullptr)
        std::ignore = composition->Compose(&self.m_XIConfigurationManager);
      std::ignore = helper->AfterSourcesChanged(1);
    }
  }
  std::ignore = SendEvent(this, EventId::ConfigurationManagerChanged(), this);
  // The caller learns whether the module went.
  return removed == kSuccess ? kSuccess : kFailure;
}

Status CConfigurationMgr::XIConfigurationManager::RemovePRModule(IPRModule* module) {
  return This().m_XIPRModuleManager.RemovePRModule(module);
}

}  // namespace Hvd
