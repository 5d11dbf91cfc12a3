#include "framework/CAutonymBase.h"

#include "Hvd/ICompAdmin.h"
#include "Hvd/IProject.h"
#include "Prjrep/IProjectRepository.h"
#include "Prjrep/IStorage.h"
#include "utils/DmUtils.h"

namespace Hvd {
namespace {

// The repository of a context: the one of the project file that a project reference names
// or that the context's project has; a context that is a repository is used itself.
Prjrep::AutoPtr<Prjrep::IProjectRepository> RepositoryOf(CitI::IInterface* context) {
  Prjrep::AutoPtr<Prjrep::IProjectRepository> repository;
  if (context == nullptr) return repository;
  Prjrep::AutoCast<IProjectCompReference> member(context);
  Prjrep::AutoCast<IProject> project(context);
  Prjrep::AutoCast<IProjectReference> reference(context);
  Port::StringBase<char> path;
  if (reference.Get() != nullptr) std::ignore = reference->GetProjectFileName(&path);
  if (path.empty()) {
    Prjrep::AutoRelease<IProject> owner;
    IProject* source = project.Get();
    if (source == nullptr && member.Get() != nullptr) {
      std::ignore = member->GetProject(owner.Receive());
      source = owner.Get();
    }
    // The project's path as every repository lookup of the library spells it.
    if (source != nullptr) path = GetObjectFullPath(source);
  }
  if (!path.empty()) repository = FindAutonymByName(path.c_str(), false);
  if (Prjrep::AutoCast<Prjrep::IProjectRepository> itself(context); itself.Get() != nullptr) repository = itself.Get();
  return repository;
}

// The kind's item in the repository's storage, closed with its storages when this goes.
class KindItem {
 public:
  KindItem(Prjrep::IProjectRepository* repository, CAutonymBase& autonym, std::int32_t storageMode,
           std::int32_t itemMode) {
    Prjrep::AutoCast<Prjrep::IStorage> root(repository);
    if (root.Get() == nullptr) return;
    Port::StringBase<char> name;
    autonym.GetSectionName(&name);
    if (root->OpenStorage(name, storageMode, m_section.Receive()) != kSuccess || m_section.Get() == nullptr) return;
    autonym.GetKindName(&name);
    if (m_section->OpenStorage(name, storageMode, m_kind.Receive()) != kSuccess || m_kind.Get() == nullptr) return;
    autonym.GetItemName(&name);
    std::ignore = m_kind->OpenItem(name, itemMode, m_item.Receive());
  }
  KindItem(const KindItem&) = delete;
  KindItem& operator=(const KindItem&) = delete;
  ~KindItem() {
    if (m_item.Get() != nullptr && m_kind.Get() != nullptr) std::ignore = m_kind->CloseItem(m_item);
    if (m_kind.Get() != nullptr) std::ignore = m_kind->Close(0);
    if (m_section.Get() != nullptr) std::ignore = m_section->Close(0);
  }

  Prjrep::IStorage* Item() const { return m_item.Get(); }

