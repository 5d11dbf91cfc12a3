// Activating and deactivating a configuration.
#include <cstdlib>

#include "Hvd/EventIds.h"
#include "pr/CConfigurationMgr.h"
#include "pr/results/TriggerProperties.h"
#include "utils/DmUtils.h"
#include "utils/DumperComp.h"
#include "utils/Factory.h"

namespace Hvd {

Status CConfigurationMgr::XIConfigurationManager::SetActiveConfiguration(IConfiguration* configuration) {
  CConfigurationMgr& self = This();
  const ScopedDumpMarker marker("pr_audit", "SetActiveConfiguration");
  if (configuration != nullptr && self.FindMember(configuration).Get() == nullptr) return kFailure;
  if (configuration != nullptr && IsSameConfiguration(configuration, self.m_active.Get())) return kSuccess;

  // Held: the previous one may leave the registry, which may hold its last reference.
  const Prjrep::AutoPtr<IConfiguration> previous = self.m_active;
  if (Prjrep::AutoCast<ICompositionControl> composition(previous.Get()); composition.Get() != nullptr)
    std::ignore = composition->Decompose(this);
  if (previous.Get() != nullptr) std::ignore = SaveOwningProject(previous.Get(), nullptr);

  if (configuration == nullptr) {
    std::ignore = ForwardToNamedObjectRegistry(previous.Get());
    SetActiveRepository(self.m_project.Get());
    SetActiveProject(self.m_project.Get());
    self.m_active = nullptr;
    return kSuccess;
  }

  self.m_active = configuration;
  std::ignore = RegisterNamedObject(GetNamedObjectRegistryCLSID(), "ActiveConfiguration", configuration, true);
  // Set at all, whatever its value, the switch keeps the repository where it is.
  if (std::getenv("VEL_CORVANE_NO_SET_ACTIVE_REPO_CONFIG") == nullptr) SetActiveRepository(configuration);
  if (Prjrep::AutoCast<ICompositionControl> composition(configuration); composition.Get() != nullptr)
    std::ignore = composition->Compose(this);
  std::ignore = PRSync::SetupPIFProperties(configuration);
  std::ignore = SendEvent(this, EventId::ConfigurationActivated(), configuration);
  std::ignore = SendEvent(configuration, EventId::ConfigurationActivated(), configuration);
  return kSuccess;
}

}  // namespace Hvd
