// Building what was read into the current project: the old properties with the device
// first, the old files with their origination, view classes and source libraries, and the
// synthesis top.

#include <map>

#include "Hvd/IBatchDelay.h"
#include "Hvd/IDesign.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Port/MsgMan.h"
#include "core/Diagnostics.h"
#include "design/design/Placement.h"
#include "projectfiles/RepoMine.h"
#include "utils/DmUtils.h"
#include "utils/KeyedProperty.h"
#include "utils/PropertyAccessor.h"

using Hvd::Fail;
using Hvd::kFailure;
using Hvd::kSuccess;
using Hvd::Status;
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

namespace {

constexpr const char* kDeviceProperties[] = {
    "PROP_DevFamily",  "PROP_DevDevice",  "PROP_DevPackage", "PROP_DevSpeed",         "PROP_DevFamilyPMName",
    "PROP_Top_Level_Module_Type", "PROP_Synthesis_Tool", "PROP_Simulator", "PROP_PreferredLanguage"};

// The first view of the project's design that takes the hint, or null.
AutoPtr<Hvd::IView> FirstViewByHint(Hvd::IProject* project, const char* hint) {
  Hvd::IDesign* design = nullptr;  // borrowed from the project
  if (project == nullptr || project->GetDesign(&design) != kSuccess || design == nullptr) return nullptr;
  AutoCast<Hvd::IViewManager> views(design);
  AutoRelease<Hvd::IViewIterator> it;
  if (!views || views->FindViewByHint(hint, it.Receive()) != kSuccess || !it || it->IsDone()) return nullptr;
  return AutoPtr<Hvd::IView>(it->Current());
}

// A helper's batch, ended when the scope ends.
class HelperBatch {
 public:
  explicit HelperBatch(CitI::IInterface* helper) : m_delay(helper) {
    if (m_delay) m_begun = m_delay->BeginBatch() == kSuccess;
  }
  ~HelperBatch() {
    if (m_begun) std::ignore = m_delay->EndBatch();
  }
  HelperBatch(const HelperBatch&) = delete;
  HelperBatch& operator=(const HelperBatch&) = delete;

 private:
  AutoCast<Hvd::IBatchDelay> m_delay;
  bool m_begun = false;
};

}  // namespace

AutoPtr<Hvd::IProject> RepoMine::TargetProject() const {
  if (m_project) return m_project;
  return AutoPtr<Hvd::IProject>(Hvd::GetActiveProjectOfRepository(m_fileName).Get());
}

Status RepoMine::ImportSourceViewAssociations() {
  const AutoPtr<Hvd::IProject> project = TargetProject();
  AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(project.Get(), true);
  if (!helper) return Fail(kFailure, "Null project helper\n");
  if (!project) return Fail(kFailure, "Null iproject\n");
  if (!AutoCast<Hvd::ISourceViewAssoc>(helper.Get())) return Fail(kFailure, "Null ISourceViewAssoc\n");
  std::ignore = ApplyProperties(project.Get(), m_state->Properties);
  {
    const HelperBatch batch(helper.Get());
    for (const auto& other : m_state->Others) {
      const auto* file = dynamic_cast<const DdmFileLoader*>(other.get());
      if (file == nullptr || file->Origination == "generated") continue;
      AddRecord(file->FileName, file->LibraryName, file->Origination, AssociationName(file->AssociationBits));
    }
    ApplySynthesisTop(project.Get(), m_state->Properties);
  }
  std::ignore = helper->AfterSourcesChanged(1);
  std::ignore = WarnTarvisTopModule(project.Get());
  return kSuccess;
}

Status RepoMine::ApplyProperties(Hvd::IProject* project, const std::vector<StringPair>& pairs) {
  if (project == nullptr) return Fail(kFailure, "Null iproject\n");
  std::map<std::string, String> values;
  for (const auto& [name, value] : pairs) values[name.str()] = value;
  Hvd::IDesign* design = nullptr;  // borrowed from the project
  if (project->GetDesign(&design) != kSuccess || design == nullptr) return Fail(kFailure, "Null idesign\n");
  AutoRelease<Hvd::IPropertyManager> manager;
  if (design->GetPropertyManager(manager.Receive()) != kSuccess || !manager) return Fail(kFailure, "Null prop_mgr\n");
  Hvd::PropertyAccessor accessor(project);
  AutoRelease<Hvd::IDesignPlatform> platform;
  if (design->GetDesignPlatform(platform.Receive()) != kSuccess || !platform)
    return Fail(kFailure, "Null design_platform\n");

  if (const auto family = values.find("PROP_DevFamily"), pm = values.find("PROP_DevFamilyPMName");
      family != values.end() && pm != values.end()) {
    const String known = Hvd::LookupDeviceStoreField(family->second, pm->second);
    if (!known.empty()) family->second = known;
  }
  bool deviceSet = false;
  for (const char* name : kDeviceProperties) {
    if (const auto found = values.find(name); found != values.end()) {
      accessor.SetPropertyValue(name, found->second);
      deviceSet = true;
    }
  }
  // The notice rebuilds the design's views, which forgets their settings (the synthesis
  // top among them): it is given only when the device settings were set.
  if (deviceSet) std::ignore = platform->NotifyChanges();

  std::vector<AutoPtr<Hvd::IPropertyInstance>> instances;
  accessor.GetAllPropertyInstances(instances);
  for (const auto& instance : instances) {
    String name;
    if (!instance || instance->GetName(&name) != kSuccess) continue;
    const auto found = values.find(name.str());
    if (found == values.end()) continue;
    std::ignore = instance->SetValue(found->second);
    values.erase(found);
  }
  for (const auto& [name, value] : values) accessor.SetPropertyValue(String(name), value);
  return kSuccess;
}

