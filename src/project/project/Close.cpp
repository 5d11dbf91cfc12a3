// Closing: the project is saved when asked, its listeners are told, and the release routine
// empties it.

#include <strings.h>

#include <algorithm>
#include <vector>

#include "Hvd/EventIds.h"
#include "Port/MsgMan.h"
#include "core/Diagnostics.h"
#include "core/Events.h"
#include "project/IpcConnection.h"
#include "project/ProjectRoutines.h"
#include "project/project/CProject.h"
#include "utils/DmUtils.h"

namespace Hvd {

namespace {

// The closes under way on this thread and the forced saves owed to them. Closing a project
// closes its children (and they theirs) with a save, each after its parent's own save saved it
// with all its sub-projects: a chain of n projects was written n²/2 times. Each project is now
// written once, at its own close, in the state it has then, as the last of those saves wrote it.
struct ClosePass {
  int depth = 0;
  std::vector<Prjrep::AutoPtr<IProject>> owed;  // in the order the saves were asked for
};
thread_local ClosePass t_pass;

std::vector<Prjrep::AutoPtr<IProject>>::iterator FindOwed(IProject* project) {
  CitI::IInterface* identity = RootOf(project);
  return std::find_if(t_pass.owed.begin(), t_pass.owed.end(),
                      [&](const Prjrep::AutoPtr<IProject>& held) { return RootOf(held.Get()) == identity; });
}

// The project's owed save, taken out of the pass; null when none is owed.
Prjrep::AutoPtr<IProject> TakeOwed(IProject* project) {
  Prjrep::AutoPtr<IProject> taken;
  if (const auto found = FindOwed(project); found != t_pass.owed.end()) {
    taken = std::move(*found);
    t_pass.owed.erase(found);
  }
  return taken;
}

// One close in the pass. The outermost one, as it ends, saves what is still owed and open (a
// child no close reached), each once; sub-projects those saves ask for are owed in turn.
class ClosePassScope {
 public:
  ClosePassScope() { ++t_pass.depth; }
  ~ClosePassScope() {
    if (t_pass.depth == 1) {
      while (!t_pass.owed.empty()) {
        const Prjrep::AutoPtr<IProject> project = std::move(t_pass.owed.front());
        t_pass.owed.erase(t_pass.owed.begin());
        bool open = false;
        if (project->IsOpen(&open) != kSuccess || !open) continue;
        if (Prjrep::AutoCast<IForceSave> saver(project.Get()); saver) std::ignore = saver->ForceSave();
      }
    }
    --t_pass.depth;
  }
  ClosePassScope(const ClosePassScope&) = delete;
  ClosePassScope& operator=(const ClosePassScope&) = delete;
};

}  // namespace

bool CProject::OweForcedSaveToClose(IProject* project) {
  if (t_pass.depth == 0 || project == nullptr) return false;
  if (FindOwed(project) == t_pass.owed.end()) t_pass.owed.emplace_back(project);
  return true;
}

Status CProject::XIProject::ProjectClose(bool save) {
  CProject& self = This();
  // Declared first, so that an owed save's reference is let go only after the gate below.
  Prjrep::AutoPtr<IProject> owed;
  const ClosePassScope pass;
  OperationGateGuard gate(this, "close");
  if (gate.EnteredAlready()) return kSuccess;
  // The save below runs with the close's depth raised, where no reload can: a change another
  // program made on disk is looked at first, and one that could not be read in is not written
  // over.
  // A project with nothing to save writes nothing and asks nothing: what another program wrote
  // since is not this close's to read in or to write over.
  const bool owes = FindOwed(this) != t_pass.owed.end();
  const bool writes = save && (owes || self.HoldsUnsavedChanges());
  const Status checked = (writes || owes) ? self.CheckDiskBeforeWrite() : kSuccess;
  const DepthScope depth(self.m_saveDepth);
  // A closed project is no parent's sub-project any more; the mark held the project too. A
  // close that keeps the project open leaves it marked: it reloads as a sub-project still.
  const auto unmark = [this] { std::ignore = WithdrawFromOperationGate(MakeInterfaceKey("subproject", this)); };
  const String hierarchy = GetProjectPropertyValue(this, "PROP_HierarchicalProjectType");
  const bool closeAudit = strcasecmp(hierarchy.c_str(), "Static") == 0 || strcasecmp(hierarchy.c_str(), "N/A") == 0;
  owed = TakeOwed(this);
  if (!self.m_open) {
    unmark();
    return Fail(kSuccess, "Project::ProjectClose - Project is not open.\n");
  }

  Status result = kSuccess;
  if (checked != kSuccess) {
    if (save) result = checked;
  } else if (save) {
    if (writes) result = self.m_XIForceSave.ForceSave();
    // A save that kept the changes in memory only (a file without write permission, or gone)
    // answers success as a save; a close would drop them with the project.
    // It stays open, as it was: those changes go only by a close told not to save.
    if (result == kSuccess && !self.m_unwritten.empty()) {
      Port_MsgManData::createObject("ProjectMgmt", "CProject", 0, kProjectRevision)
          .issueError("The changes to the project file \"%s\" could not be written: %s. The project stays open: "
                      "let it be written and close it again, save it under another name, or close it without saving to "
                      "drop the changes.\n",
                      self.m_projectFilePath.c_str(), self.m_unwritten.c_str());
      return kProjectReadOnly;
    }
    // The repository is told the project is done with it only after the save wrote it.
    if (Prjrep::AutoCast<Prjrep::IProjectRepositoryInternal> internal(self.m_repository.Get()); internal)
      std::ignore = internal->Close(0);
  } else if (owed) {
    // A parent's save asked for it; as before, its result is not the close's.
    std::ignore = self.m_XIForceSave.ForceSave();
  }
  unmark();
  if (self.m_connectionManager) std::ignore = ShutDownConnectionManager(self.m_connectionManager.Get());
  const Status told = SendEvent(this, EventId::ProjectClosing(), nullptr);
  if (result == kSuccess) result = told;
  self.ReleaseProject(true);
  if (closeAudit) CloseAuditLog(kAuditLogName);
  return result;
}

}  // namespace Hvd
