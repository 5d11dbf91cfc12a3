// The project commands of the shell, as the suite's Tcl layer gives them: `project` and
// `velfile`, acting on the one open project. They reach the library only through its public
// interfaces; a failure is a Tcl error carrying the messages the library issued for it.

#include "ProjectCommands.h"

#include "Messages.h"
#include "PRCommands.h"
#include "TclText.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include <boost/algorithm/string/predicate.hpp>

#include "CitP/Factory.h"
#include "HdcI/IHDProject.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/IBatchDelay.h"
#include "Hvd/ICheckpoint.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDefDataId.h"
#include "Hvd/IDesign.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IKeyedPropertySet.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectCopy.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/IProjectInfo.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Hvd/ITransformEngine.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Port/FileName.h"
#include "Port/MsgMan.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IEvents.h"
#include "Prjrep/IName.h"
#include "Prjrep/IFileNameHelper.h"
#include "core/Events.h"
#include "core/Holders.h"

namespace velsh {
namespace {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;

// The open project, with the reference its creation gave.
AutoRelease<Hvd::IProject> g_project;
// The open project's Cvf project helper, bound to it and registered in its repository.
AutoRelease<CitI::IInterface> g_helper;

Hvd::IDesign* Design() {
  Hvd::IDesign* design = nullptr;  // the project keeps its design
  if (!g_project || g_project->GetDesign(&design) != Hvd::kSuccess) return nullptr;
  return design;
}

std::string FullName(CitI::IInterface* file) {
  Text name;
  if (AutoCast<Prjrep::IFileNameHelper> names(file); names) std::ignore = names->GetFullName(&name);
  return name.str();
}

// The path made absolute in its normal form; a ".." in it steps up from where the link before it
// leads, as the system takes it, not by the letters. One holding a NUL names nothing the system
// could look up (it would end the path there): it is only made absolute, and the library refuses it.
std::string Absolute(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return path;
  if (path.find('\0') != std::string::npos) return absolute.string();
  return Port::FileName(Text(absolute.string())).MakeCanonical().GetPath().str();
}

std::string TypeName(Hvd::IView* view) {
  AutoRelease<Hvd::IViewType> type;
  Text name;
  if (view->GetType(type.Receive()) == Hvd::kSuccess) {
    if (AutoCast<Hvd::IDefDataId> id(type.Get()); id) std::ignore = id->GetDefDataIdName(&name);
  }
  return name.str();
}

// The view of that type name, else of that hint; the synthesis view by default. A view with
// one reference, or null.
Prjrep::AutoPtr<Hvd::IView> FindView(const std::string& wanted) {
  const std::string name = wanted.empty() ? "VIEW_AbstractSynthesis" : wanted;
  AutoCast<Hvd::IViewManager> manager(Design());
  if (!manager) return nullptr;
  AutoRelease<Hvd::IViewIterator> views;
  if (manager->GetViews(views.Receive()) == Hvd::kSuccess) {
    for (; views && !views->IsDone(); std::ignore = views->Next()) {
      if (TypeName(views->Current()) == name) return Prjrep::AutoPtr<Hvd::IView>(views->Current());
    }
  }
  AutoRelease<Hvd::IViewIterator> at;
  if (manager->FindViewByHint(name, at.Receive()) == Hvd::kSuccess && at && !at->IsDone())
    return Prjrep::AutoPtr<Hvd::IView>(at->Current());
  return nullptr;
}

Tcl_Obj* ListOf(Hvd::IHdlFileIterator* files) {
  Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
  for (; files != nullptr && !files->IsDone(); std::ignore = files->Next()) {
    const std::string name = FullName(files->Current());
    Tcl_ListObjAppendElement(nullptr, list, ToTcl(name));
  }
  return list;
}

// The property of the project by its name or its label: the device settings of the design's
// platform first, then the project's own. One reference, or null.
Prjrep::AutoPtr<Hvd::IPropertyInstance> ProjectProperty(const std::string& key, bool* device) {
  *device = false;
  Hvd::IDesign* design = Design();
  if (design == nullptr) return nullptr;
  auto matches = [&key](Hvd::IPropertyTemplate* definition) {
    Text name;
    Text label;
    if (AutoCast<Hvd::IDefDataId> id(definition); id) std::ignore = id->GetDefDataIdName(&name);
    if (AutoCast<Hvd::IPropertyTemplate2> second(definition); second) std::ignore = second->GetSecondName(&label);
    return name.str() == key || label.str() == key;
  };
  AutoRelease<Hvd::IDesignPlatform> platform;
  AutoRelease<Hvd::IPropertyInstanceIterator> settings;
  if (design->GetDesignPlatform(platform.Receive()) == Hvd::kSuccess && platform &&
      platform->GetProperties(settings.Receive()) == Hvd::kSuccess) {
    for (; settings && !settings->IsDone(); std::ignore = settings->Next()) {
      AutoRelease<Hvd::IPropertyTemplate> definition;
      std::ignore = settings->Current()->GetTemplate(definition.Receive());
      if (definition && matches(definition.Get())) {
        *device = true;
        return Prjrep::AutoPtr<Hvd::IPropertyInstance>(settings->Current());
      }
    }
  }
  AutoRelease<Hvd::IDataStore> store;
  AutoRelease<Hvd::IPropertyManager> manager;
  if (design->GetDataStore(store.Receive()) != Hvd::kSuccess ||
      design->GetPropertyManager(manager.Receive()) != Hvd::kSuccess || !store || !manager)
    return nullptr;
  AutoRelease<Hvd::IPropertyTemplate> named;
  std::ignore = store->FindPropertyTemplate(key, named.Receive());
  Prjrep::AutoPtr<Hvd::IPropertyTemplate> found(named.Get());
  if (!found) {
    AutoRelease<Prjrep::IIterator> all;
    AutoCast<Hvd::IPropertyTemplateStore> templates(store.Get());
    if (templates && templates->GetTemplates(all.Receive()) == Hvd::kSuccess) {
      for (; all && !all->IsDone() && !found; std::ignore = all->Next()) {
        AutoCast<Hvd::IPropertyTemplate> definition(all->Current());
        if (definition && matches(definition.Get())) found = Prjrep::AutoPtr<Hvd::IPropertyTemplate>(definition.Get());
      }
    }
  }
  AutoRelease<Hvd::IPropertyInstance> instance;
  if (found) std::ignore = manager->GetPropertyInstance(found, nullptr, instance.Receive());
  return Prjrep::AutoPtr<Hvd::IPropertyInstance>(instance.Get());
}

// The platform hears of a changed device setting as the suite's property layer tells it, and
// the design rebuilds its views when the family or a tool changed.
void AnnounceDeviceChange(Hvd::IPropertyInstance* instance) {
  AutoRelease<Hvd::IDesignPlatform> platform;
  if (Hvd::IDesign* design = Design(); design == nullptr || design->GetDesignPlatform(platform.Receive()) != Hvd::kSuccess || !platform)
    return;
  if (AutoCast<Prjrep::IEventReceiver> receiver(platform.Get()); receiver)
    std::ignore = receiver->ReceiveEvent(Hvd::CreateEvent(instance, Hvd::EventId::PropertyChangeA(), instance));
  std::ignore = platform->NotifyChanges();
}

// A list setting refuses a value it does not allow: the refusal names the setting as the user
// wrote it and lists what it allows, which nothing else shows. Empty for any other refusal.
std::string NotAllowed(Hvd::IPropertyInstance* instance, const std::string& key, const std::string& value,
                       Hvd::Status status) {
  AutoCast<Hvd::IListPropertyInstance> list(instance);
  AutoRelease<Prjrep::IStringIterator> allowed;
  if (status != Hvd::kInvalidParameter || !list || list->GetAllowedValues(allowed.Receive()) != Hvd::kSuccess ||
      !allowed)
    return std::string();
  std::string values;
  bool among = false;
  for (; !allowed->IsDone(); std::ignore = allowed->Next()) {
    const std::string each = allowed->Current().str();
    among = among || each == value;
    values += (values.empty() ? "" : ", ") + (each.empty() ? std::string("\"\"") : Shown(each));
  }
  if (among || values.empty()) return std::string();
  return "\"" + Shown(value) + "\" is not an allowed value of " + Shown(key) + ". Allowed values: " + values + ".";
}

// Options of the form `-name value` anywhere among the words; the rest stay in order.
struct Words {
  std::vector<std::string> plain;
  std::string view;
  std::string library;
  std::string format;  // empty: the view's plain layout
  bool hasLibrary = false;
};
bool ReadWords(Tcl_Interp* interp, int first, int objc, Tcl_Obj* const objv[], const std::vector<std::string>& allowed,
               Words& words) {
  for (int i = first; i < objc; ++i) {
    const std::string word = FromTcl(objv[i]);
    const bool known = std::find(allowed.begin(), allowed.end(), word) != allowed.end();
    if (!known) {
      words.plain.push_back(word);
      continue;
    }
    if (i + 1 >= objc) {
      Error(interp, "missing value for " + word);
      return false;
    }
    const std::string value = FromTcl(objv[++i]);
    if (word == "-view") words.view = value;
    if (word == "-format") words.format = value;
    if (word == "-library") {
      words.library = value;
      words.hasLibrary = true;
    }
  }
  return true;
}

// Warns of a library name that VHDL tools would not take: not a VHDL identifier, the name of a
// library every tool keeps for itself, or one that differs from another library's only in case
// (VHDL names are read without case). The library is made all the same, as asked.
void WarnOfLibraryName(Hvd::ISourceLibraryManager* libraries, const std::string& name) {
  const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  bool identifier = !name.empty() && letter(name.front()) && name.back() != '_';
  for (std::size_t i = 1; identifier && i < name.size(); ++i)
    identifier = letter(name[i]) || digit(name[i]) || (name[i] == '_' && name[i - 1] != '_');
  std::string why;
  if (!identifier) {
    why = "it is not a VHDL identifier (a letter, then letters, digits and single underscores between them)";
  } else if (boost::algorithm::iequals(name, "ieee") || boost::algorithm::iequals(name, "std")) {
    why = "VHDL tools keep that name for their own library";
  } else {
    AutoRelease<Hvd::ISourceLibraryIterator> at;
    if (libraries->GetSourceLibraries(at.Receive()) == Hvd::kSuccess && at) {
      for (; !at->IsDone(); std::ignore = at->Next()) {
        Text other;
        if (AutoCast<Prjrep::IName> named(at->Current()); !named || named->GetName(other) != Hvd::kSuccess) continue;
        if (other.str() != name && boost::algorithm::iequals(other.str(), name)) {
          why = "it differs from the library \"" + other.str() + "\" only in case, and VHDL reads names without case";
          break;
        }
      }
    }
  }
  if (!why.empty())
    Port_MsgManData::createObject("velsh", "velsh", 0, "")
        .issueWarning("The library name \"%s\" will not be taken by VHDL tools: %s.\n", name.c_str(), why.c_str());
}

// Holds back the refresh of every view and of the transform engine while one command changes
// the project in several calls, so that they refresh once, on the command's final state: a file
// added and then moved to its library is never weighed as a top while it is still in "work".
class BatchScope {
 public:
  explicit BatchScope(Hvd::IProject* project) {
    Hvd::IDesign* design = nullptr;  // borrowed: the project keeps its design
    if (project == nullptr || project->GetDesign(&design) != Hvd::kSuccess || design == nullptr) return;
    AutoRelease<Hvd::IViewIterator> views;
    if (AutoCast<Hvd::IViewManager> manager(design); manager && manager->GetViews(views.Receive()) == Hvd::kSuccess)
      for (; views && !views->IsDone(); std::ignore = views->Next())
        if (AutoCast<Hvd::IBatchDelay> delay(views->Current()); delay) m_delayed.emplace_back(delay.Get());
    AutoRelease<Hvd::ITransformEngine> engine;
    if (design->GetTOE(engine.Receive()) == Hvd::kSuccess)
      if (AutoCast<Hvd::IBatchDelay> delay(engine.Get()); delay) m_delayed.emplace_back(delay.Get());
    for (const auto& delay : m_delayed) std::ignore = delay->BeginBatch();
  }
  ~BatchScope() {
    for (const auto& delay : m_delayed) std::ignore = delay->EndBatch();
  }
  BatchScope(const BatchScope&) = delete;
  BatchScope& operator=(const BatchScope&) = delete;