 private:
  Prjrep::AutoRelease<Prjrep::IStorage> m_section;
  Prjrep::AutoRelease<Prjrep::IStorage> m_kind;
  Prjrep::AutoRelease<Prjrep::IStorage> m_item;
};

// A project reference read from or written to a repository takes the repository's path.
void PointReferenceAtRepository(Prjrep::IProjectRepository* repository, CitI::IInterface* object) {
  Prjrep::AutoCast<Prjrep::IProjectRepositoryInternal> internal(repository);
  Prjrep::AutoCast<IProjectReference> reference(object);
  if (internal.Get() == nullptr || reference.Get() == nullptr) return;
  Port::StringBase<char> path;
  std::ignore = internal->GetPath(&path);
  std::ignore = reference->SetProjectFileName(path);
}

}  // namespace

Status CAutonymBase::XISaveAutonym::Resolve(CitI::IInterface* context, CitI::IInterface** object) {
  CAutonymBase& self = This();
  Prjrep::AutoOut<CitI::IInterface> out(object);
  if (self.m_object.Get() != nullptr) {
    out.Assign(self.m_object.Get());
    return kSuccess;
  }
  Prjrep::AutoPtr<Prjrep::IProjectRepository> repository = RepositoryOf(context);
  Port::StringBase<char> lookupName;
  self.GetLookupName(&lookupName);
  if (!lookupName.empty()) {
    if (Prjrep::AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get()); names.Get() != nullptr) {
      Prjrep::AutoRelease<CitI::IInterface> found;
      std::ignore = names->Find(lookupName, found.Receive());
      if (found.Get() != nullptr) {
        self.m_object.Assign(found.Get());
        out.Assign(found.Get());
        return kSuccess;
      }
    }
  }
  KindItem item(repository, self, Prjrep::kOpenExisting, Prjrep::kRead);
  if (item.Item() == nullptr) return kFailure;
  Prjrep::AutoRelease<Prjrep::IPersist> read;
  const Hvd::Status status = item.Item()->ReadObject(read.Receive());
  out.Assign(read.Get());
  if (read.Get() != nullptr) {
    self.m_object.Assign(read.Get());
    if (!lookupName.empty()) std::ignore = RegisterNamedObject(repository, lookupName, read.Get(), true);
    PointReferenceAtRepository(repository, read.Get());
  }
  return status;
}

Status CAutonymBase::XISaveAutonym::GetName(Port::StringBase<char>* name) {
  CAutonymBase& self = This();
  if (name == nullptr) return kFailure;
  self.GetLookupName(name);
  if (name->empty()) {
    if (Prjrep::AutoCast<Prjrep::IName> named(self.m_object.Get()); named.Get() != nullptr)
      std::ignore = named->GetName(*name);
  }
  return kSuccess;
}

Status CAutonymBase::XISaveAutonym::GetObject(CitI::IInterface** object) {
  CAutonymBase& self = This();
  Prjrep::AutoOut<CitI::IInterface>(object).Assign(self.m_object.Get());
  return kSuccess;
}

Status CAutonymBase::XISaveAutonym::IsSame(CitI::IInterface* other, bool* same) {
  Prjrep::AutoCast<Prjrep::IAutonym> theirs(other);
  if (theirs.Get() == nullptr) {
    if (same != nullptr) *same = false;
    return kFailure;
  }
  if (same == nullptr) return kFailure;
  Port::StringBase<char> mine;
  Port::StringBase<char> theirName;
  std::ignore = GetName(&mine);
  const Hvd::Status status = theirs->GetName(&theirName);
  *same = mine == theirName;
  return status;
}

Status CAutonymBase::XISaveAutonym::SaveObject(CitI::IInterface* context) {
  CAutonymBase& self = This();
  Prjrep::AutoPtr<Prjrep::IProjectRepository> repository = RepositoryOf(context ? context : self.m_object.Get());
  Hvd::Status status = kFailure;
  {
    KindItem item(repository, self, Prjrep::kCreate, Prjrep::kCreate);
    if (item.Item() != nullptr)
      status = item.Item()->WriteObject(Prjrep::AutoCast<Prjrep::IPersist>(self.m_object.Get()));
    PointReferenceAtRepository(repository, self.m_object.Get());
    Prjrep::AutoRelease<IProject> project = GetActiveProjectOfObject(self.m_object.Get());
    if (project.Get() != nullptr) std::ignore = project->Save();
  }
  return status;
}

Status CAutonymBase::XISaveAutonym::CloseObject(CitI::IInterface* context) {
  CAutonymBase& self = This();
  Prjrep::AutoPtr<Prjrep::IProjectRepository> repository = RepositoryOf(context ? context : self.m_object.Get());
  if (Prjrep::AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get()); names.Get() != nullptr) {
    std::ignore = names->UnregisterObject(self.m_object.Get());
  }
  if (Prjrep::AutoCast<ICompAdmin> admin(self.m_object.Get()); admin.Get() != nullptr) std::ignore = admin->Teardown();
  self.m_object = nullptr;
  if (repository.Get() != nullptr) std::ignore = repository->Close();
  // The object is closed whatever the repository did; that is a success for the caller.
  return kSuccess;
}

}  // namespace Hvd
