#include "utils/DmUtils.h"

#include "CitP/Factory.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IName.h"
#include "framework/Factory.h"
#include "framework/Holders.h"

namespace Hvd {
namespace {

// The plain autonym that carries a name (a project-file path).
const Port::XUID& NamedAutonymClassId() {
  static constexpr Port::XUID s_clsid{"{c6327cf3-ebf5-4a02-90ff-387e6c7d2f11}"};
  return s_clsid;
}

}  // namespace

Prjrep::IProjectRepository* FindAutonymByName(const char* name, bool createWhenMissing, bool* found) {
  if (found != nullptr) *found = false;
  Prjrep::AutoRelease<Prjrep::IAutonymLookup> lookup(GetNamedObjectRegistryCLSID());
  Prjrep::AutoRelease<Prjrep::IAutonym> autonym(CitP::Factory::CreateInstance(NamedAutonymClassId()));
  if (lookup.Get() == nullptr || autonym.Get() == nullptr) return nullptr;
  if (Prjrep::AutoCast<Prjrep::IName> named(autonym.Get()); named.Get() != nullptr) {
    named->SetName(Port::StringBase<char>(name));
  }
  Prjrep::AutoRelease<CitI::IInterface> object;
  lookup->Resolve(autonym, object.Receive());
  if (object.Get() == nullptr && createWhenMissing) lookup->ResolveOrCreate(autonym, nullptr, object.Receive());
  Prjrep::AutoRelease<Prjrep::IProjectRepository> repository(object.Detach());
  if (repository.Get() != nullptr && found != nullptr) *found = true;
  return repository.Detach();
}

Status RegisterNamedObject(CitI::IInterface* table, const Port::StringBase<char>& name, CitI::IInterface* object,
                           bool replace) {
  Prjrep::AutoCast<Prjrep::ISimpleNamedLookup> names(table);
  Prjrep::AutoCast<Prjrep::IAutonymLookup> autonyms(table);
  Prjrep::AutoCast<Prjrep::IAutoNaming> selfNaming(object);
  Status status = kFailure;
  bool registered = false;
  if (names.Get() != nullptr) {
    if (!replace) {
      Prjrep::AutoRelease<CitI::IInterface> taken;
      names->Find(name, taken.Receive());
      if (taken.Get() != nullptr) return kFailure;
    }
    status = names->Register(name, object);
    registered = true;
  }
  if (registered && selfNaming.Get() != nullptr && autonyms.Get() != nullptr) {
    Prjrep::AutoRelease<Prjrep::IAutonym> autonym;
    selfNaming->GetAutonym(autonym.Receive());
    if (autonym.Get() != nullptr) autonyms->Register(autonym, object);
  }
  return status;
}

Port::StringBase<char> GetObjectFullPath(CitI::IInterface* object) {
  Port::StringBase<char> path;
  if (object == nullptr) return path;
  Prjrep::AutoCast<IProject> project(object);
  if (project.Get() != nullptr) {
    project->GetProjectFilePath(path);
    return path;
  }
  Prjrep::AutoCast<IProjectCompReference> member(object);
  Prjrep::AutoRelease<IProject> owner;
  if (member.Get() != nullptr) member->GetProject(owner.Receive());
  if (owner.Get() != nullptr) owner->GetProjectFilePath(path);
  return path;
}

IProject* GetActiveProjectOfRepository(const Port::StringBase<char>& path) {
  if (path.empty()) return nullptr;
  Prjrep::AutoRelease<Prjrep::IProjectRepository> repository(FindAutonymByName(path.c_str(), false));
  Prjrep::AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get());
  if (names.Get() == nullptr) return nullptr;
  Prjrep::AutoRelease<IProject> project;
  Prjrep::AutoRelease<CitI::IInterface> found;
  names->Find("ActiveHvdProject", found.Receive());
  project.Assign(found.Detach());
  return project.Detach();
}

IProject* GetActiveProjectOfObject(CitI::IInterface* object) {
  return GetActiveProjectOfRepository(GetObjectFullPath(object));
}

}  // namespace Hvd