 private:
  std::vector<Prjrep::AutoPtr<Hvd::IBatchDelay>> m_delayed;
};

// The sources of the open project that were missing from disk at the last check.
std::set<std::string> g_missing;

// Checks sources of the open project on disk (every one, or only `only`), in one batch, as the
// host does before it uses them: a file changed since the last check is read again, and one
// back in place takes its views again. A source that went missing since the last check is named
// once on standard error. A source's first check only records it, so each is checked when it
// comes into the project too. Right after an open or an add, which checked each source as it came
// in, only those that were missing or never checked are checked again.
void CheckSourcesOnDisk(Hvd::IHdlFile* only = nullptr, bool justChecked = false) {
  if (!g_project) return;
  AutoCast<Hvd::IFileManager> manager(g_project.Get());
  AutoRelease<Hvd::IHdlFileIterator> files;
  if (only == nullptr && (!manager || manager->GetProjectFiles(files.Receive()) != Hvd::kSuccess || !files)) return;
  std::optional<BatchScope> batch;  // begun with the first check on disk
  std::set<std::string> missing;
  const auto checkTime = [](Hvd::IHdlFile* file) {
    std::int64_t seconds = -1;
    std::int64_t microseconds = 0;
    AutoCast<Prjrep::ITimestamp> checked(file);
    if (!checked || checked->GetTime(&seconds, &microseconds) != Hvd::kSuccess) return std::int64_t{-1};
    return seconds;
  };
  const auto check = [&](Hvd::IHdlFile* file) {
    if (!justChecked || checkTime(file) <= 0) {
      if (!batch) batch.emplace(g_project.Get());
      std::ignore = file->CheckFileOnDisk();
    }
    if (checkTime(file) != 0) return;
    Text path;
    if (AutoCast<Prjrep::IFileNameHelper> names(file); !names || names->GetFullName(&path) != Hvd::kSuccess) return;
    if (only == nullptr) missing.insert(path.str());
    if (g_missing.count(path.str()) == 0)
      Port_MsgManData::createObject("velsh", "velsh", 0, "")
          .issueWarning("The source \"%s\" is missing from disk.\n", path.c_str());
    if (only != nullptr) g_missing.insert(path.str());
  };
  if (only != nullptr) return check(only);
  for (; !files->IsDone(); std::ignore = files->Next()) check(files->Current());
  g_missing = std::move(missing);
}

bool NeedOpen(Tcl_Interp* interp) {
  if (g_project) return true;
  Error(interp, "no project is open");
  return false;
}

// The repository of the open project, which the process-wide registry knows by its project file.
AutoRelease<CitI::IInterface> OpenRepository() {
  Text file;
  AutoCast<Hvd::IProject2> paths(g_project.Get());
  if (!paths || paths->GetProjectFilePath(&file) != Hvd::kSuccess || file.empty()) return nullptr;
  AutoRelease<Prjrep::IAutonymLookup> registry(CitP::Factory::CreateInstance(Prjrep::ClassId::NamedObjectRegistry()));
  AutoRelease<Prjrep::IAutonym> name(CitP::Factory::CreateInstance(Prjrep::ClassId::SimpleAutonym()));
  AutoCast<Prjrep::IName> naming(name.Get());
  AutoRelease<CitI::IInterface> repository;
  if (registry && naming && naming->SetName(file) == Hvd::kSuccess)
    std::ignore = registry->Resolve(name.Get(), repository.Receive());
  return repository;
}

// As the suite gives each open project: a Cvf project helper bound to it, registered in its
// repository as "CvfProject", through which a snapshot restore closes the project and opens it
// again. Made once per open project; registered again when a reopen left its repository without it.
void RegisterCvfHelper() {
  if (!g_project) return;
  if (!g_helper) {
    g_helper = AutoRelease<CitI::IInterface>(CitP::Factory::CreateInstance(Hvd::ProjectHelperClassId()));
    AutoCast<Hvd::IProjectCompReference> binding(g_helper.Get());
    if (!binding || binding->SetProject(g_project.Get()) != Hvd::kSuccess) {
      g_helper = nullptr;
      return;
    }
  }
  AutoRelease<CitI::IInterface> repository = OpenRepository();
  AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get());
  AutoRelease<CitI::IInterface> registered;
  if (names && (names->Find("CvfProject", registered.Receive()) != Hvd::kSuccess || !registered))
    std::ignore = names->Register("CvfProject", g_helper.Get());
  // Its hierarchical-design project too, owned by the helper; it leaves when the project closes.
  AutoRelease<HdcI::IHDProjectSetup> design(CitP::Factory::CreateInstance(HdcI::HDProjectClassId()));
  if (design) std::ignore = design->Publish(g_project.Get(), g_helper.Get());
}

// The helper goes before its project closes: out of the repository, and let go of the project.
void ReleaseCvfHelper() {
  if (!g_helper) return;
  AutoRelease<CitI::IInterface> repository = OpenRepository();
  if (AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get()); names)
    std::ignore = names->UnregisterObject(g_helper.Get());
  if (AutoCast<Hvd::IProjectCompReference> binding(g_helper.Get()); binding) std::ignore = binding->SetProject(nullptr);
  g_helper = nullptr;
}

