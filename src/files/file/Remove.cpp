// The file leaving its project: its library, the listeners of the file and of the project,
// the child project a project file stands for, and the removal hook; then the teardown and the
// files it is linked to by includes.

#include "CitP/Factory.h"
#include "Hvd/EventIds.h"
#include "childproject/ChildProjectHelp.h"
#include "files/file/CFile.h"
#include "utils/DmUtils.h"

namespace Hvd {

Status CFile::XIFileInternal::Remove() {
  CFile& self = This();
  // The project may have handed over its last reference with the call.
  const Prjrep::AutoPtr<IFile> keepAlive(&self.m_XIFile);
  IHdlFile* file = &self.m_XIHdlFile;
  if (self.m_library) std::ignore = self.m_library->RemoveFileFromLibrary(file);
  const Prjrep::AutoRelease<IProject> project = self.Project();
  for (const Port::XUID& event : {EventId::FileRemoved(), EventId::HdlFileEvent()}) {
    std::ignore = SendEvent(file, event, file);
    if (project) std::ignore = SendEvent(project.Get(), event, file);
  }
  // A project file takes its child project out of the composition; any other file leaves the
  // project's originators and goes back to the projects it came from.
  if (IsProjectFileType(file)) {
    Prjrep::AutoRelease<IProject> child;
    if (project) child = OpenChildProjectOfFile(file);
    if (child) {
      if (Prjrep::AutoCast<ICompositionControl> composition(project.Get()); composition) {
        std::ignore = composition->Decompose(child.Get());
        std::ignore = composition->Compose(nullptr);
      }
      std::ignore = SaveOwningCvfProject(child.Get(), nullptr);
    }
  } else {
    if (project) std::ignore = CollectFileOriginators(file, project.Get());
    std::ignore = ComposeChildProjectSource(file);
  }
  if (Prjrep::AutoRelease<ICodeHookInstance> hook(CitP::Factory::CreateInstance(CodeHookClassId())); hook)
    std::ignore = hook->Run("::velmor::Hvd::hvd_chFileRemoveHelper", file);
  const Status status = self.m_XICompAdmin.Teardown();
  // Last, as the listeners above may still read the links. Files that include one another hold
  // each other: once out of the project, no close would reach them to let go.
  self.LetGoOfRelatedFiles();
  return status;
}

}  // namespace Hvd
