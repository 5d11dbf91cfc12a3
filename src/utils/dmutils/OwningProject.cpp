// The project that owns an object, the object's path, and what hangs off that path: its
// repository, its Cvf and Tcl projects, its autonym.

#include <cstdlib>
#include <string>
#include <utility>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/IConfiguration.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFile.h"
#include "Hvd/IHdlFile.h"
#include "Port/FileName.h"
#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/IName.h"
#include "utils/DmUtils.h"
#include "utils/dmutils/Shared.h"

namespace Hvd {
namespace {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;
using dmutils::NewReference;
using dmutils::Registry;

const Port::XUID& TclProjectInterface() {
  static constexpr Port::XUID s_iid{0x9bd2871ff36941f3ull, 0xad7abd114008d664ull};
  return s_iid;
}

// The path of a file through its path-name interface; empty when it has none.
String FileNameOf(CitI::IInterface* file) {
  String name;
  if (AutoCast<Prjrep::IFileNameHelper> names(file); names.Get() != nullptr) std::ignore = names->GetFullName(&name);
  return name;
}

AutoRelease<IProject> ProjectNamed(CitI::IInterface* table) {
  AutoRelease<CitI::IInterface> found;
  std::ignore = FindNamedObjectIn(table, "ActiveHvdProject", found.Receive());
  return AutoRelease<IProject>(std::move(found));
}

// The owner found from the object's own interfaces, in their fixed order; null when none.
AutoRelease<IProject> OwnerFromInterfaces(CitI::IInterface* object) {
  AutoCast<IProject> project(object);
  AutoCast<IHdlFile> file(object);
  AutoCast<Prjrep::IProjectRepository> repository(object);
  AutoCast<Prjrep::IAutonymSet> autonymSet(object);
  AutoCast<IProjectReference> reference(object);
  AutoCast<IProjectCompReference> member(object);
  if (project.Get() != nullptr) return NewReference<IProject>(project.Get());
  if (file.Get() != nullptr && IsProjectFileType(object)) {
    // A child project's file: the project loaded from it, registered under its path, or
    // under the older repository's path for a project source file.
    const String name = FileNameOf(object);
    AutoRelease<IProject> child = GetActiveProjectOfRepository(name);
    const std::string& text = name.str();
    if (child.Get() == nullptr && text.size() > 5 && text.compare(text.size() - 5, 5, ".xhlc") == 0) {
      child = GetActiveProjectOfRepository(String(text.substr(0, text.size() - 5) + ".hlc"));
    }
    return child;
  }
  if (repository.Get() != nullptr) return ProjectNamed(repository);
  if (autonymSet.Get() != nullptr) {
    AutoCast<Prjrep::IAutonym> autonym(object);
    auto lookup = Registry<Prjrep::IAutonymLookup>();
    AutoRelease<CitI::IInterface> resolved;
    if (autonym.Get() != nullptr && lookup.Get() != nullptr)
      std::ignore = lookup->ResolveOrCreate(autonym, nullptr, resolved.Receive());
    return AutoRelease<IProject>(std::move(resolved));
  }
  if (reference.Get() != nullptr) {
    String path;
    std::ignore = reference->GetProjectFileName(&path);
    return GetActiveProjectOfRepository(path);
  }
  if (member.Get() != nullptr) {
    AutoRelease<IProject> owner;
    std::ignore = member->GetProject(owner.Receive());
    return owner;
  }
  return nullptr;
}

}  // namespace

AutoRelease<IProject> GetOwningProject(CitI::IInterface* object) {
  if (object == nullptr) return nullptr;
  if (AutoCast<IDesign> design(object); design.Get() != nullptr) {
    AutoRelease<IProject> project;
    std::ignore = design->GetProject(project.Receive());
    return project;
  }
  AutoRelease<IProject> owner = OwnerFromInterfaces(object);
  // A child project's file names its own project; otherwise the active project stands in
  // for an owner that the object does not know.
  if (owner.Get() == nullptr && !IsProjectFileType(object)) owner = AutoRelease<IProject>(GetActiveProject());
  return owner;
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
    if (AutoCast<IHdlElement> element(object); element.Get() != nullptr)
      std::ignore = element->GetHdlFile(containing.Receive());
    file = containing.Get();
  }
  if (AutoCast<IDesign>(object).Get() != nullptr) project = GetOwningProject(object);

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

AutoRelease<Prjrep::IProjectRepository> GetRepositoryOfObject(CitI::IInterface* object) {
  return FindAutonymByName(GetObjectFullPath(object).c_str(), false);
}

AutoRelease<IProjectHelper> GetCvfProject(CitI::IInterface* object, bool createWhenMissing) {
  const String path = GetObjectFullPath(object);
  AutoRelease<IProjectHelper> helper;
  if (!path.empty()) {
    AutoRelease<Prjrep::IProjectRepository> repository = FindAutonymByName(path.c_str(), false);
    AutoRelease<CitI::IInterface> found;
    std::ignore = FindNamedObjectIn(repository, "CvfProject", found.Receive());
    helper.Assign(found.Detach());
  }
  if (helper.Get() != nullptr || !createWhenMissing) return helper;
  helper.Assign(CitP::Factory::CreateInstance(Hvd::ProjectHelperClassId()));
  if (helper.Get() == nullptr && CitP::Factory::LoadLibraryFactory("libHvd_Cvf")) {
    helper.Assign(CitP::Factory::CreateInstance(Hvd::ProjectHelperClassId()));
  }
  if (helper.Get() != nullptr) {
    AutoRelease<IProject> owner = GetOwningProject(object);
    AutoCast<IProjectCompReference> binding(helper.Get());
    if (owner.Get() != nullptr && binding.Get() != nullptr) std::ignore = binding->SetProject(owner);
  }
  return helper;
}

AutoRelease<CitI::IInterface> GetTclProject(CitI::IInterface* object) {
  const String path = GetObjectFullPath(object);
  if (path.empty()) return nullptr;
  AutoRelease<IPRSolutionHelper> solution(CitP::Factory::CreateInstance(Hvd::ClassId::PRHelper()));
  if (solution.Get() == nullptr) return nullptr;
  AutoRelease<CitI::IInterface> found;
  std::ignore = solution->FindRepositoryObject(path, "TclProject", found.Receive());
  // Held as it was answered: a query for the root would hand out another part.
  CitI::IInterface* part = found.Get() ? found->QueryInterface(TclProjectInterface()) : nullptr;
  AutoRelease<CitI::IInterface> tclProject;
  if (part != nullptr) {
    Prjrep::AddRefObject(part);
    *tclProject.Receive() = part;
  }
  return tclProject;
}

AutoRelease<Prjrep::IAutonym> GetObjectAutonym(CitI::IInterface* object) {
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
  return autonym;
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
  AutoRelease<IProject> project = GetActiveProjectOfRepository(GetObjectFullPath(object));
  if (project.Get() != nullptr) return project->Save();
  AutoRelease<Prjrep::ISaveAutonym> autonym(GetObjectAutonym(object));
  return autonym.Get() ? autonym->SaveObject(argument) : kFailure;
}

Status CloseOwningCvfProject(CitI::IInterface* object, CitI::IInterface* argument) {
  AutoRelease<IProjectHelper> helper = GetCvfProject(object, false);
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

}  // namespace Hvd