// The partitions the open project keeps in its hierarchical-design project, written as its close
// would write them: a file another program changed that cannot be read in, a question about it
// left unanswered or a write that fails is answered here, while the project is still open.
Hvd::Status WritePartitions() {
  AutoRelease<CitI::IInterface> repository = OpenRepository();
  AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get());
  AutoRelease<CitI::IInterface> published;
  if (!names || names->Find("HDProject", published.Receive()) != Hvd::kSuccess || !published) return Hvd::kSuccess;
  AutoCast<HdcI::IHDProjectSetup> design(published.Get());
  return design ? design->WriteAsClosing() : Hvd::kSuccess;
}

// Closes the open project, saved or not; its helper goes first and its reconfiguration projects
// after it. A saving close saves first, the project and then its partitions, and keeps the
// project open when that fails (a question left unanswered, a file that cannot be written), so
// nothing is dropped unsaved; so does the library's close when its own save kept the changes in
// memory only. The helper is registered again then, as it was.
Hvd::Status CloseProject(bool save) {
  if (!g_project) return Hvd::kSuccess;
  if (save) {
    CheckSourcesOnDisk();
    // A project with nothing to save is not saved: its close writes nothing and asks nothing.
    bool unsaved = true;
    if (AutoCast<Hvd::IProjectSaveState> state(g_project.Get()); state) std::ignore = state->HasUnsavedChanges(&unsaved);
    if (unsaved) {
      AutoCast<Hvd::IForceSave> saver(g_project.Get());
      const Hvd::Status saved = saver ? saver->ForceSave() : Hvd::kMissingInterface;
      if (saved != Hvd::kSuccess) return saved;
    }
    if (const Hvd::Status written = WritePartitions(); written != Hvd::kSuccess) return written;
  }
  ReleaseCvfHelper();
  PRProjects reconfiguration = TakePRProjects(g_project.Get());
  const Hvd::Status closed = g_project->ProjectClose(save);
  if (bool open = false; closed != Hvd::kSuccess && g_project->IsOpen(&open) == Hvd::kSuccess && open) {
    RegisterCvfHelper();
    return closed;
  }
  ClosePRProjects(reconfiguration);
  g_project = nullptr;
  g_missing.clear();
  return closed;
}

