#include "childproject/ChildProjectHelp.h"

#include "Hvd/IDesign.h"
#include "Hvd/IViewManager.h"
#include "Prjrep/IEvents.h"
#include "core/Events.h"
#include "utils/DmUtils.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;

// The object itself and its two views that a parent follows.
template <class Visit>
void ForEachFollowed(CitI::IInterface* object, Visit visit) {
  visit(object);
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

}  // namespace

AutoRelease<IProject> OpenChildProjectOfFile(CitI::IInterface* file) {
  if (file == nullptr || !IsProjectFileType(file)) return AutoRelease<IProject>();
  return GetOwningProject(file);
}

Status RegisterChildViewEvents(CitI::IInterface* receiver, CitI::IInterface* object, bool attach) {
  if (receiver == nullptr || object == nullptr || !attach) return kSuccess;
  ForEachFollowed(object, [receiver](CitI::IInterface* sender) { ConnectEventReceiver(sender, receiver); });
  return kSuccess;
}

Status UnregisterChildViewEvents(CitI::IInterface* receiver, CitI::IInterface* object, bool detach) {
  AutoCast<Prjrep::IEventReceiver> events(receiver);
  if (!events || object == nullptr || !detach) return kSuccess;
  ForEachFollowed(object, [&events](CitI::IInterface* sender) {
    if (AutoCast<Prjrep::IEventSender> from(sender); from) std::ignore = from->RemoveReceiver(events.Get());
  });
  return kSuccess;
}

Status CChildProjectHelp::ComposeFiles(IProject*, IProject*) { return kSuccess; }
Status UpdateComposedFileOriginators(IProject*, IProject*) { return kSuccess; }
Status MergeMacroAndSearchPathProperties(IProject*, IProject*) { return kSuccess; }

}  // namespace Hvd
