#include "utils/DmUtils.h"

#include <cinttypes>
#include <cstdio>
#include <unordered_set>

#include <cstdlib>

#include "CitP/Factory.h"
#include "Hvd/IConfiguration.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDefDataId.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFile.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IView.h"
#include "Port/FileName.h"
#include "Port/MsgMan.h"
#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/IName.h"
#include "Prjrep/IStringSet.h"
#include "framework/Factory.h"

namespace Hvd {
namespace {

using Prjrep::AutoCast;
using Prjrep::AutoOut;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

const Port::XUID& CompoundAutonymClass() {
  static constexpr Port::XUID s_clsid{"{e4265341-05c3-4f14-9f2f-a47e72d5ae89}"};
  return s_clsid;
}
const Port::XUID& NamedAutonymClass() {
  static constexpr Port::XUID s_clsid{"{c6327cf3-ebf5-4a02-90ff-387e6c7d2f11}"};
  return s_clsid;
}
const Port::XUID& CvfProjectHelperClass() {
  static constexpr Port::XUID s_clsid{"{0725c3d2-5e9b-4383-a7b6-a80c932eac21}"};
  return s_clsid;
}
const Port::XUID& PRHelperClass() {
  static constexpr Port::XUID s_clsid{"{46d13bb4-32d0-4956-ad01-ca173eb43e22}"};
  return s_clsid;
}
const Port::XUID& TclProjectInterface() {
  static constexpr Port::XUID s_iid{0x9bd2871ff36941f3ull, 0xad7abd114008d664ull};
  return s_iid;
}
const Port::XUID& OperationGateClass() {
  static constexpr Port::XUID s_clsid{"{60f0875e-b8d4-4abf-b271-75837f1c0ca9}"};
  return s_clsid;
}

// The process-wide registry as interface `I`. The registry is created for every use; the
// instance is given back when done, whatever its lifetime inside the host.
template <class I>
AutoRelease<I> Registry() {
  return AutoRelease<I>(GetNamedObjectRegistryCLSID());
}

CitI::IInterface* IdentityOf(CitI::IInterface* object) {
  return object ? object->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
}

// A new compound autonym, or null.
AutoRelease<Prjrep::IAutonymSet> NewCompound() {
  return AutoRelease<Prjrep::IAutonymSet>(CitP::Factory::CreateInstance(CompoundAutonymClass()));
}

}  // namespace

// --- Named objects ----------------------------------------------------------------------

Status FindNamedObject(const char* name, CitI::IInterface** out) {
  auto registry = Registry<CitI::IInterface>();
  return FindNamedObjectIn(registry, String(name), out);
}

Status FindNamedObjectIn(CitI::IInterface* table, const String& name, CitI::IInterface** out) {
  AutoOut<CitI::IInterface> result(out);
  AutoCast<Prjrep::ISimpleNamedLookup> names(table);
  if (names.Get() == nullptr || out == nullptr) return kFailure;
  return names->Find(name, out);
}

Status RegisterNamedObject(CitI::IInterface* table, const String& name, CitI::IInterface* object, bool replace) {
  AutoCast<Prjrep::ISimpleNamedLookup> names(table);
  AutoCast<Prjrep::IAutonymLookup> autonyms(table);
  AutoCast<Prjrep::IAutoNaming> selfNaming(object);
  if (names.Get() == nullptr) return kFailure;
  if (!replace) {
    AutoRelease<CitI::IInterface> taken;
    std::ignore = names->Find(name, taken.Receive());
    if (taken.Get() != nullptr) return kFailure;
  }
  const Status status = names->Register(name, object);
  if (selfNaming.Get() != nullptr && autonyms.Get() != nullptr) {
    AutoRelease<Prjrep::IAutonym> autonym;
    std::ignore = selfNaming->GetAutonym(autonym.Receive());
    if (autonym.Get() != nullptr) std::ignore = autonyms->Register(autonym, object);
  }
  return status;
}

Status ForwardToNamedObjectRegistry(CitI::IInterface* object) {
  auto names = Registry<Prjrep::ISimpleNamedLookup>();
  return names.Get() ? names->UnregisterObject(object) : kFailure;
}

CitI::IInterface* GetActiveProject() {
  CitI::IInterface* project = nullptr;
  std::ignore = FindNamedObject("ActiveHvdProject", &project);
  return project;
}

CitI::IInterface* GetActiveRepository() {
  CitI::IInterface* repository = nullptr;
  std::ignore = FindNamedObject("ActiveRepository", &repository);
  return repository;
}

IProject* GetActiveProjectOfRepository(const String& path) {
  AutoRelease<Prjrep::IProjectRepository> repository(FindAutonymByName(path.c_str(), false));
  AutoRelease<CitI::IInterface> found;
  std::ignore = FindNamedObjectIn(repository, "ActiveHvdProject", found.Receive());
  return AutoRelease<IProject>(found.Detach()).Detach();
}

IProject* GetActiveProjectOfObject(CitI::IInterface* object) {
  return GetActiveProjectOfRepository(GetObjectFullPath(object));
}

namespace {

bool SamePathAsActive(CitI::IInterface* object, CitI::IInterface* active) {
  AutoRelease<CitI::IInterface> held(active);
  const String path = GetObjectFullPath(object);
  const String activePath = GetObjectFullPath(held);
  return !path.empty() && !activePath.empty() && Port::File::namematch(path.c_str(), activePath.c_str()) == 1;
}

}  // namespace

bool IsActiveProject(CitI::IInterface* object) { return SamePathAsActive(object, GetActiveProject()); }

bool IsActiveRepository(CitI::IInterface* object) { return SamePathAsActive(object, GetActiveRepository()); }

void SetActiveProject(CitI::IInterface* object) {
  AutoRelease<IProject> project(GetOwningProject(object));
  AutoRelease<IProjectHelper> helper(GetCvfProject(object, false));
  if (project.Get() == nullptr || helper.Get() == nullptr) return;
  auto registry = Registry<CitI::IInterface>();
  std::ignore = RegisterNamedObject(registry, "ActiveHvdProject", project, true);
  std::ignore = RegisterNamedObject(registry, "ActiveCvfProject", helper, true);
}

void SetActiveRepository(CitI::IInterface* object) {
  AutoRelease<Prjrep::IProjectRepository> repository(FindAutonymByName(GetObjectFullPath(object).c_str(), true));
  if (repository.Get() == nullptr) return;
  std::ignore = RegisterNamedObject(Registry<CitI::IInterface>(), "ActiveRepository", repository, true);
}

CitI::IInterface* FindNamedObjectInRepository(String name, String path) {
  CitI::IInterface* found = nullptr;
  if (path.empty()) {
    std::ignore = FindNamedObject(name.c_str(), &found);
  } else {
    AutoRelease<Prjrep::IProjectRepository> repository(FindAutonymByName(path.c_str(), false));
    std::ignore = FindNamedObjectIn(repository, name, &found);
  }
  return found;
}

CitI::IInterface* ResolveAutonym(CitI::IInterface* autonym, String path) {
  AutoCast<Prjrep::IAutonym> asAutonym(autonym);
  if (asAutonym.Get() == nullptr) return nullptr;
  AutoRelease<Prjrep::IAutonymLookup> lookup;
  if (AutoCast<Prjrep::IAutonymSet>(autonym).Get() == nullptr && !path.empty()) {
    AutoRelease<Prjrep::IProjectRepository> repository(FindAutonymByName(path.c_str(), false));
    lookup = AutoRelease<Prjrep::IAutonymLookup>(repository.Detach());
  } else {
    lookup = Registry<Prjrep::IAutonymLookup>();
  }
  CitI::IInterface* object = nullptr;
  if (lookup.Get() != nullptr) std::ignore = lookup->Resolve(asAutonym, &object);
  return object;
}

Prjrep::IAutonym* ComposeAutonym(const String& name, CitI::IInterface* parent) {
  if (name.empty()) return nullptr;
  AutoRelease<Prjrep::IAutonymSet> compound = NewCompound();
  AutoRelease<Prjrep::IName> simple(CitP::Factory::CreateInstance(NamedAutonymClass()));
  if (compound.Get() == nullptr || simple.Get() == nullptr) return nullptr;
  std::ignore = simple->SetName(name);
  if (!AddAutonymToSet(compound, simple) || !AddAutonymToSet(compound, parent)) return nullptr;
  return AutoRelease<Prjrep::IAutonym>(compound.Detach()).Detach();
}

// --- The operation gate -----------------------------------------------------------------

String MakeInterfaceKey(const char* prefix, CitI::IInterface* object) {
  String key;
  key.Format("%s%" PRIuPTR, prefix ? prefix : "", reinterpret_cast<std::uintptr_t>(IdentityOf(object)));
  return key;
}

OperationGateGuard::OperationGateGuard() { FindOrCreateGate(); }

OperationGateGuard::OperationGateGuard(CitI::IInterface* object, const char* prefix) {
  FindOrCreateGate();
  if (object == nullptr) return;
  const String key = MakeInterfaceKey(prefix, object);
  Enter(key, object);
  m_identity = IdentityOf(object);
  m_key = key;
}

void OperationGateGuard::FindOrCreateGate() {
  std::ignore = FindNamedObject(m_name.c_str(), m_gate.Receive());
  if (m_gate.Get() != nullptr) return;
  m_gate = AutoRelease<CitI::IInterface>(CitP::Factory::CreateInstance(OperationGateClass()));
  if (m_gate.Get() != nullptr) std::ignore = RegisterNamedObject(Registry<CitI::IInterface>(), m_name, m_gate, true);
}

void OperationGateGuard::Enter(const String& key, CitI::IInterface* object) {
  AutoCast<Prjrep::ISimpleNamedLookup> keys(m_gate.Get());
  if (keys.Get() == nullptr) return;
  AutoRelease<CitI::IInterface> present;
  std::ignore = keys->Find(key, present.Receive());
  m_enteredAlready = present.Get() != nullptr;
  if (!m_enteredAlready) std::ignore = RegisterNamedObject(m_gate, key, IdentityOf(object), true);
}

OperationGateGuard::~OperationGateGuard() {
  if (AutoCast<Prjrep::ISimpleNamedLookup> keys(m_gate.Get()); keys.Get() != nullptr) {
    if (!m_enteredAlready && !m_key.empty()) std::ignore = keys->Unregister(m_key);
    m_identity = nullptr;
    m_key = "";
  }
  if (AutoCast<Prjrep::IStringSet> held(m_gate.Get()); held.Get() != nullptr && held->Size() == 0) {
    if (auto names = Registry<Prjrep::ISimpleNamedLookup>(); names.Get() != nullptr) std::ignore = names->Unregister(m_name);
    m_gate = nullptr;
  }
}

Status CloseOperationGate(CitI::IInterface* object, CitI::IInterface* project) {
  OperationGateGuard guard(project, "close");
  AutoRelease<IProjectHelper> helper(GetCvfProject(object, false));
  return helper.Get() ? helper->CloseProject() : kFailure;
}

// --- Owning project and object paths ----------------------------------------------------

namespace {

// The path of a file through its path-name interface; empty when it has none.
String FileNameOf(CitI::IInterface* file) {
  String name;
  if (AutoCast<Prjrep::IFileNameHelper> names(file); names.Get() != nullptr) std::ignore = names->GetFullName(&name);
  return name;
}

AutoPtr<IProject> ProjectNamed(CitI::IInterface* table) {
  AutoRelease<CitI::IInterface> found;
  std::ignore = FindNamedObjectIn(table, "ActiveHvdProject", found.Receive());
  return AutoRelease<IProject>(found.Detach());
}

// The owner found from the object's own interfaces, in their fixed order; null when none.
AutoPtr<IProject> OwnerFromInterfaces(CitI::IInterface* object) {
  AutoCast<IProject> project(object);
  AutoCast<IHdlFile> file(object);
  AutoCast<Prjrep::IProjectRepository> repository(object);
  AutoCast<Prjrep::IAutonymSet> autonymSet(object);
  AutoCast<IProjectReference> reference(object);
  AutoCast<IProjectCompReference> member(object);
  if (project.Get() != nullptr) return AutoPtr<IProject>(project.Get());
  if (file.Get() != nullptr && IsProjectFileType(object)) {
    // A child project's file: the project loaded from it, registered under its path, or
    // under the older repository's path for a project source file.
    const String name = FileNameOf(object);
    AutoRelease<IProject> child(GetActiveProjectOfRepository(name));
    const std::string& text = name.str();
    if (child.Get() == nullptr && text.size() > 5 && text.compare(text.size() - 5, 5, ".xhlc") == 0) {
      child = AutoRelease<IProject>(GetActiveProjectOfRepository(String(text.substr(0, text.size() - 5) + ".hlc")));
    }
    return child;
  }
  if (repository.Get() != nullptr) return ProjectNamed(repository);
  if (autonymSet.Get() != nullptr) {
    AutoCast<Prjrep::IAutonym> autonym(object);
    auto lookup = Registry<Prjrep::IAutonymLookup>();
    AutoRelease<CitI::IInterface> resolved;
    if (autonym.Get() != nullptr && lookup.Get() != nullptr) std::ignore = lookup->ResolveOrCreate(autonym, nullptr, resolved.Receive());
    return AutoRelease<IProject>(resolved.Detach());
  }
  if (reference.Get() != nullptr) {
    String path;
    std::ignore = reference->GetProjectFileName(&path);
    return AutoRelease<IProject>(GetActiveProjectOfRepository(path));
  }
  if (member.Get() != nullptr) {
    AutoRelease<IProject> owner;
    std::ignore = member->GetProject(owner.Receive());
    return owner;
  }
  return nullptr;
}

}  // namespace

IProject* GetOwningProject(CitI::IInterface* object) {
  if (object == nullptr) return nullptr;
  if (AutoCast<IDesign> design(object); design.Get() != nullptr) {
    IProject* project = nullptr;
    std::ignore = design->GetProject(&project);
    return project;
  }
  AutoPtr<IProject> owner = OwnerFromInterfaces(object);
  // A child project's file names its own project; otherwise the active project stands in
  // for an owner that the object does not know.
  if (owner.Get() == nullptr && !IsProjectFileType(object)) owner = AutoRelease<IProject>(GetActiveProject());
  return Prjrep::AutoReturn<IProject>(owner);
}

String GetObjectFullPath(CitI::IInterface* object) {
  String path;
  if (object == nullptr) return path;
  AutoPtr<IProject2> project(object);
  AutoPtr<IHdlFile> file(object);
  AutoCast<Prjrep::IProjectRepositoryInternal> repository(object);
  AutoCast<Prjrep::IAutonymSet> autonymSet(object);
  AutoCast<IProjectReference> reference(object);
  AutoCast<IProjectCompReference> member(object);
  // A design unit stands for its file, a design for its project.
  if (AutoCast<IDesignUnit> unit(object); unit.Get() != nullptr) {
    AutoRelease<IHdlFile> containing;
    if (AutoCast<IHdlElement> element(object); element.Get() != nullptr) std::ignore = element->GetHdlFile(containing.Receive());
    file = containing.Get();
  }
  if (AutoCast<IDesign>(object).Get() != nullptr) project = AutoRelease<IProject>(GetOwningProject(object));

  if (file.Get() != nullptr) path = FileNameOf(file);
  if (path.empty() && repository.Get() != nullptr) std::ignore = repository->GetPath(&path);
  if (path.empty() && autonymSet.Get() != nullptr) {
    AutoRelease<Prjrep::IAutonymIterator> it;
    std::ignore = autonymSet->GetIterator(it.Receive());
    if (it.Get() != nullptr && !it->IsDone() && it->Current() != nullptr) std::ignore = it->Current()->GetName(&path);
  }
  if (path.empty() && reference.Get() != nullptr) std::ignore = reference->GetProjectFileName(&path);
  if (path.empty() && member.Get() != nullptr) {
    AutoRelease<IProject> owner;
    std::ignore = member->GetProject(owner.Receive());
    project = owner.Get();
  }
  if (path.empty() && project.Get() != nullptr) {
    if (std::getenv("VEL_CORVANE_ENABLE_HLC") != nullptr) {
      std::ignore = project->GetRepositoryPath(&path);
    } else {
      std::ignore = project->GetProjectFilePath(&path);
    }
  }
  if (path.empty()) return path;
  Port::FileName name(Port::FileName(path).GetAbsolutePath());
  return name.MakeCanonical().GetPath();
}

Prjrep::IProjectRepository* GetRepositoryOfObject(CitI::IInterface* object) {
  return FindAutonymByName(GetObjectFullPath(object).c_str(), false);
}

IProjectHelper* GetCvfProject(CitI::IInterface* object, bool createWhenMissing) {
  const String path = GetObjectFullPath(object);
  AutoRelease<IProjectHelper> helper;
  if (!path.empty()) {
    AutoRelease<Prjrep::IProjectRepository> repository(FindAutonymByName(path.c_str(), false));
    AutoRelease<CitI::IInterface> found;
    std::ignore = FindNamedObjectIn(repository, "CvfProject", found.Receive());
    helper.Assign(found.Detach());
  }
  if (helper.Get() != nullptr || !createWhenMissing) return helper.Detach();
  helper.Assign(CitP::Factory::CreateInstance(CvfProjectHelperClass()));
  if (helper.Get() == nullptr && CitP::Factory::LoadLibraryFactory("libHvd_Cvf")) {
    helper.Assign(CitP::Factory::CreateInstance(CvfProjectHelperClass()));
  }
  if (helper.Get() != nullptr) {
    AutoRelease<IProject> owner(GetOwningProject(object));
    AutoCast<IProjectCompReference> binding(helper.Get());
    if (owner.Get() != nullptr && binding.Get() != nullptr) std::ignore = binding->SetProject(owner);
  }
  return helper.Detach();
}

CitI::IInterface* GetTclProject(CitI::IInterface* object) {
  const String path = GetObjectFullPath(object);
  if (path.empty()) return nullptr;
  AutoRelease<IPRSolutionHelper> solution(CitP::Factory::CreateInstance(PRHelperClass()));
  if (solution.Get() == nullptr) return nullptr;
  AutoRelease<CitI::IInterface> found;
  std::ignore = solution->FindRepositoryObject(path, "TclProject", found.Receive());
  CitI::IInterface* tclProject = found.Get() ? found->QueryInterface(TclProjectInterface()) : nullptr;
  if (tclProject == nullptr) return nullptr;
  Prjrep::AddRefObject(tclProject);
  return tclProject;
}

Prjrep::IAutonym* GetObjectAutonym(CitI::IInterface* object) {
  AutoPtr<CitI::IInterface> subject(object);
  auto lookup = Registry<Prjrep::IAutonymLookup>();
  if (AutoCast<Prjrep::IAutonym> itself(object); itself.Get() != nullptr && lookup.Get() != nullptr) {
    AutoRelease<CitI::IInterface> named;
    std::ignore = lookup->Resolve(itself, named.Receive());
    if (named.Get() != nullptr) subject = named.Get();
  }
  AutoRelease<Prjrep::IAutonym> autonym;
  if (lookup.Get() != nullptr) std::ignore = lookup->FindAutonym(subject, autonym.Receive());
  if (autonym.Get() == nullptr) {
    AutoRelease<Prjrep::IAutonymLookup> repository(GetRepositoryOfObject(subject));
    if (repository.Get() != nullptr) std::ignore = repository->FindAutonym(subject, autonym.Receive());
  }
  if (autonym.Get() == nullptr) {
    if (AutoCast<Prjrep::IAutoNaming> selfNaming(subject.Get()); selfNaming.Get() != nullptr) {
      std::ignore = selfNaming->GetAutonym(autonym.Receive());
    }
  }
  return autonym.Detach();
}

String GetObjectDisplayName(CitI::IInterface* object) {
  String name;
  if (object == nullptr) return String("NULL");
  if (AutoCast<IConfiguration>(object).Get() != nullptr || AutoCast<IFlavor>(object).Get() != nullptr) {
    if (AutoCast<Prjrep::IName> named(object); named.Get() != nullptr) std::ignore = named->GetName(name);
    return name;
  }
  if (AutoCast<IPRModule> module(object); module.Get() != nullptr) {
    std::ignore = module->GetInstancePath(name);
    return name;
  }
  return Port::FileName(GetObjectFullPath(object)).GetTail();
}

Status SaveOwningProject(CitI::IInterface* object, CitI::IInterface* argument) {
  AutoRelease<IProject> project(GetActiveProjectOfRepository(GetObjectFullPath(object)));
  if (project.Get() != nullptr) return project->Save();
  AutoRelease<Prjrep::ISaveAutonym> autonym(GetObjectAutonym(object));
  return autonym.Get() ? autonym->SaveObject(argument) : kFailure;
}

Status CloseOwningCvfProject(CitI::IInterface* object, CitI::IInterface* argument) {
  AutoRelease<IProjectHelper> helper(GetCvfProject(object, false));
  if (helper.Get() != nullptr) return helper->CloseProject();
  AutoRelease<Prjrep::ISaveAutonym> autonym(GetObjectAutonym(object));
  return autonym.Get() ? autonym->CloseObject(argument) : kFailure;
}

Status SaveOwningCvfProject(CitI::IInterface* object, CitI::IInterface* argument) {
  return CloseOwningCvfProject(object, argument);
}

bool IsProjectFileType(CitI::IInterface* object) {
  if (AutoCast<IFile>(object).Get() == nullptr) return false;
  const String name = GetDefDataIdName(object);
  return name == "FILE_HLC" || name == "FILE_XHLC" || name == "FILE_TARVISHLC" || name == "FILE_MOLDRIXHLC";
}

// --- Definition data --------------------------------------------------------------------

IDefDataId* GetDefDataId(CitI::IInterface* object) {
  if (object == nullptr) return nullptr;
  // The first of these that the object answers decides, even without a definition.
  AutoRelease<CitI::IInterface> definition;
  if (AutoCast<IFile> file(object); file.Get() != nullptr) {
    AutoRelease<IFileType> type;
    std::ignore = file->GetFileType(type.Receive());
    definition = AutoRelease<CitI::IInterface>(type.Detach());
  } else if (AutoCast<IView> view(object); view.Get() != nullptr) {
    AutoRelease<IViewType> type;
    std::ignore = view->GetType(type.Receive());
    definition = AutoRelease<CitI::IInterface>(type.Detach());
  } else if (AutoCast<IPropertyInstance> instance(object); instance.Get() != nullptr) {
    AutoRelease<IPropertyTemplate> type;
    std::ignore = instance->GetTemplate(type.Receive());
    definition = AutoRelease<CitI::IInterface>(type.Detach());
  } else {
    return Prjrep::AutoReturn<IDefDataId>(object);
  }
  return Prjrep::AutoReturn<IDefDataId>(definition.Get());
}

String GetDefDataIdName(CitI::IInterface* object) {
  String name;
  AutoRelease<IDefDataId> id(GetDefDataId(object));
  if (id.Get() != nullptr) std::ignore = id->GetDefDataIdName(&name);
  return name;
}

IDefDataId* GetDesignUnitDefDataIdOf(CitI::IInterface* object) {
  AutoCast<IDesignUnit> unit(object);
  if (unit.Get() == nullptr) return nullptr;
  AutoRelease<IDesignUnitType> type;
  std::ignore = unit->GetDesignUnitType(type.Receive());
  return Prjrep::AutoReturn<IDefDataId>(type.Get());
}

String GetDesignUnitTypeName(CitI::IInterface* object) {
  String name;
  AutoRelease<IDefDataId> id(GetDesignUnitDefDataIdOf(object));
  if (id.Get() != nullptr) std::ignore = id->GetDefDataIdName(&name);
  return name;
}

bool IsDefDataObsolete(CitI::IInterface* object) {
  AutoRelease<IDefDataId> id(GetDefDataId(object));
  AutoCast<IDefDataObsolete> flag(id.Get());
  bool obsolete = true;
  if (flag.Get() != nullptr) std::ignore = flag->IsObsolete(&obsolete);
  return obsolete;
}

// --- Autonyms ---------------------------------------------------------------------------

Prjrep::IAutonym* GetAutonymOf(CitI::IInterface* object) {
  if (object == nullptr) return nullptr;
  if (AutoCast<Prjrep::IAutonym> itself(object); itself.Get() != nullptr) {
    return Prjrep::AutoReturn<Prjrep::IAutonym>(itself.Get());
  }
  AutoCast<Prjrep::IAutoNaming> selfNaming(object);
  if (selfNaming.Get() == nullptr) return nullptr;
  AutoRelease<Prjrep::IAutonym> autonym;
  std::ignore = selfNaming->GetAutonym(autonym.Receive());
  return autonym.Detach();
}

bool AddAutonymToSet(CitI::IInterface* set, CitI::IInterface* object) {
  AutoCast<Prjrep::IAutonymSet> autonyms(set);
  AutoRelease<Prjrep::IAutonym> autonym(GetAutonymOf(object));
  return autonyms.Get() != nullptr && autonym.Get() != nullptr && autonyms->Add(autonym) == kSuccess;
}

Prjrep::IProjectRepository* FindAutonymByName(const char* name, bool createWhenMissing, bool* found) {
  if (found != nullptr) *found = false;
  // A repository without a path could only be a nameless one, registered for every
  // object without a path.
  if (name == nullptr || *name == '\0') return nullptr;
  auto lookup = Registry<Prjrep::IAutonymLookup>();
  AutoRelease<Prjrep::IAutonym> autonym(CitP::Factory::CreateInstance(NamedAutonymClass()));
  if (lookup.Get() == nullptr || autonym.Get() == nullptr) return nullptr;
  if (AutoCast<Prjrep::IName> named(autonym.Get()); named.Get() != nullptr) std::ignore = named->SetName(String(name));
  AutoRelease<CitI::IInterface> object;
  std::ignore = lookup->Resolve(autonym, object.Receive());
  if (object.Get() == nullptr && createWhenMissing) std::ignore = lookup->ResolveOrCreate(autonym, nullptr, object.Receive());
  AutoRelease<Prjrep::IProjectRepository> repository(object.Detach());
  if (repository.Get() != nullptr && found != nullptr) *found = true;
  return repository.Detach();
}

Prjrep::IAutonym* SynthesizeHlcPlusAutonym(CitI::IInterface* object) {
  if (object == nullptr) return nullptr;
  if (AutoCast<Prjrep::IAutonymSet>(object).Get() != nullptr) {
    Port_MsgManData::debugStub(
        "ERROR: SynthesizeHlcPlusAutonym - Invalid argument - The provided component may not expose IAutonymSet.\n");
    return nullptr;
  }
  AutoPtr<CitI::IInterface> base;
  if (AutoCast<Prjrep::IAutoNaming>(object).Get() != nullptr) {
    base = object;
  } else {
    base = AutoRelease<CitI::IInterface>(GetOwningProject(object));
  }
  return ComposeAutonym(GetObjectFullPath(base), base);
}

Prjrep::IAutonym* SynthesizeObjectAutonym(CitI::IInterface* object) {
  AutoRelease<IProject> project(GetOwningProject(object));
  AutoRelease<Prjrep::IAutonym> compound(SynthesizeHlcPlusAutonym(project));
  if (compound.Get() == nullptr || !AddAutonymToSet(compound, object)) return nullptr;
  return compound.Detach();
}

Prjrep::IAutonym* SynthesizeNestedAutonym(CitI::IInterface* object, CitI::IInterface* child) {
  AutoRelease<Prjrep::IAutonym> compound(SynthesizeObjectAutonym(object));
  if (compound.Get() == nullptr || !AddAutonymToSet(compound, child)) return nullptr;
  return compound.Detach();
}

Prjrep::IAutonym* MakeProjectComponentAutonym(const String& path, CitI::IInterface* component) {
  return path.empty() ? nullptr : ComposeAutonym(path, component);
}

Prjrep::IAutonym* FindAutonymInSet(CitI::IInterface* owner, CitI::IInterface* object) {
  AutoCast<IPRModuleSet> set(owner);
  CitI::IInterface* wanted = IdentityOf(object);
  if (set.Get() == nullptr || wanted == nullptr) return nullptr;
  AutoRelease<IPRModuleIterator> it;
  if (set->GetIterator(it.Receive()) != kSuccess || it.Get() == nullptr) return nullptr;
  for (; !it->IsDone(); std::ignore = it->Next()) {
    if (IdentityOf(it->Current()) == wanted) return GetAutonymOf(object);
  }
  return nullptr;
}

Status PersistObjectAutonym(Prjrep::IStorage* storage, CitI::IInterface* object) {
  if (storage == nullptr) return kInvalidParameter;
  AutoRelease<Prjrep::IAutonym> autonym(SynthesizeHlcPlusAutonym(object));
  return storage->WriteObject(AutoCast<Prjrep::IPersist>(autonym.Get()));
}

Status LoadAutonymReference(Prjrep::IStorage* storage, CitI::IInterface** out) {
  AutoOut<CitI::IInterface> result(out);
  if (storage == nullptr) return kInvalidParameter;
  AutoRelease<Prjrep::IPersist> read;
  Status status = storage->ReadObject(read.Receive());
  AutoCast<Prjrep::IAutonym> autonym(read.Get());
  if (autonym.Get() != nullptr && out != nullptr) {
    auto lookup = Registry<Prjrep::IAutonymLookup>();
    if (lookup.Get() != nullptr) status = lookup->ResolveOrCreate(autonym, nullptr, out);
  }
  return status;
}

namespace {

const Port_MsgManData& DumpMessages() {
  static const Port_MsgManData s_messages =
      Port_MsgManData::createObject("ProjectMgmt", "../src/DmUtils", __LINE__, "$Revision: 1.58 $");
  return s_messages;
}

void DumpObjectLine(const String& indent, const String& key, CitI::IInterface* object) {
  const bool isRepository = AutoCast<Prjrep::IProjectRepositoryInternal>(object).Get() != nullptr;
  DumpMessages().issueStatus("%s  %s (%" PRIxPTR ") (%s)\n", indent.c_str(),
                             isRepository ? "ActiveRepository" : key.c_str(),
                             reinterpret_cast<std::uintptr_t>(IdentityOf(object)), GetObjectDisplayName(object).c_str());
}

void DumpTable(CitI::IInterface* table, const String& indent, std::unordered_set<CitI::IInterface*>& visited) {
  // A table that leads back to one already being listed ends the walk there.
  if (table == nullptr || !visited.insert(IdentityOf(table)).second) return;
  const String deeper = indent + "    ";
  AutoCast<Prjrep::IAutonymSet> autonyms(table);
  AutoCast<Prjrep::IAutonymLookup> autonymLookup(table);
  if (autonyms.Get() != nullptr && autonymLookup.Get() != nullptr && autonyms->Size() > 0) {
    DumpMessages().issueStatus("%sAutonym keys:\n", indent.c_str());
    AutoRelease<Prjrep::IAutonymIterator> it;
    std::ignore = autonyms->GetIterator(it.Receive());
    for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
      String key;
      std::ignore = it->Current()->GetName(&key);
      AutoRelease<CitI::IInterface> object;
      std::ignore = autonymLookup->Resolve(it->Current(), object.Receive());
      DumpObjectLine(indent, key, object);
      DumpTable(object, deeper, visited);
    }
  }
  AutoCast<Prjrep::IStringSet> strings(table);
  AutoCast<Prjrep::ISimpleNamedLookup> names(table);
  if (strings.Get() != nullptr && names.Get() != nullptr && strings->Size() > 0) {
    DumpMessages().issueStatus("%sString keys:\n", indent.c_str());
    AutoRelease<Prjrep::IStringIterator> it;
    std::ignore = strings->GetIterator(it.Receive());
    for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
      const String key = it->Current();
      AutoRelease<CitI::IInterface> object;
      std::ignore = names->Find(key, object.Receive());
      DumpObjectLine(indent, key, object);
      DumpTable(object, deeper, visited);
    }
  }
}

}  // namespace

void DumpNameTracker(CitI::IInterface* lookupObject, const String& indent) {
  std::unordered_set<CitI::IInterface*> visited;
  DumpTable(lookupObject, indent, visited);
}

void DumpGlobalNameTracker() {
  auto registry = Registry<CitI::IInterface>();
  std::size_t total = 0;
  if (AutoCast<Prjrep::IAutonymSet> autonyms(registry.Get()); autonyms.Get() != nullptr) total += autonyms->Size();
  if (AutoCast<Prjrep::IStringSet> strings(registry.Get()); strings.Get() != nullptr) total += strings->Size();
  DumpMessages().issueStatus("- Global Name Tracker -\n");
  if (total > 0) {
    DumpNameTracker(registry, "  ");
  } else {
    DumpMessages().issueStatus("  Empty!\n");
  }
}

}  // namespace Hvd