int OpenProject(Tcl_Interp* interp, const std::string& path) {
  if (g_project) return Error(interp, "a project is open already: close it first");
  AutoRelease<Hvd::IProject> project(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  if (!project) return Error(interp, "no project component");
  const Hvd::Status opened = project->Open(Absolute(path));
  bool open = false;
  std::ignore = project->IsOpen(&open);
  // A project file that could not be read leaves the project open, and never overwritten.
  if (open) {
    g_project = std::move(project);
    RegisterCvfHelper();
    CheckSourcesOnDisk(nullptr, true);
  }
  if (opened != Hvd::kSuccess) return Failed(interp, "project open", opened);
  return Done(interp);
}

// What a project source file says of itself, read without opening its project: a dict of its
// version, the program that generated it and its properties (a dict of name and value). The
// generator is the file's "Project Generator" property, "Corvane" when it names none, as the
// project decides it.
int ProjectInfo(Tcl_Interp* interp, const std::string& path) {
  AutoRelease<Hvd::IProjectInfo> info(CitP::Factory::CreateInstance(Hvd::ClassId::ProjectInfo()));
  if (!info) return Error(interp, "no project information component");
  const Hvd::Status read = info->ReadProjectData(Absolute(path));
  if (read != Hvd::kSuccess) {
    // Why the file was refused: the user's errors when there are any, else the case in a sentence.
    const auto& captured = Port_MsgManData::Captured();
    const bool told = std::any_of(captured.begin(), captured.end(), [](const auto& record) {
      return record.severity != Port_MsgManData::Severity::Debug;
    });
    std::error_code error;
    const bool exists = std::filesystem::exists(Absolute(path), error);
    return Failed(interp, "project info", read,
                  told ? "" : "project info: cannot read " + Shown(path) + (exists ? "" : ": there is no such file"));
  }
  Text version;
  const Hvd::Status versioned = info->GetHlcVersion(&version);
  if (versioned != Hvd::kSuccess) return Failed(interp, "project info", versioned);
  Text generator("Corvane");
  AutoRelease<Hvd::IPropertyInstance> named;
  if (info->GetProperty("Project Generator", named.Receive()) == Hvd::kSuccess && named) {
    Text value;
    if (named->GetValue(&value) == Hvd::kSuccess && !value.empty()) generator = value;
  }
  AutoRelease<Hvd::IPropertyInstanceSet> properties;
  AutoRelease<Hvd::IPropertyInstanceIterator> each;
  const Hvd::Status listed = info->GetAllProperties(properties.Receive());
  if (listed != Hvd::kSuccess || !properties || properties->GetIterator(each.Receive()) != Hvd::kSuccess || !each)
    return Failed(interp, "project info", listed);
  Tcl_Obj* values = Tcl_NewDictObj();
  for (; !each->IsDone(); std::ignore = each->Next()) {
    Text name;
    Text value;
    if (each->Current()->GetName(&name) != Hvd::kSuccess || each->Current()->GetValue(&value) != Hvd::kSuccess)
      continue;
    Tcl_DictObjPut(nullptr, values, ToTcl(name.str()), ToTcl(value.str()));
  }
  Tcl_Obj* result = Tcl_NewDictObj();
  Tcl_DictObjPut(nullptr, result, Tcl_NewStringObj("version", -1), ToTcl(version.str()));
  Tcl_DictObjPut(nullptr, result, Tcl_NewStringObj("generator", -1), ToTcl(generator.str()));
  Tcl_DictObjPut(nullptr, result, Tcl_NewStringObj("properties", -1), values);
  Tcl_SetObjResult(interp, result);
  return TCL_OK;
}

// The open project's snapshots: taken (the snapshot object, then its files), listed by name,
// restored over the project, which is then the project the restore hands back, and deleted.
int SnapshotCmd(Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  const char* usage = "project snapshot take NAME ?DESCRIPTION?|list|restore NAME|delete NAME";
  if (objc < 3) return Usage(interp, usage);
  if (!NeedOpen(interp)) return TCL_ERROR;
  AutoCast<Hvd::ICheckpointManager> manager(g_project.Get());
  if (!manager) return Error(interp, "the project keeps no snapshots");
  const std::string action = FromTcl(objv[2]);
  std::vector<std::string> args;
  for (int i = 3; i < objc; ++i) args.push_back(FromTcl(objv[i]));

  if (action == "take") {
    if (args.empty() || args.size() > 2) return Usage(interp, "project snapshot take NAME ?DESCRIPTION?");
    CheckSourcesOnDisk();
    AutoRelease<Hvd::ICheckpoint> made;
    const Hvd::Status created =
        manager->CreateCheckpoint(args[0], args.size() > 1 ? args[1] : std::string(), made.Receive());
    if (created != Hvd::kSuccess || !made) return Failed(interp, "project snapshot take", created);
    const Hvd::Status written = made->CreateCheckpointProject();
    return written == Hvd::kSuccess ? Done(interp) : Failed(interp, "project snapshot take", written);
  }
  if (action == "list") {
    if (!args.empty()) return Usage(interp, "project snapshot list");
    AutoRelease<Hvd::ICheckpointIterator> each;
    const Hvd::Status listed = manager->GetCheckpoints(each.Receive());
    if (listed != Hvd::kSuccess) return Failed(interp, "project snapshot list", listed);
    Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
    for (; each && !each->IsDone(); std::ignore = each->Next()) {
      Text name;
      if (each->Current()->GetName(&name) != Hvd::kSuccess) continue;
      Tcl_ListObjAppendElement(nullptr, list, ToTcl(name.str()));
    }
    Tcl_SetObjResult(interp, list);
    return TCL_OK;
  }
  if (action == "restore") {
    if (args.size() != 1) return Usage(interp, "project snapshot restore NAME");
    AutoRelease<Hvd::ICheckpoint> found;
    const Hvd::Status looked = manager->FindCheckpoint(args[0], found.Receive());
    if (looked != Hvd::kSuccess || !found) {
      if (looked != Hvd::kFailure || !Port_MsgManData::Captured().empty())
        return Failed(interp, "project snapshot restore", looked);
      return Error(interp, "no snapshot \"" + Shown(args[0]) + "\"");
    }
    AutoRelease<Hvd::IProject> restored;
    const Hvd::Status done = found->RestoreCheckpointProject(restored.Receive(), 0, nullptr);
    if (done != Hvd::kSuccess) return Failed(interp, "project snapshot restore", done);
    if (restored) g_project = std::move(restored);
    RegisterCvfHelper();
    return Done(interp);
  }
  if (action == "delete") {
    if (args.size() != 1) return Usage(interp, "project snapshot delete NAME");
    const Hvd::Status removed = manager->RemoveCheckpointByName(args[0]);
    if (removed == Hvd::kSuccess) return Done(interp);
    if (removed == Hvd::kFailure && Port_MsgManData::Captured().empty())
      return Error(interp, "no snapshot \"" + Shown(args[0]) + "\"");
    return Failed(interp, "project snapshot delete", removed);
  }
  return Error(interp, "bad snapshot action \"" + Shown(action) + "\": must be take, list, restore or delete");
}

int ProjectCmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  Port_MsgManData::ClearCaptured();
  if (objc < 2)
    return Usage(interp,
                 "project open|info|close|save|saveas|copy|archive|clean|get|set|order|top|hierarchy|snapshot ?arg ...?");
  const std::string sub = FromTcl(objv[1]);
  // Names and descriptions are taken as they are, options or not.
  if (sub == "snapshot") return SnapshotCmd(interp, objc, objv);
  Words words;
  if (!ReadWords(interp, 2, objc, objv, {"-view", "-format"}, words)) return TCL_ERROR;
  const std::vector<std::string>& args = words.plain;

  if (sub == "open") {
    if (args.size() != 1) return Usage(interp, "project open PATH");
    return OpenProject(interp, args[0]);
  }
  // Any project file, open or not: the open project is neither needed nor changed.
  if (sub == "info") {
    if (args.size() != 1) return Usage(interp, "project info PATH");
    return ProjectInfo(interp, args[0]);
  }
  if (!NeedOpen(interp)) return TCL_ERROR;
  // -nosave drops what was not saved, on purpose.
  if (sub == "close") {
    const bool keep = args.empty();
    if (!keep && (args.size() != 1 || args[0] != "-nosave")) return Usage(interp, "project close ?-nosave?");
    const Hvd::Status closed = CloseProject(keep);
    return closed == Hvd::kSuccess ? Done(interp) : Failed(interp, "project close", closed);
  }
  if (sub == "save") {
    if (!args.empty()) return Usage(interp, "project save");
    CheckSourcesOnDisk();
    AutoCast<Hvd::IForceSave> save(g_project.Get());
    const Hvd::Status saved = save ? save->ForceSave() : Hvd::kMissingInterface;
    return saved == Hvd::kSuccess ? Done(interp) : Failed(interp, "project save", saved);
  }
  // Copies of the open project; the open project stays the one open.
  if (sub == "saveas" || sub == "copy" || sub == "archive") {
    if (args.size() != 1) return Usage(interp, ("project " + sub + " PATH").c_str());
    CheckSourcesOnDisk();
    AutoCast<Hvd::IProjectSaveAsArchive3> copies(g_project.Get());
    if (!copies) return Error(interp, "the project makes no copies");
    const std::string target = Absolute(args[0]);
    Hvd::Status copied = Hvd::kFailure;
    if (sub == "saveas") {
      copied = copies->SaveAs(target);
    } else if (sub == "copy") {
      // The copy keeps the project's description; a save-as and an archive write none.
      Text description;
      bool device = false;
      if (Prjrep::AutoPtr<Hvd::IPropertyInstance> own = ProjectProperty("PROP_ProjectDescription", &device); own)
        std::ignore = own->GetValue(&description);
      const std::filesystem::path path(target);
      copied = copies->CopyProjectTo(path.filename().string(), path.parent_path().string(), "", description, true, true);
    } else {
      Text remoteSources;
      copied = copies->SaveAsArchive(target, &remoteSources);
    }
    return copied == Hvd::kSuccess ? Done(interp) : Failed(interp, "project " + sub, copied);
  }
  if (sub == "clean") {
    const Hvd::Status cleaned = g_project->ProjectCleanUp();
    return cleaned == Hvd::kSuccess ? Done(interp) : Failed(interp, "project clean", cleaned);
  }
  if (sub == "get" || sub == "set") {
    const bool set = sub == "set";
    if (args.size() != (set ? 2u : 1u))
      return Usage(interp, set ? "project set ?-view VIEW? NAME VALUE" : "project get ?-view VIEW? NAME");
    Prjrep::AutoPtr<Hvd::IPropertyInstance> instance;
    bool device = false;
    if (!words.view.empty()) {
      Prjrep::AutoPtr<Hvd::IView> view = FindView(words.view);
      if (!view) return Error(interp, "no view \"" + Shown(words.view) + "\"");
      // A view keys its properties by their names without the "PROP_" of the project's: either is taken.
      if (AutoCast<Hvd::IKeyedPropertySet> settings(view.Get()); settings) {
        const std::string& name = args[0];
        instance = Prjrep::AutoPtr<Hvd::IPropertyInstance>(AutoRelease<Hvd::IPropertyInstance>(settings->Lookup(name)));
        if (!instance && name.size() > 5 && name.compare(0, 5, "PROP_") == 0)
          instance = Prjrep::AutoPtr<Hvd::IPropertyInstance>(
              AutoRelease<Hvd::IPropertyInstance>(settings->Lookup(name.substr(5))));
      }
    } else {
      instance = ProjectProperty(args[0], &device);
    }
    if (!instance) return Error(interp, "no property \"" + Shown(args[0]) + "\"");
    if (set) {
      const Hvd::Status changed = instance->SetValue(args[1]);
      if (changed != Hvd::kSuccess)
        return Failed(interp, "project set", changed, NotAllowed(instance.Get(), args[0], args[1], changed));
      if (device) AnnounceDeviceChange(instance);
      return Done(interp);
    }
    Text value;
    const Hvd::Status read = instance->GetValue(&value);
    if (read != Hvd::kSuccess) return Failed(interp, "project get", read);
    Tcl_SetObjResult(interp, ToTcl(value.str()));
    return TCL_OK;
  }
  if (sub == "order" || sub == "top" || sub == "hierarchy") {
    if (!args.empty()) return Usage(interp, "project order|top|hierarchy ?-view VIEW? ?-format FORMAT?");
    CheckSourcesOnDisk();
    Prjrep::AutoPtr<Hvd::IView> view = FindView(words.view);
    if (!view)
      return Error(interp, "no view \"" + Shown(words.view.empty() ? "VIEW_AbstractSynthesis" : words.view) + "\"");
    if (sub == "order") {
      AutoRelease<Hvd::IHdlFileIterator> files;
      const Hvd::Status ordered = view->GetCompileOrder(nullptr, 0, files.Receive());
      if (ordered != Hvd::kSuccess) return Failed(interp, "project order", ordered);
      Tcl_SetObjResult(interp, ListOf(files));
      return TCL_OK;
    }
    if (sub == "top") {
      Text top;
      const Hvd::Status found = view->GetTopName(&top);
      if (found != Hvd::kSuccess) return Failed(interp, "project top", found);
      Tcl_SetObjResult(interp, ToTcl(top.str()));
      return TCL_OK;
    }
    // The view takes its layouts by name and gives its plain one for any other word, so a
    // mistyped name would pass unnoticed: only the names are taken.
    if (!words.format.empty() && !boost::algorithm::iequals(words.format, "QlbPrjSourceList") &&
        !boost::algorithm::iequals(words.format, "ModuleList")) {
      return Error(interp, "bad format \"" + Shown(words.format) + "\": must be QlbPrjSourceList or ModuleList");
    }
    AutoCast<Hvd::IViewTclHelper> helper(view.Get());
    if (!helper) return Error(interp, "the view gives no hierarchy");
    const Text text = helper->GetViewHierarchy(nullptr, "", words.format.c_str());
    Tcl_SetObjResult(interp, ToTcl(text.str()));
    return TCL_OK;
  }
  return Error(interp, "bad subcommand \"" + Shown(sub) +
                           "\": must be open, info, close, save, saveas, copy, archive, clean, get, set, order, top, "
                           "hierarchy or snapshot");
}

