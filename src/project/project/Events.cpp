// The project's events, its connection to the rest of the suite, and the composition of its
// child projects.

#include "Hvd/EventIds.h"
#include "childproject/ChildProjectHelp.h"
#include "Hvd/IView.h"
#include "core/Diagnostics.h"
#include "design/design/Placement.h"
#include "project/IpcConnection.h"
#include "project/project/CProject.h"
#include "utils/DmUtils.h"

namespace Hvd {

namespace {
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
}  // namespace

Status CProject::Update(CProject* project, Prjrep::IEvent* event) {
  if (event == nullptr) return Fail(kInvalidParameter, "ERROR: Project::Update - Invalid Parameter.\n");
  Port::XUID id;
  if (Status status = event->GetEventId(id); status != kSuccess) return status;
  if (id == EventId::FileAdded() || id == EventId::FileChangedOnDisk()) return project->ForwardEvent(event);
  return kSuccess;
}

// A child project's reload and its views' changes: while a child reads itself again, its file
// here is told and its views are not followed; afterwards its files are composed here again.
Status CProject::UpdateForChildProject(CProject* project, Prjrep::IEvent* event) {
  if (event == nullptr) return Fail(kInvalidParameter, "ERROR: Project::UpdateForChildProject - Invalid Parameter.\n");
  Port::XUID id;
  if (Status status = event->GetEventId(id); status != kSuccess) return status;
  AutoRelease<CitI::IInterface> sender, subject;
  if (Status status = event->GetSender(sender.Receive()); status != kSuccess) return status;
  if (Status status = event->GetArgument(subject.Receive()); status != kSuccess) return status;
  IProject* parent = &project->m_XIProject;
  CitI::IInterface* receiver = &project->m_childProjectReceiver;
  if (id == EventId::ReloadBegins() || id == EventId::ReloadEnds()) {
    AutoCast<IProject> child(sender.Get());
    if (!child) return kSuccess;
    AutoRelease<IHdlFile> file;
    std::ignore = project->m_XIFileManager.FindFileCompFromName(GetObjectFullPath(child.Get()), file.Receive());
    if (id == EventId::ReloadBegins()) {
      std::ignore = UnregisterChildViewEvents(receiver, child.Get(), false);
      if (file) std::ignore = SendEvent(file.Get(), EventId::HdlFileEvent(), file.Get());
    } else {
      std::ignore = CChildProjectHelp::ComposeFiles(parent, child.Get());
      std::ignore = RegisterChildViewEvents(receiver, child.Get(), false);
      if (AutoCast<IFile> placed(file.Get()); placed) FileTypeViewCache(parent).UpdateFileViews(placed.Get());
    }
  } else if (id == EventId::ViewChanged()) {
    AutoCast<IView> view(subject.Get());
    AutoRelease<IDesign> design;
    AutoRelease<IProject> child;
    if (view && view->GetDesign(design.Receive()) == kSuccess && design &&
        design->GetProject(child.Receive()) == kSuccess && child)
      std::ignore = CChildProjectHelp::ComposeFiles(parent, child.Get());
  }
  return kSuccess;
}

// Sends the event again to the project's own listeners, as the project.
Status CProject::ForwardEvent(Prjrep::IEvent* event) {
  if (event == nullptr) return Fail(kInvalidParameter, "ERROR: Project::ForwardEvent - Invalid Parameter.\n");
  Port::XUID id;
  std::ignore = event->GetEventId(id);
  AutoRelease<CitI::IInterface> subject;
  if (Status status = event->GetArgument(subject.Receive()); status != kSuccess) return status;
  return SendEvent(&m_XIProject, id, subject.Get());
}

Status CProject::XIProject::GetConnectionManager(Ipc::IConnectionManager** manager) {
  CProject& self = This();
  if (manager != nullptr) *manager = nullptr;
  if (self.m_reopened) return kSuccess;  // a reopened project has no connection
  if (manager == nullptr) return kFailure;
  if (!self.m_connectionManager) self.m_connectionManager = ObtainConnectionManager(&self.m_ipcReceiver);
  if (!self.m_connectionManager) return kFailure;
  Prjrep::AutoOut<Ipc::IConnectionManager>(manager).Assign(self.m_connectionManager.Get());
  return kSuccess;
}

std::vector<AutoPtr<IProject>> CProject::ChildProjects() {
  std::vector<AutoPtr<IProject>> children;
  AutoRelease<IHdlFileIterator> walk;
  if (m_hdlFiles.GetIterator(walk.Receive()) != kSuccess || !walk) return children;
  for (; !walk->IsDone(); std::ignore = walk->Next()) {
    if (AutoRelease<IProject> child = OpenChildProjectOfFile(walk->Current()); child)
      children.emplace_back(std::move(child));
  }
  return children;
}

Status CProject::ComposeChildProjects(const std::vector<AutoPtr<IProject>>& children) {
  if (children.empty()) return kSuccess;
  for (const auto& child : children) {
    std::ignore = ChildProjectHook(child.Get(), &m_XIProject);
    std::ignore = ChildProjectRecordHook(&m_XIProject, child.Get());
  }
  for (const auto& child : children) std::ignore = CChildProjectHelp::ComposeFiles(&m_XIProject, child.Get());
  for (const auto& child : children) std::ignore = RegisterChildViewEvents(&m_childProjectReceiver, child.Get(), true);
  return kSuccess;
}

// Composes every child project among the project's files; each stays marked as a
// sub-project while the composition runs.
Status CProject::XICompositionControl::Compose(CitI::IInterface*) {
  CProject& self = This();
  if (!self.m_open) return kFailure;
  std::vector<AutoPtr<IProject>> children = self.ChildProjects();
  std::vector<std::unique_ptr<OperationGateGuard>> marks;
  for (const auto& child : children) marks.push_back(std::make_unique<OperationGateGuard>(child.Get(), "subproject"));
  return self.ComposeChildProjects(children);
}

Status CProject::XICompositionControl::Decompose(CitI::IInterface* project) {
  CProject& self = This();
  std::vector<AutoPtr<IProject>> children;
  if (project != nullptr) {
    if (AutoCast<IProject> one(project); one) children.emplace_back(one.Get());
  } else {
    children = self.ChildProjects();
  }
  for (const auto& child : children) std::ignore = UnregisterChildViewEvents(&self.m_childProjectReceiver, child.Get(), true);
  for (const auto& child : children) std::ignore = UpdateComposedFileOriginators(&self.m_XIProject, child.Get());
  for (const auto& child : children) std::ignore = RemoveChildListProperties(&self.m_XIProject, child.Get());
  return kSuccess;
}

}  // namespace Hvd
