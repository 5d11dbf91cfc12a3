// Named objects, the active project and repository, and autonyms resolved or composed
// through them.

#include <utility>

#include "CitP/Factory.h"
#include "Prjrep/ClassIds.h"
#include "Port/FileName.h"
#include "Prjrep/IName.h"
#include "utils/DmUtils.h"
#include "utils/dmutils/Shared.h"

namespace Hvd {
namespace {

using Prjrep::AutoCast;
using Prjrep::AutoOut;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;
using dmutils::Registry;

// A new compound autonym, or null.
AutoRelease<Prjrep::IAutonymSet> NewCompound() {
  return AutoRelease<Prjrep::IAutonymSet>(CitP::Factory::CreateInstance(Prjrep::ClassId::CompoundAutonym()));
}

bool SamePathAsActive(CitI::IInterface* object, const AutoRelease<CitI::IInterface>& active) {
  const String path = GetObjectFullPath(object);
  const String activePath = GetObjectFullPath(active);
  return !path.empty() && !activePath.empty() && Port::File::namematch(path.c_str(), activePath.c_str()) == 1;
}

}  // namespace

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

AutoRelease<CitI::IInterface> GetActiveProject() {
  AutoRelease<CitI::IInterface> project;
  std::ignore = FindNamedObject("ActiveHvdProject", project.Receive());
  return project;
}

AutoRelease<CitI::IInterface> GetActiveRepository() {
  AutoRelease<CitI::IInterface> repository;
  std::ignore = FindNamedObject("ActiveRepository", repository.Receive());
  return repository;
}

AutoRelease<IProject> GetActiveProjectOfRepository(const String& path) {
  AutoRelease<Prjrep::IProjectRepository> repository = FindAutonymByName(path.c_str(), false);
  AutoRelease<CitI::IInterface> found;
  std::ignore = FindNamedObjectIn(repository, "ActiveHvdProject", found.Receive());
  return AutoRelease<IProject>(std::move(found));
}

AutoRelease<IProject> GetActiveProjectOfObject(CitI::IInterface* object) {
  return GetActiveProjectOfRepository(GetObjectFullPath(object));
}

bool IsActiveProject(CitI::IInterface* object) { return SamePathAsActive(object, GetActiveProject()); }

bool IsActiveRepository(CitI::IInterface* object) { return SamePathAsActive(object, GetActiveRepository()); }

void SetActiveProject(CitI::IInterface* object) {
  AutoRelease<IProject> project = GetOwningProject(object);
  AutoRelease<IProjectHelper> helper = GetCvfProject(object, false);
  if (project.Get() == nullptr || helper.Get() == nullptr) return;
  auto registry = Registry<CitI::IInterface>();
  std::ignore = RegisterNamedObject(registry, "ActiveHvdProject", project, true);
  std::ignore = RegisterNamedObject(registry, "ActiveCvfProject", helper, true);
}

void SetActiveRepository(CitI::IInterface* object) {
  AutoRelease<Prjrep::IProjectRepository> repository = FindAutonymByName(GetObjectFullPath(object).c_str(), true);
  if (repository.Get() == nullptr) return;
  std::ignore = RegisterNamedObject(Registry<CitI::IInterface>(), "ActiveRepository", repository, true);
}

AutoRelease<CitI::IInterface> FindNamedObjectInRepository(String name, String path) {
  AutoRelease<CitI::IInterface> found;
  if (path.empty()) {
    std::ignore = FindNamedObject(name.c_str(), found.Receive());
  } else {
    AutoRelease<Prjrep::IProjectRepository> repository = FindAutonymByName(path.c_str(), false);
    std::ignore = FindNamedObjectIn(repository, name, found.Receive());
  }
  return found;
}

AutoRelease<CitI::IInterface> ResolveAutonym(CitI::IInterface* autonym, String path) {
  AutoCast<Prjrep::IAutonym> asAutonym(autonym);
  if (asAutonym.Get() == nullptr) return nullptr;
  AutoRelease<Prjrep::IAutonymLookup> lookup;
  if (AutoCast<Prjrep::IAutonymSet>(autonym).Get() == nullptr && !path.empty()) {
    lookup = AutoRelease<Prjrep::IAutonymLookup>(FindAutonymByName(path.c_str(), false));
  } else {
    lookup = Registry<Prjrep::IAutonymLookup>();
  }
  AutoRelease<CitI::IInterface> object;
  if (lookup.Get() != nullptr) std::ignore = lookup->Resolve(asAutonym, object.Receive());
  return object;
}

AutoRelease<Prjrep::IAutonym> ComposeAutonym(const String& name, CitI::IInterface* parent) {
  if (name.empty()) return nullptr;
  AutoRelease<Prjrep::IAutonymSet> compound = NewCompound();
  AutoRelease<Prjrep::IName> simple(CitP::Factory::CreateInstance(Prjrep::ClassId::SimpleAutonym()));
  if (compound.Get() == nullptr || simple.Get() == nullptr) return nullptr;
  std::ignore = simple->SetName(name);
  if (!AddAutonymToSet(compound, simple) || !AddAutonymToSet(compound, parent)) return nullptr;
  return AutoRelease<Prjrep::IAutonym>(std::move(compound));
}

}  // namespace Hvd