// Takes a library out of the project again.
void DropLibrary(Hvd::ISourceLibraryManager* libraries, Hvd::ISourceLibrary* library) {
  AutoRelease<Hvd::ISourceLibraryIterator> at;
  if (libraries->GetSourceLibraries(at.Receive()) != Hvd::kSuccess || !at) return;
  for (; !at->IsDone(); std::ignore = at->Next()) {
    if (at->Current() == library) {
      std::ignore = libraries->RemoveSourceLibrary(at.Get());
      return;
    }
  }
}

constexpr std::uint32_t kManaged = 3;  // the origin state of a file a source includes

// Makes a file that the project holds only because a source includes it one the user added: the
// library keeps it managed while a source includes it and gives it back as the user's after.
// False for any other file, which the user added already.
bool TakeIncludedFile(Hvd::IHdlFile* file, const std::string& name) {
  AutoCast<Hvd::IFile> record(file);
  std::uint32_t origin = 0;
  if (!record || record->GetOriginState(&origin) != Hvd::kSuccess || origin != kManaged ||
      record->SetOriginState(0) != Hvd::kSuccess)
    return false;
  Port_MsgManData::createObject("velsh", "velsh", 0, "")
      .issueInfo("velfile add: %s was in the project only as a file that a source includes: it is now one you "
                 "added, which the project manages while a source includes it.\n",
                 name.c_str());
  return true;
}

