#include "files/library/SourceLibraryManagerHelper.h"

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/EventIds.h"
#include "Hvd/IProject.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Prjrep/IName.h"
#include "core/Diagnostics.h"
#include "core/Events.h"
#include "core/XmlChars.h"

namespace Hvd {

using Prjrep::AutoCast;
using Prjrep::AutoOut;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;

Status CSourceLibraryManagerHelper::CSourceLibrarySet::Add(ISourceLibrary* library) {
  AutoCast<Prjrep::IName> named(library);
  if (!named) return kFailure;
  String name;
  std::ignore = named->GetName(name);
  return SetByKey(name, library);
}

ISourceLibrary* CSourceLibraryManagerHelper::CSourceLibrarySet::Find(const String& name) {
  auto found = m_elements.find(name);
  return found != m_elements.end() ? found->second : nullptr;
}

std::vector<ISourceLibrary*> CSourceLibraryManagerHelper::CSourceLibrarySet::Libraries() const {
  std::vector<ISourceLibrary*> libraries;
  for (const auto& [name, library] : m_elements) libraries.push_back(library);
  return libraries;
}

Status CSourceLibraryManagerHelper::CSourceLibrarySet::Rekey(const String& from, const String& to) {
  auto found = m_elements.find(from);
  if (found == m_elements.end() || m_elements.count(to) != 0) return kFailure;
  // Stored under the new key before the old entry goes, so that its reference is never the last.
  if (Status status = SetByKey(to, found->second); status != kSuccess) return status;
  EraseForward(found);
  return kSuccess;
}

Status CSourceLibraryManagerHelper::CheckProject(const char* operation) {
  AutoCast<IProject> project(m_owner);
  if (!project) return kSuccess;
  bool open = false;
  if (Status status = project->IsOpen(&open); status != kSuccess) return status;
  if (!open)
    return Fail(kProjectNotOpen, "ERROR: SourceLibraryManagerHelper::%s - Project is not opened.\n", operation);
  bool readOnly = false;
  if (Status status = project->GetReadOnly(&readOnly); status != kSuccess) return status;
  if (readOnly)
    return Fail(kProjectReadOnly, "ERROR: SourceLibraryManagerHelper::%s - Project is Read Only.\n", operation);
  return kSuccess;
}

Status CSourceLibraryManagerHelper::CreateSourceLibraryOfType(const String& name, std::int32_t type,
                                                              ISourceLibrary** library) {
  if (name.empty())
    return Fail(kInvalidParameter,
                "ERROR: SourceLibraryManagerHelper::CreateSourceLibraryOfType - No library name specified.\n");
  if (type == 0)
    return Fail(kFailure,
                "ERROR: SourceLibraryManagerHelper::CreateSourceLibraryOfType - Invalid Library type <UNDEFINED>.\n");
  AutoOut<ISourceLibrary> out(library);
  if (Status status = CheckProject("CreateSourceLibraryOfType"); status != kSuccess) return status;
  if (m_libraries.Find(name) != nullptr)
    return Fail(kSuccess, "INFO: Source library <%s> already exists.\n", name.c_str());
  if (!XmlFits("ProjectMgmt", "The library name", name.str())) return kInvalidParameter;

  // Made by class id, so that the host's registration decides the class; the creation's
  // reference is given up on every road out.
  AutoRelease<ISourceLibrary> created(CitP::Factory::CreateInstance(ClassId::SourceLibrary()));
  AutoCast<Prjrep::IName> named(created.Get());
  if (!created || !named) return kMissingInterface;
  // An unknown type is reported by the library, which is made all the same.
  if (AutoCast<ISourceLibraryInternal> internal(created.Get()); internal) std::ignore = internal->SetLibraryType(type);
  if (Status status = named->SetName(name); status != kSuccess) return status;
  if (Status status = m_libraries.SetByKey(name, created.Get()); status != kSuccess) return status;
  if (AutoCast<ISourceLibraryInternal> internal(created.Get()); internal) std::ignore = internal->SetKeeper(this);
  const Status sent = SendEvent(m_owner, EventId::LibraryCreated(), created.Get());
  out.Assign(created.Get());
  return sent;
}

Status CSourceLibraryManagerHelper::RenameSourceLibrary(ISourceLibrary* library, const String& name) {
  AutoCast<Prjrep::IName> named(library);
  if (!named) return kMissingInterface;
  String old;
  std::ignore = named->GetName(old);
  if (name.empty())
    return Fail(kInvalidParameter,
                "ERROR: SourceLibraryManagerHelper::RenameSourceLibrary - No library name specified.\n");
  if (Status status = CheckProject("RenameSourceLibrary"); status != kSuccess) return status;
  // "work" is the library every file without one of its own lies in, made by each open.
  if (old == "work")
    return Fail(kFailure,
                "ERROR: SourceLibraryManagerHelper::RenameSourceLibrary - Cannot rename system library <%s>.\n",
                old.c_str());
  if (m_libraries.Find(name) != nullptr)
    return Fail(kFailure,
                "ERROR: SourceLibraryManagerHelper::RenameSourceLibrary - Source library <%s> already exists.\n",
                name.c_str());
  if (!XmlFits("ProjectMgmt", "The library name", name.str())) return kInvalidParameter;
  if (m_libraries.Find(old) != library || m_libraries.Rekey(old, name) != kSuccess)
    return Fail(kFailure,
                "ERROR: SourceLibraryManagerHelper::RenameSourceLibrary - The library <%s> is not kept here.\n",
                old.c_str());
  return kSuccess;
}

Status CSourceLibraryManagerHelper::RemoveSourceLibrary(ISourceLibraryIterator* at) {
  if (at == nullptr)
    return Fail(kInvalidParameter, "ERROR: SourceLibraryManagerHelper::RemoveSourceLibrary - Invalid Parameter.\n");
  if (Status status = CheckProject("RemoveSourceLibrary"); status != kSuccess) return status;
  AutoPtr<ISourceLibrary> library(at->Current());  // kept while its files move
  AutoCast<IHdlFileSet> files(library.Get());
  AutoCast<Prjrep::IName> named(library.Get());
  if (!library || !files || !named) return kMissingInterface;
  String name;
  std::ignore = named->GetName(name);
  if (name == "work")
    return Fail(kFailure,
                "ERROR: SourceLibraryManagerHelper::RemoveSourceLibrary - Cannot delete system library <%s>.\n",
                name.c_str());
  AutoRelease<ISourceLibrary> work;
  if (Status status = FindSourceLibrary("work", work.Receive()); status != kSuccess) return status;

  // Each file moves exactly once: the walk is over the members as they were, and a member
  // whose move leaves it listed (one that does not tell its old library) is dropped here.
  AutoRelease<IHdlFileIterator> walk;
  if (Status status = files->GetIterator(walk.Receive()); status != kSuccess) return status;
  std::vector<AutoPtr<IHdlFile>> members;
  for (; !walk->IsDone(); std::ignore = walk->Next()) members.emplace_back(walk->Current());
  AutoCast<ISourceLibraryInternal> internal(library.Get());
  for (const auto& file : members) {
    AutoCast<ISourceLibraryMember> member(file.Get());
    if (!member) return kMissingInterface;
    if (Status status = member->SetLibrary(work.Get()); status != kSuccess) return status;
    if (internal) std::ignore = internal->DropFile(file.Get());
  }

  if (m_libraries.Remove(at) != kSuccess)
    return Fail(kFailure, "ERROR: SourceLibraryManagerHelper::RemoveSourceLibrary - Failed to remove library.\n");
  if (internal) std::ignore = internal->SetKeeper(nullptr);
  return SendEvent(m_owner, EventId::LibraryRemoved(), nullptr);
}

Status CSourceLibraryManagerHelper::GetSourceLibraries(ISourceLibraryIterator** libraries) {
  if (libraries == nullptr) return Fail(kInvalidParameter, "ERROR: Project::GetSourceLibraries - Invalid Parameter.\n");
  return m_libraries.GetIterator(libraries);
}

Status CSourceLibraryManagerHelper::FindSourceLibrary(const String& name, ISourceLibrary** library) {
  AutoOut<ISourceLibrary> out(library);
  if (library == nullptr) return kFailure;
  out.Assign(m_libraries.Find(name));
  return kSuccess;
}

void CSourceLibraryManagerHelper::ClearAllLibraries() {
  for (ISourceLibrary* library : m_libraries.Libraries()) {
    if (AutoCast<ISourceLibraryInternal> internal(library); internal) {
      std::ignore = internal->ClearFiles();
      std::ignore = internal->SetKeeper(nullptr);
    }
  }
  std::ignore = m_libraries.Clear();
}

}  // namespace Hvd
