#include "childproject/ChildProjectHelp.h"

#include <string>

#include "Hvd/IDesign.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IHdlProject.h"
#include "Hvd/IViewManager.h"
#include "Port/MsgMan.h"
#include "Prjrep/IEvents.h"
#include "Prjrep/IFileNameHelper.h"
#include "core/Diagnostics.h"
#include "core/Events.h"
#include "utils/DmUtils.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;

// The object itself and its two views that a parent follows.
template <class Visit>
void ForEachFollowed(CitI::IInterface* object, bool withObject, Visit visit) {
  if (withObject) visit(object);
  AutoCast<IProject> project(object);
  IDesign* design = nullptr;
  if (!project || project->GetDesign(&design) != kSuccess || design == nullptr) return;
  AutoCast<IViewManager> views(design);
  if (!views) return;
  for (const char* hint : {"SynthesisOnly", "BehavioralSim"}) {
    AutoRelease<IViewIterator> at;
    if (views->FindViewByHint(hint, at.Receive()) == kSuccess && at && !at->IsDone()) visit(at->Current());
  }
}

// The file's name without its folder and its last extension; empty without a name helper.
std::string BaseNameOf(CitI::IInterface* file) {
  AutoCast<Prjrep::IFileNameHelper> names(file);
  Port::StringBase<char> name;
  if (!names || names->GetShortName(&name) != kSuccess) return std::string();
  std::string base = name.str();
  if (const std::size_t dot = base.rfind('.'); dot != std::string::npos && dot > 0) base.resize(dot);
  return base;
}

}  // namespace

AutoRelease<IDesignUnit> GetDesignUnitOf(CitI::IInterface* object) {
  if (AutoCast<IFile>(object)) return AutoRelease<IDesignUnit>(Prjrep::AutoReturn<IDesignUnit>(object).Get());
  AutoCast<IHdlElement> element(object);
  AutoRelease<IHdlFile> file;
  if (!element || element->GetHdlFile(file.Receive()) != kSuccess || !file) return nullptr;
  AutoCast<IFileCompReference> reference(file.Get());
  AutoRelease<CitI::IInterface> component;
  if (!reference || reference->GetFileComponent(component.Receive()) != kSuccess) return nullptr;
  return AutoRelease<IDesignUnit>(Prjrep::AutoReturn<IDesignUnit>(component.Get()).Get());
}

Status GetMoldrixHlcFile(IProject* project, IFile* core, IFile** file) {
  if (project == nullptr || core == nullptr || file == nullptr) return kBadParameters;
  Prjrep::AutoOut<IFile> out(file);
  if (!(GetDefDataIdName(core) == "FILE_MOLDRIX")) return kSuccess;
  const std::string base = BaseNameOf(core);
  AutoCast<IFileManager> manager(project);
  if (!manager)
    return Fail(kSuccess, "Warning: CChildProjectHelp::GetMoldrixHlcFile(): IFileManager interface not exposed.\n");
  AutoRelease<IHdlFileIterator> files;
  if (base.empty() || manager->GetProjectFiles(files.Receive()) != kSuccess || !files) return kSuccess;
  for (; !files->IsDone(); std::ignore = files->Next()) {
    IHdlFile* candidate = files->Current();
    if (candidate != nullptr && IsProjectFileType(candidate) && BaseNameOf(candidate) == base) {
      std::ignore = out.Assign(AutoCast<IFile>(candidate).Get());
      return kSuccess;
    }
  }
  return kSuccess;
}

AutoRelease<IProject> OpenChildProjectOfFile(CitI::IInterface* file) {
  if (file == nullptr || !IsProjectFileType(file)) return AutoRelease<IProject>();
  return GetOwningProject(file);
}

Status RegisterChildViewEvents(CitI::IInterface* receiver, CitI::IInterface* object, bool attach) {
  if (object == nullptr) return kFailure;
  if (receiver == nullptr) return kSuccess;
  ForEachFollowed(object, attach, [receiver](CitI::IInterface* sender) { ConnectEventReceiver(sender, receiver); });
  return kSuccess;
}

Status UnregisterChildViewEvents(CitI::IInterface* receiver, CitI::IInterface* object, bool detach) {
  if (object == nullptr) return kFailure;
  AutoCast<Prjrep::IEventReceiver> events(receiver);
  if (!events) return kSuccess;
  ForEachFollowed(object, detach, [&events](CitI::IInterface* sender) {
    if (AutoCast<Prjrep::IEventSender> from(sender); from) std::ignore = from->RemoveReceiver(events.Get());
  });
  return kSuccess;
}

// NOT BUILT YET: composing a child's files.
Status CChildProjectHelp::ComposeFiles(IProject*, IProject*) { return kNotSupported; }
Status UpdateComposedFileOriginators(IProject*, IProject*) { return kNotSupported; }
Status MergeMacroAndSearchPathProperties(IProject*, IProject*) { return kNotSupported; }

}  // namespace Hvd