void RepoMine::ApplySynthesisTop(Hvd::IProject* project, const std::vector<StringPair>& pairs) {
  if (project == nullptr) return;
  String top;
  for (const auto& [name, value] : pairs) {
    if (name.str() == "PROP_SynthTop") {
      top = value;
      break;
    }
  }
  if (top.empty()) return;
  const AutoPtr<Hvd::IView> view = FirstViewByHint(project, "SynthesisOnly");
  if (!view) return;
  // The view hears each setting as it is made: with its own choice still on, the new top would
  // have it choose again at once, over the one given.
  Hvd::SetKeyedPropertyValue(view.Get(), "AUTOTOP", "false");
  Hvd::SetKeyedPropertyValue(view.Get(), "TOPDESIGNUNIT", top);
}

bool RepoMine::WarnTarvisTopModule(Hvd::IProject* project) {
  const AutoPtr<Hvd::IView> view = FirstViewByHint(project, "SynthesisOnly");
  if (!view) return false;
  String instance;
  std::ignore = view->GetTopInstance(&instance);
  if (!instance.empty()) return false;
  AutoCast<Hvd::IHdlDesignUnitSet> units(view.Get());
  AutoRelease<Hvd::IHdlDesignUnitIterator> it;
  if (!units || units->GetIterator(it.Receive()) != kSuccess || !it) return false;
  for (; !it->IsDone(); std::ignore = it->Next()) {
    AutoCast<Hvd::IFile> file(it->Current());
    if (!file) continue;
    const String type = Hvd::GetDefDataIdName(file.Get());
    if (type == "FILE_MDL" || type == "FILE_MOLDRIXHLC" || type == "FILE_TARVISHLC") {
      Port_MsgManData::createObject("ProjectMgmt", "../src/RepoMine", 2412, "$Revision: 1.24 $")
          .issueWarning(
              "Corvane does not support .TVP Tarvis modules as implementable Top modules in this release.  In order "
              "to implement a design with a .TVP module you must instantiate it in an upper level source that is "
              "implementable, such as an HDL or Schematic.\n");
      return true;
    }
  }
  return false;
}

// Builds into the project the caller opened (or the project active for the file name); a
// project is never opened from here, since opening the old file would start another
// migration of it.
Status RepoMine::BuildProject() {
  if (!m_records) return kSuccess;
  const AutoPtr<Hvd::IProject> project = TargetProject();
  bool open = false;
  if (!project || project->IsOpen(&open) != kSuccess || !open)
    return Fail(Hvd::kProjectNotOpen, "ERROR: RepoMine::BuildProject - No open project for \"%s\".\n",
                m_fileName.c_str());
  AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(project.Get(), false);
  std::ignore = ApplyProperties(project.Get(), m_records->Properties);
  AutoCast<Hvd::IFileManager> files(project.Get());
  AutoCast<Hvd::ISourceLibraryManager> libraries(project.Get());
  if (!files || !libraries)
    return Fail(Hvd::kMissingInterface, "ERROR: RepoMine::BuildProject - The project has no file manager.\n");
  {
    const Hvd::BatchDelayScope delay(project.Get());
    for (const FileRecord& record : m_records->Files) {
      AutoRelease<Hvd::IHdlFile> added;
      if (files->ProjectAddFile(record.Name, nullptr, added.Receive()) != kSuccess || !added) continue;
      if (AutoCast<Hvd::IFile> file(added.Get()); file) {
        std::uint32_t state = 0;
        if (record.Origination == "imported") state = 2;
        if (record.Origination == "generated") state = 1;
        std::ignore = file->SetOriginState(state);
      }
      if (AutoCast<Hvd::IViewClassAssociation> classes(added.Get()); classes) {
        if (record.Association == "all") {
          for (const std::uint32_t bit : {0u, 1u}) std::ignore = classes->SetBit(bit);
        } else if (record.Association == "simulation") {
          for (const std::uint32_t bit : {1u, 3u, 4u, 5u}) std::ignore = classes->SetBit(bit);
        } else if (record.Association == "implementation") {
          std::ignore = classes->SetBit(0);
        }
      }
      if (record.Library.empty() || record.Library == "work") continue;
      AutoRelease<Hvd::ISourceLibrary> library;
      std::ignore = libraries->FindSourceLibrary(record.Library, library.Receive());
      if (!library) std::ignore = libraries->CreateSourceLibrary(record.Library, library.ReleaseAndReceive());
      if (library) std::ignore = library->AddFileToLibrary(added.Get());
    }
    Hvd::FileTypeViewCache(project.Get()).UpdateAllFileViews();
  }
  ApplySynthesisTop(project.Get(), m_records->Properties);
  std::ignore = WarnTarvisTopModule(project.Get());
  if (AutoCast<Hvd::IForceSave> save(project.Get()); save) return save->ForceSave();
  return kSuccess;
}
