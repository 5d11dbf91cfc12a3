// The reconfigurable modules: created with an element in every configuration, found by
// instance path, removed from every configuration.
#include "CitP/Factory.h"
#include "HdcI/IHDProject.h"
#include "Hvd/EventIds.h"
#include "Hvd/IProjectHelper.h"
#include "Port/MsgMan.h"
#include "core/XmlChars.h"
#include "pr/CConfigurationMgr.h"
#include "pr/PRShared.h"
#include "pr/modules/ChildRemoval.h"
#include "pr/partitions/PartitionCopy.h"
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
  // The path names the module's partition, which the project's files hold: refused before
  // anything is made.
  if (!XmlFits("ProjectMgmt", "The instance path", instancePath.str())) return kInvalidParameter;
  Prjrep::AutoRelease<IPRModule> made(CitP::Factory::CreateInstance(ClassId::PRModule()));
  std::ignore = out.Assign(made.Get());
  if (Prjrep::AutoCast<ISettablePRModule> settable(made.Get()); settable.Get() != nullptr)
    std::ignore = settable->SetInstancePath(instancePath);
  const Status status = self.Modules()->Add(made.Get());
  EnsurePartition(self.m_project.Get(), instancePath);
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

// The module's partition in the hierarchical-design project of the manager's project,
// made when that project has none at the instance path. The project's repository is the
// one its full path names: the repository path it keeps names another file.
void CConfigurationMgr::EnsurePartition(IProject* project, const Port::StringBase<char>& instancePath) {
  Prjrep::AutoRelease<HdcI::IHDProject> hdProject = PRSync::GetHDProject(project);
  if (hdProject.Get() == nullptr) return;
  Prjrep::AutoRelease<HdcI::IPartition> partition;
  std::ignore = hdProject->FindPartition(instancePath, partition.Receive());
  if (partition.Get() == nullptr) std::ignore = hdProject->CreatePartition(instancePath, partition.ReleaseAndReceive());
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

  Port::StringBase<char> flavorPath;
  pr::GetFlavorPathOfModule(self.m_active.Get(), module, flavorPath);
  Prjrep::AutoRelease<IConfigurationIterator> configurations;
  std::ignore = self.m_XIConfigurationManager.GetConfigurations(configurations.Receive());
  if (configurations.Get() != nullptr) {
    // The steps below re-point the active project and repository; they are put back.
    const pr::ActiveProjectsKeeper keeper;
    for (; !configurations->IsDone(); std::ignore = configurations->Next()) {
      const Prjrep::AutoPtr<IConfiguration> configuration(configurations->Current());
      pr::RemoveModuleFromConfiguration(&self.m_XIConfigurationManager, configuration.Get(), module);
    }
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
