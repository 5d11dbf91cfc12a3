// Taking the manager apart before it goes.
#include "Prjrep/IAutonym.h"
#include "pr/CConfigurationMgr.h"
#include "utils/DmUtils.h"
#include "utils/Factory.h"

namespace Hvd {

Status CConfigurationMgr::XICompAdmin::Teardown() {
  CConfigurationMgr& self = This();
  Prjrep::AutoRelease<Prjrep::ISimpleNamedLookup> names(GetNamedObjectRegistryCLSID());
  if (names.Get() != nullptr) {
    std::ignore = names->UnregisterObject(&self.m_XIConfigurationManager);
    if (self.m_active.Get() != nullptr) std::ignore = names->UnregisterObject(self.m_active.Get());
  }
  Prjrep::AutoRelease<IConfigurationIterator> configurations;
  std::ignore = self.Configurations()->GetIterator(configurations.Receive());
  for (; configurations.Get() != nullptr && !configurations->IsDone(); std::ignore = configurations->Next())
    std::ignore = SaveOwningCvfProject(configurations->Current(), nullptr);
  Prjrep::AutoRelease<IPRModuleIterator> modules;
  std::ignore = self.Modules()->GetIterator(modules.Receive());
  for (; modules.Get() != nullptr && !modules->IsDone(); std::ignore = modules->Next())
    std::ignore = SaveOwningCvfProject(modules->Current(), nullptr);
  if (names.Get() != nullptr) {
    for (const char* name : {"ActiveConfiguration", "ActiveConfigManager", "ActivePRModule", "ActivePRProject"})
      std::ignore = names->Unregister(name);
  }
  self.m_configurations = nullptr;
  self.m_active = nullptr;
  self.m_modules = nullptr;
  self.m_project = nullptr;
  return kSuccess;
}

}  // namespace Hvd
