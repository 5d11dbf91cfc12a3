#include "childproject/ChildProjectHelp.h"

#include <strings.h>

#include <string>

#include "Hvd/IDesign.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IHdlProject.h"
#include "Hvd/IViewManager.h"
#include "Hvd/IProjectHelper.h"
#include "Port/FileName.h"
#include "Port/MessageText.h"
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

// The device properties compared between a core and its parent, in their order.
struct DeviceProperty {
  const char* name;
  const char* label;
};
constexpr DeviceProperty kDeviceProperties[] = {
    {"PROP_DevFamily", "Family"}, {"PROP_DevDevice", "Device"}, {"PROP_DevPackage", "Package"}};

// Process-wide: one project's check window also covers compositions of other projects.
struct DeviceMismatchFlags {
  bool reportOnce = false;
  bool reported = false;
};
DeviceMismatchFlags& DeviceFlags() {
  static DeviceMismatchFlags s_flags;
  return s_flags;
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
  if (file == nullptr || !IsProjectFileType(file)) return nullptr;
  if (AutoRelease<IProject> loaded = GetOwningProject(file); loaded) return loaded;
  const Port::StringBase<char> path = GetObjectFullPath(file);
  // A folder at its name is a project file off the disk, as a gone one is: nothing to open.
  if (path.empty() || !Port::File::exist(path) || Port::File::isdir(path)) return nullptr;
  // Opening a project makes it the active one; the record puts back what was active.
  const ActiveProjectRecord record;
  AutoRelease<IProjectHelper> helper = GetCvfProject(nullptr, true);
  AutoCast<IProjectHelper2> opener(helper.Get());
  if (!opener) return nullptr;
  std::ignore = opener->OpenProject(path);
  AutoRelease<CitI::IInterface> opened;
  std::ignore = opener->GetProject(opened.Receive());
  // Handed out with a reference of its own: the helper and its repository may let go of it.
  return AutoRelease<IProject>(std::move(opened));
}

Status ComposeChildProjectSource(CitI::IInterface* file) {
  if (IsProjectFileType(file)) return kSuccess;
  AutoCast<IOriginatorRef> originators(file);
  AutoRelease<Prjrep::IAutonymIterator> walk;
  if (!originators || originators->GetOriginatorIterator(walk.Receive()) != kSuccess || !walk) return kFailure;
  if (walk->IsDone()) return kFailure;
  const Port::StringBase<char> path = GetObjectFullPath(file);
  Status result = kSuccess;
  for (; !walk->IsDone(); std::ignore = walk->Next()) {
    AutoRelease<IProject> origin = OriginatingProject(walk->Current());
    if (!origin) continue;
    AutoRelease<IProjectHelper> helper = GetCvfProject(origin.Get(), true);
    AutoCast<IProjSrcHelper> sources(helper.Get());
    if (!sources) continue;
    if (const Status handed = sources->HandOverSource(path); handed != kSuccess) result = handed;
  }
  return result;
}

Status CollectFileOriginators(CitI::IInterface* file, CitI::IInterface* other) { return RemoveOriginator(file, other); }

bool CompareDeviceSettings(IProject* first, IProject* second, Port::StringBase<char>& message) {
  for (const DeviceProperty& property : kDeviceProperties) {
    const Port::StringBase<char> core = GetPropertyValueByName(second, property.name);
    const Port::StringBase<char> own = GetPropertyValueByName(first, property.name);
    if (core == own) continue;
    message += Port::StringBase<char>(std::string(property.label) + " mismatch \"" +
                                      Port::EscapeControls(core.str()) + "\" vs. \"" +
                                      Port::EscapeControls(own.str()) + "\"\n");
    return true;
  }
  return false;
}

bool IsReportDeviceMismatchOnce() { return DeviceFlags().reportOnce; }

void SetReportDeviceMismatchOnce(bool once) {
  DeviceFlags().reportOnce = once;
  DeviceFlags().reported = false;
}

bool IsDeviceMismatchReported() { return DeviceFlags().reported; }

void SetDeviceMismatchReported() { DeviceFlags().reported = true; }

Port::StringBase<char> GetStartImpView(IProject* project) { return GetPropertyValueByName(project, "PROP_StartImpView"); }
Port::StringBase<char> GetStopImpView(IProject* project) { return GetPropertyValueByName(project, "PROP_StopImpView"); }
Port::StringBase<char> GetHierarchicalProjectType(IProject* project) {
  return GetPropertyValueByName(project, "PROP_HierarchicalProjectType");
}

bool IsHierarchicalProjectType(IProject* project, const char* type) {
  return type != nullptr && strcasecmp(GetHierarchicalProjectType(project).c_str(), type) == 0;
}
bool IsStaticHierarchicalProject(IProject* project) { return IsHierarchicalProjectType(project, "Static"); }
bool IsFlavorHierarchicalProject(IProject* project) { return IsHierarchicalProjectType(project, "Flavor"); }
bool IsConfigurationHierarchicalProject(IProject* project) {
  return IsHierarchicalProjectType(project, "Configuration");
}
bool IsNonHierarchicalProject(IProject* project) { return IsHierarchicalProjectType(project, "N/A"); }

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

}  // namespace Hvd