// The type name of the project's file at `path`; empty when it holds none.
std::string FileTypeAt(Hvd::IFileManager* files, const std::string& path) {
  AutoRelease<Hvd::IHdlFileIterator> at;
  if (files->FindFileByPath(path, at.Receive()) != Hvd::kSuccess || !at || at->IsDone()) return std::string();
  AutoCast<Hvd::IFile> file(at->Current());
  AutoRelease<Hvd::IFileType> type;
  Text name;
  if (file && file->GetFileType(type.Receive()) == Hvd::kSuccess) {
    if (AutoCast<Hvd::IDefDataId> id(type.Get()); id) std::ignore = id->GetDefDataIdName(&name);
  }
  return name.str();
}

// A view reads its sources for includes when it is asked, so one not asked since its sources
// came knows none of their includes yet: each view's files are read, as `velfile list -view`
// reads them, so that every source that includes a file is known.
void BringViewsInStep() {
  AutoCast<Hvd::IViewManager> manager(Design());
  AutoRelease<Hvd::IViewIterator> views;
  if (!manager || manager->GetViews(views.Receive()) != Hvd::kSuccess || !views) return;
  std::vector<Prjrep::AutoPtr<Hvd::IView>> all;
  for (; !views->IsDone(); std::ignore = views->Next()) all.emplace_back(views->Current());
  for (const Prjrep::AutoPtr<Hvd::IView>& view : all) {
    AutoCast<Hvd::IFileSet> inView(view.Get());
    AutoRelease<Hvd::IFileIterator> each;
    if (inView) std::ignore = inView->GetIterator(each.Receive());
  }
}

