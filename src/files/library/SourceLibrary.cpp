#include "Hvd/EventIds.h"
#include "Hvd/IDefDataId.h"
#include "Hvd/IFile.h"
#include "Hvd/IHdlProject.h"
#include "Hvd/ISourceLibraryMember.h"
#include "core/Diagnostics.h"
#include "core/Holders.h"
#include "core/XmlChars.h"
#include "files/library/CSourceLibrary.h"

namespace Hvd {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;

namespace {

constexpr const char* kMixedTypes[] = {"FILE_VHDL", "FILE_VERILOG",   "FILE_ABEL", "FILE_MOLDRIX",
                                       "FILE_KWZ",  "FILE_SCHEMATIC", "FILE_BMM",  "FILE_UCF",
                                       "FILE_CDC",  "FILE_MEM",       "FILE_ZMR",  "FILE_FLOWDRAW"};

}  // namespace

Status CSourceLibrary::CLibraryFileSet::Add(IHdlFile* file) {
  if (file == nullptr) return kFailure;
  AppendElement(file);
  return kSuccess;
}

bool CSourceLibrary::CLibraryFileSet::Drop(IHdlFile* file) {
  auto found = m_elements.find(file);
  if (found == m_elements.end()) return false;
  RemoveAt(found);
  return true;
}

CSourceLibrary::CSourceLibrary() { std::ignore = m_files.SetOwner(&m_XISourceLibrary); }

Status CSourceLibrary::CLibraryName::SetName(const String& name) {
  if (name == Name()) return kSuccess;
  if (ISourceLibraryKeeper* keeper = m_library->m_keeper; keeper != nullptr) {
    if (Status status = keeper->RenameSourceLibrary(&m_library->m_XISourceLibrary, name); status != kSuccess)
      return status;
  } else if (name.empty()) {
    return Fail(kInvalidParameter, "ERROR: SourceLibrary::SetName - No library name specified.\n");
  } else if (!XmlFits("ProjectMgmt", "The library name", name.str())) {
    return kInvalidParameter;
  }
  return CNameHelper::SetName(name);
}

Status CSourceLibrary::InitializeType(std::int32_t type) {
  m_allowedTypes.clear();
  switch (type) {
    case kUndefined:
      return Fail(kFailure, "ERROR: SourceLibrary::InitializeType - Type <UNDEFINED> specified as a library type.\n");
    case kMixed:
      m_allowedTypes.insert(std::begin(kMixedTypes), std::end(kMixedTypes));
      return kSuccess;
    case kVerilog:
      m_allowedTypes.insert("FILE_VERILOG");
      return kSuccess;
    case kVhdl:
      m_allowedTypes.insert("FILE_VHDL");
      return kSuccess;
    default:
      return Fail(kFailure, "ERROR: SourceLibrary::InitializeType - An unknown library type was specified.\n");
  }
}

bool CSourceLibrary::IsLibraryOf(CitI::IInterface* file) {
  AutoCast<ISourceLibraryMember> member(file);
  AutoRelease<ISourceLibrary> held;
  return member && member->GetLibrary(held.Receive()) == kSuccess && held.Get() == &m_XISourceLibrary;
}

Status CSourceLibrary::ReleaseMember(IHdlFile* file) {
  AutoCast<ISourceLibraryMember> member(file);
  if (!member) return kMissingInterface;
  // The file is no longer listed, so it drops this library without coming back here.
  if (Status status = member->SetLibrary(nullptr); status != kSuccess) return status;
  return SendEvent(&m_XISourceLibrary, EventId::LibraryMembership(), nullptr);
}

Status CSourceLibrary::XISourceLibrary::IsFileTypeValidForLibrary(IFileType* type, bool* valid) {
  if (valid != nullptr) *valid = false;
  if (type == nullptr || valid == nullptr)
    return Fail(kInvalidParameter, "ERROR: SourceLibrary::IsFileTypeValidForLibrary - Invalid parameter.\n");
  AutoCast<IDefDataId> id(type);
  if (!id) return kMissingInterface;
  String name;
  if (Status status = id->GetDefDataIdName(&name); status != kSuccess) return status;
  *valid = This().m_allowedTypes.count(name) != 0;
  return kSuccess;
}

Status CSourceLibrary::XISourceLibrary::AddFileToLibrary(IHdlFile* object) {
  CSourceLibrary& self = This();
  if (object == nullptr)
    return Fail(kInvalidParameter, "ERROR: SourceLibrary::AddFileToLibrary - Invalid parameter.\n");
  if (self.m_files.Contains(object)) return kSuccess;
  // The member's answer may release the last outside reference to this library.
  AutoPtr<ISourceLibrary> keep(this);

  // A parser's file stands for the project file it refers to.
  IHdlFile* file = object;
  AutoRelease<CitI::IInterface> referred;
  AutoRelease<IFileType> type;
  if (AutoCast<IFile> record(object); record) {
    if (Status status = record->GetFileType(type.Receive()); status != kSuccess) return status;
  } else {
    AutoCast<IFileCompReference> reference(object);
    if (!reference) return kMissingInterface;
    if (Status status = reference->GetFileComponent(referred.Receive()); status != kSuccess) return status;
    AutoCast<IFile> referredRecord(referred.Get());
    AutoCast<IHdlFile> referredFile(referred.Get());
    if (!referredRecord || !referredFile) return kMissingInterface;
    file = referredFile.Get();
    if (self.m_files.Contains(file)) return kSuccess;
    if (Status status = referredRecord->GetFileType(type.Receive()); status != kSuccess) return status;
  }

  bool valid = false;
  if (Status status = IsFileTypeValidForLibrary(type.Get(), &valid); status != kSuccess) return status;
  if (!valid) {
    String directory;
    String name;
    std::ignore = object->GetPath(&directory, &name);
    return Fail(kFailure,
                "ERROR: SourceLibrary::AddFileToLibrary - File type for file <%s> is not valid for library <%s>.\n",
                (directory + name).c_str(), self.m_name.Name().c_str());
  }

  if (Status status = self.m_files.Add(file); status != kSuccess) return status;
  // A file that could not take the membership would never tell the library that it goes, so
  // it is not kept listed.
  AutoCast<ISourceLibraryMember> member(file);
  if (!member) {
    self.m_files.Drop(file);
    return kMissingInterface;
  }
  if (Status status = member->SetLibrary(this); status != kSuccess) {
    if (!self.IsLibraryOf(file)) self.m_files.Drop(file);
    return status;
  }
  return SendEvent(this, EventId::LibraryMembership(), nullptr);
}

Status CSourceLibrary::XISourceLibrary::RemoveFileFromLibrary(IHdlFile* file) {
  CSourceLibrary& self = This();
  if (file == nullptr)
    return Fail(kInvalidParameter, "ERROR: SourceLibrary::RemoveFileFromLibrary - Invalid parameter.\n");
  AutoPtr<ISourceLibrary> keep(this);
  // Forgotten first, by pointer alone: a file being torn down may answer no query any more.
  if (!self.m_files.Drop(file)) return kSuccess;
  return self.ReleaseMember(file);
}

Status CSourceLibrary::XISourceLibraryInternal::DropFile(CitI::IInterface* file) {
  if (AutoCast<IHdlFile> member(file); member) This().m_files.Drop(member);
  return kSuccess;
}

Status CSourceLibrary::XIHdlFileSet::Remove(IHdlFileIterator* at) {
  CSourceLibrary& self = This();
  if (at == nullptr) return Fail(kInvalidParameter, "ERROR: SourceLibrary::Remove - Invalid parameter.\n");
  IHdlFile* file = at->Current();
  AutoPtr<ISourceLibrary> keep(&self.m_XISourceLibrary);
  // Through the set's own iterator the file is erased where the iterator stands, which leaves
  // the iterator usable for the next removal; any other iterator only names the file.
  if (file != nullptr && self.m_files.Remove(at) == kSuccess) return self.ReleaseMember(file);
  return self.m_XISourceLibrary.RemoveFileFromLibrary(file);
}

Status CSourceLibrary::XIHdlFileSet::GetIterator(IHdlFileIterator** files) {
  if (files == nullptr)
    return Fail(kInvalidParameter, "ERROR: SourceLibrary::IHdlFileSet GetIterator - Invalid Parameter.\n");
  *files = nullptr;
  return This().m_files.GetIterator(files);
}

Status CSourceLibrary::LoadFrom(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kInvalidParameter;
  Status result = kSuccess;
  const auto note = [&result](Status status) {
    if (result == kSuccess) result = status;
  };
  String name;
  if (Status status = storage->ReadString(&name); status != kSuccess) return status;
  std::ignore = m_name.CNameHelper::SetName(name);  // as stored: a library read back keeps its name
  if (Status status = storage->ReadInt32(&m_type); status != kSuccess) return status;
  note(InitializeType(m_type));
  std::int32_t count = 0;
  if (Status status = storage->ReadInt32(&count); status != kSuccess) {
    note(status);
    return result;
  }
  std::vector<AutoRelease<Prjrep::IPersist>> objects;
  for (std::int32_t i = 0; i < count; ++i) {
    AutoRelease<Prjrep::IPersist> object;
    if (Status status = storage->ReadObjectRef(object.Receive()); status != kSuccess) {
      note(status);
      return result;
    }
    objects.push_back(std::move(object));
  }
  for (const auto& object : objects) {
    AutoCast<IHdlFile> file(object.Get());
    if (!file) {
      note(kMissingInterface);
      continue;
    }
    std::ignore = m_files.Add(file);
    // A listed file must hold the library, or it would go without telling it. A load changes
    // no membership that was saved, so the member takes the library quietly.
    AutoCast<ISourceLibraryMemberInternal> member(file);
    Status joined = member ? member->AdoptLibrary(&m_XISourceLibrary) : kMissingInterface;
    if (joined != kSuccess && !IsLibraryOf(file)) m_files.Drop(file);
    note(joined);
  }
  return result;
}

Status CSourceLibrary::SaveTo(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kInvalidParameter;
  const std::vector<IHdlFile*> members = m_files.Members();
  if (Status status = storage->WriteString(&m_name.Name()); status != kSuccess) return status;
  if (Status status = storage->WriteInt32(m_type); status != kSuccess) return status;
  if (Status status = storage->WriteInt32(static_cast<std::int32_t>(members.size())); status != kSuccess) return status;
  Status result = kSuccess;
  for (IHdlFile* file : members) {
    // A file without persistence is written as a null reference, so that the count still holds.
    AutoCast<Prjrep::IPersist> persist(file);
    if (!persist && result == kSuccess) result = kMissingInterface;
    if (Status status = storage->WriteObjectRef(persist.Get()); status != kSuccess) return status;
  }
  return result;
}

}  // namespace Hvd
