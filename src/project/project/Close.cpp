// Closing: the project is saved when asked, its listeners are told, and the release routine
// empties it.

#include <strings.h>

#include "Hvd/EventIds.h"
#include "core/Diagnostics.h"
#include "core/Events.h"
#include "project/IpcConnection.h"
#include "project/ProjectRoutines.h"
#include "project/project/CProject.h"
#include "utils/DmUtils.h"

namespace Hvd {

Status CProject::XIProject::ProjectClose(bool save) {
  CProject& self = This();
  OperationGateGuard gate(this, "close");
  if (gate.EnteredAlready()) return kSuccess;
  const DepthScope depth(self.m_saveDepth);
  // A closed project is no parent's sub-project any more; the mark held the project too.
  std::ignore = WithdrawFromOperationGate(MakeInterfaceKey("subproject", this));
  const String hierarchy = GetProjectPropertyValue(this, "PROP_HierarchicalProjectType");
  const bool closeAudit = strcasecmp(hierarchy.c_str(), "Static") == 0 || strcasecmp(hierarchy.c_str(), "N/A") == 0;
  if (!self.m_open) return Fail(kSuccess, "Project::ProjectClose - Project is not open.\n");

  Status result = kSuccess;
  if (save) result = self.m_XIForceSave.ForceSave();
  if (self.m_connectionManager) std::ignore = ShutDownConnectionManager(self.m_connectionManager.Get());
  const Status told = SendEvent(this, EventId::ProjectClosing(), nullptr);
  if (result == kSuccess) result = told;
  self.ReleaseProject(true);
  if (closeAudit) CloseAuditLog(kAuditLogName);
  return result;
}

}  // namespace Hvd