// A file removed while sources still include it stays in the project, as a header the views
// manage: the user is told which sources keep it, all of them, or the removal would seem to have
// done nothing. A header, or a file a source was known to include, is looked for in every view's
// includes first; any other source is left to the views that know of it.
void WarnOfIncludedFileKept(Hvd::IFileManager* files, const std::string& path, const std::string& given,
                            const std::string& type) {
  AutoRelease<Hvd::IHdlFileIterator> at;
  const bool kept = files->FindFileByPath(path, at.Receive()) == Hvd::kSuccess && at && !at->IsDone();
  if (kept || (type != "FILE_VERILOG" && type != "FILE_VHDL")) {
    BringViewsInStep();
    if (files->FindFileByPath(path, at.ReleaseAndReceive()) != Hvd::kSuccess) return;
  }
  if (!at || at->IsDone()) return;
  AutoCast<Hvd::IHdlFileV4> relations(at->Current());
  std::set<std::string> includers;
  for (std::uint32_t category = 0; relations && category < 6; ++category) {
    AutoRelease<Hvd::IHdlFileIterator> parents;
    if (relations->GetParentFiles(category, parents.Receive()) != Hvd::kSuccess || !parents) continue;
    for (; !parents->IsDone(); std::ignore = parents->Next()) includers.insert(FullName(parents->Current()));
  }
  if (includers.empty()) return;
  std::string named;
  for (const std::string& includer : includers) named += (named.empty() ? "\"" : ", \"") + Shown(includer) + "\"";
  Port_MsgManData::createObject("velsh", "velsh", 0, "")
      .issueWarning("velfile remove: %s stays in the project as a header the views manage, since %s still "
                    "include%s it; it goes with its last includer.\n",
                    Shown(given).c_str(), named.c_str(), includers.size() == 1 ? "s" : "");
}

int VelfileCmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  Port_MsgManData::ClearCaptured();
  if (objc < 2) return Usage(interp, "velfile add|remove|list ?arg ...?");
  const std::string sub = FromTcl(objv[1]);
  Words words;
  if (!ReadWords(interp, 2, objc, objv, {"-view", "-library"}, words)) return TCL_ERROR;
  const std::vector<std::string>& args = words.plain;
  if (!NeedOpen(interp)) return TCL_ERROR;
  AutoCast<Hvd::IFileManager> files(g_project.Get());
  if (!files) return Error(interp, "the project manages no files");

  if (sub == "add") {
    if (args.size() != 1) return Usage(interp, "velfile add PATH ?-library NAME?");
    const BatchScope batch(g_project.Get());
    AutoRelease<Hvd::IHdlFile> file;
    const Hvd::Status added = files->ProjectAddFile(Absolute(args[0]), nullptr, file.Receive());
    // A file the project holds only because a source includes it becomes one the user added.
    const bool taken = added == Hvd::kAlreadyInProject && TakeIncludedFile(file.Get(), args[0]);
    if (added == Hvd::kAlreadyInProject && !taken)
      return Failed(interp, "velfile add", added, "velfile add: " + Shown(args[0]) + " is already in the project");
    if ((added != Hvd::kSuccess && !taken) || !file) return Failed(interp, "velfile add", added);
    // A source is for implementation and for simulation, as the suite adds it by default.
    if (AutoCast<Hvd::IViewClassAssociation> classes(file.Get()); classes) {
      std::ignore = classes->SetBit(0);
      std::ignore = classes->SetBit(1);
    }
    CheckSourcesOnDisk(file.Get(), true);
    if (!words.hasLibrary) return Done(interp);
    AutoCast<Hvd::ISourceLibraryManager> libraries(g_project.Get());
    AutoRelease<Hvd::ISourceLibrary> library;
    bool created = false;
    if (libraries && libraries->FindSourceLibrary(words.library, library.Receive()) == Hvd::kSuccess && !library)
      created = libraries->CreateSourceLibrary(words.library, library.Receive()) == Hvd::kSuccess && library;
    AutoCast<Hvd::ISourceLibraryMember> member(file.Get());
    const Hvd::Status moved = !library ? Hvd::kFailure : member ? member->SetLibrary(library) : Hvd::kMissingInterface;
    if (moved == Hvd::kSuccess) {
      if (created) WarnOfLibraryName(libraries, words.library);
      return Done(interp);
    }
    // A file its library refuses is not added, nor a library made for it.
    const auto records = Port_MsgManData::Captured();
    const bool wrongType = std::any_of(records.begin(), records.end(), [](const Port_MsgManData::Record& record) {
      return record.text.find("is not valid for library") != std::string::npos;
    });
    const int failed = Failed(interp, "velfile add -library", moved,
                              wrongType ? Unexplained("velfile add -library", moved) + "\nvelfile add: the library \"" +
                                              Shown(words.library) + "\" takes VHDL files only, as every library made "
                                              "by -library does, and " + Shown(args[0]) + " is not one: add it without "
                                              "-library, into \"work\", which takes files of every language"
                                        : std::string());
    // A file taken from the includes goes back to them, as managed as it was.
    if (taken) {
      std::ignore = AutoCast<Hvd::IFile>(file.Get())->SetOriginState(kManaged);
    } else {
      std::ignore = files->RemoveFileByHdlFile(file.Get());
    }
    if (created) DropLibrary(libraries, library);
    return failed;
  }
  if (sub == "remove") {
    if (args.size() != 1) return Usage(interp, "velfile remove PATH");
    const std::string path = Absolute(args[0]);
    const std::string type = FileTypeAt(files, path);
    const Hvd::Status removed = files->RemoveFileByPath(path);
    if (removed == Hvd::kSuccess) {
      WarnOfIncludedFileKept(files, path, args[0], type);
      return Done(interp);
    }
    AutoRelease<Hvd::IHdlFileIterator> at;
    const bool listed = files->FindFileByPath(path, at.Receive()) == Hvd::kSuccess && at && !at->IsDone();
    return Failed(interp, "velfile remove", removed,
                  listed ? "" : "velfile remove: " + Shown(args[0]) + " is not in the project");
  }
  if (sub == "list") {
    if (!args.empty()) return Usage(interp, "velfile list ?-view VIEW?");
    if (words.view.empty()) {
      AutoRelease<Hvd::IHdlFileIterator> all;
      const Hvd::Status listed = files->GetProjectFiles(all.Receive());
      if (listed != Hvd::kSuccess) return Failed(interp, "velfile list", listed);
      Tcl_SetObjResult(interp, ListOf(all));
      return TCL_OK;
    }
    Prjrep::AutoPtr<Hvd::IView> view = FindView(words.view);
    if (!view) return Error(interp, "no view \"" + Shown(words.view) + "\"");
    // What a view holds follows the disk: a source back since the last check is in it again.
    CheckSourcesOnDisk();
    AutoCast<Hvd::IFileSet> inView(view.Get());
    AutoRelease<Hvd::IFileIterator> each;
    if (!inView || inView->GetIterator(each.Receive()) != Hvd::kSuccess) return Error(interp, "the view lists no files");
    Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
    for (; each && !each->IsDone(); std::ignore = each->Next()) {
      const std::string name = FullName(each->Current());
      Tcl_ListObjAppendElement(nullptr, list, ToTcl(name));
    }
    Tcl_SetObjResult(interp, list);
    return TCL_OK;
  }
  return Error(interp, "bad subcommand \"" + Shown(sub) + "\": must be add, remove or list");
}

}  // namespace

void RegisterProjectCommands(Tcl_Interp* interp) {
  Tcl_CreateObjCommand(interp, "project", ProjectCmd, nullptr, nullptr);
  Tcl_CreateObjCommand(interp, "velfile", VelfileCmd, nullptr, nullptr);
}

Hvd::IProject* OpenProject() { return g_project.Get(); }

// What is left open when the process ends anyway is closed without saving.
void CloseOpenProject() { std::ignore = CloseProject(false); }

bool SaveAndCloseOpenProject(std::string& failure) {
  if (!g_project) return true;
  Port_MsgManData::ClearCaptured();
  Text file;
  if (AutoCast<Hvd::IProject2> paths(g_project.Get()); paths) std::ignore = paths->GetProjectFilePath(&file);
  const Hvd::Status closed = CloseProject(true);
  if (closed == Hvd::kSuccess) return true;
  failure = "velsh: the project " + Shown(file) + " could not be saved on leaving the shell";
  // The library's own errors were shown as they were issued; without any, the status says why.
  const auto captured = Port_MsgManData::Captured();
  const bool explained = std::any_of(captured.begin(), captured.end(), [](const Port_MsgManData::Record& record) {
    return record.severity == Port_MsgManData::Severity::Error;
  });
  if (!explained) failure += ": " + Unexplained("the save", closed);
  failure += "\n";
  return false;
}

}  // namespace velsh
