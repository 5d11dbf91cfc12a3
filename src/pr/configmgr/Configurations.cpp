// Creating, adding, listing and removing configurations.
#include "CitP/Factory.h"
#include "Hvd/EventIds.h"
#include "Port/MsgMan.h"
#include "pr/CConfigurationMgr.h"
#include "pr/modules/ChildRemoval.h"
#include "utils/DmUtils.h"
#include "utils/DumperComp.h"

namespace Hvd {

Status CConfigurationMgr::XIConfigurationManager::GetConfigurations(IConfigurationIterator** configurations) {
  return This().Configurations()->GetIterator(configurations);
}

Status CConfigurationMgr::XIConfigurationManager::CreateConfiguration(IConfiguration** configuration) {
  CConfigurationMgr& self = This();
  const ScopedDumpMarker marker("pr_audit", "CreateConfiguration");
  Prjrep::AutoOut<IConfiguration> out(configuration);
  IConfigurationSet* set = self.Configurations();
  Prjrep::AutoRelease<CitI::IInterface> made(CitP::Factory::CreateInstance(ClassId::Configuration()));
  Prjrep::AutoCast<IConfigurationPrivate> builder(made.Get());
  if (builder.Get() == nullptr) return kFailure;
  Prjrep::AutoRelease<IConfigurationElement> staticElement;
  std::ignore = builder->CreateElement(nullptr, staticElement.Receive());
  if (Prjrep::AutoCast<ISettableConfigurationElement> settable(staticElement.Get()); settable.Get() != nullptr)
    std::ignore = settable->SetFlavor(self.m_project.Get());
  Prjrep::AutoRelease<IPRModuleIterator> it;
  std::ignore = self.Modules()->GetIterator(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next())
    std::ignore = builder->CreateElement(it->Current(), nullptr);
  Prjrep::AutoCast<IConfiguration> created(made.Get());
  std::ignore = set->Add(created.Get());
  std::ignore = SendEvent(this, EventId::ConfigurationCreated(), created.Get());
  if (configuration == nullptr) return kFailure;
  std::ignore = out.Assign(created.Get());
  return *configuration != nullptr ? kSuccess : kFailure;
}

Status CConfigurationMgr::XIConfigurationManager::AddConfiguration(IConfiguration* configuration) {
  CConfigurationMgr& self = This();
  // Held: taking it out of the set may give up the last reference.
  const Prjrep::AutoPtr<IConfiguration> held(configuration);
  IConfigurationSet* set = self.Configurations();
  if (Prjrep::AutoRelease<IConfigurationIterator> member = self.FindMember(configuration); member.Get() != nullptr)
    std::ignore = set->Remove(member);
  const Status status = set->Add(held.Get());
  std::ignore = SendEvent(this, EventId::ConfigurationManagerChanged(), nullptr);
  return status;
}

Status CConfigurationMgr::XIConfigurationManager::GetActiveConfiguration(IConfiguration** configuration) {
  if (configuration == nullptr) return kFailure;
  Prjrep::AutoOut<IConfiguration> out(configuration);
  std::ignore = out.Assign(This().m_active.Get());
  return *configuration != nullptr ? kSuccess : kFailure;
}

Status CConfigurationMgr::XIConfigurationManager::RemoveConfiguration(IConfiguration* configuration) {
  CConfigurationMgr& self = This();
  Prjrep::AutoRelease<IConfigurationIterator> member = self.FindMember(configuration);
  if (member.Get() == nullptr) return kFailure;
  const Prjrep::AutoPtr<IConfiguration> removed(configuration);
  std::ignore = SendEvent(removed.Get(), EventId::ConfigurationRemoved(), removed.Get());
  const Status status = self.Configurations()->Remove(member);
  if (self.m_active.Get() != nullptr && IsSameConfiguration(removed.Get(), self.m_active.Get())) {
    std::ignore = SetActiveConfiguration(nullptr);
  } else {
    if (IsActiveProject(removed.Get())) SetActiveProject(self.m_project.Get());
    if (IsActiveRepository(removed.Get())) SetActiveRepository(self.m_project.Get());
  }
  std::ignore = CloseOperationGate(removed.Get(), self.m_project.Get());
  std::ignore = SaveOwningCvfProject(removed.Get(), nullptr);
  std::ignore = SendEvent(this, EventId::ConfigurationManagerChanged(), nullptr);
  return status;
}

Status CConfigurationMgr::XIConfigurationManager::RemoveFlavor(IFlavor* flavor) {
  return pr::RemoveFlavorFromManager(this, flavor);
}

}  // namespace Hvd
