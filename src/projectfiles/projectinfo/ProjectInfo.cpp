// The project information's reading, questions and edits of one project source file.

#include <new>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/util/XMLException.hpp>

#include "Port/FileName.h"
#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "core/Diagnostics.h"
#include "core/Holders.h"
#include "core/XmlChars.h"
#include "projectfiles/projectinfo/CProjectInfo.h"
#include "projectfiles/projectinfo/PropertyInstances.h"
#include "utils/XmlPlatform.h"

namespace Hvd {

using Prjrep::AutoOut;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;

namespace {

// The sequence-id targets of the branch indexes 0 to 4; 5 asks for every file.
constexpr std::uint32_t kBranchTargets[] = {2, 1, 4, 5, 6};
constexpr std::uint32_t kEveryFile = 5;

}  // namespace

template <class Edit>
Status CProjectInfo::EditDocument(const char* operation, Edit edit) {
  if (!m_read) return Fail(kFailure, "Hvd::CProjectInfo::%s - no project source file was read\n", operation);
  try {
    return edit() ? kSuccess : kFailure;
  } catch (const xercesc::DOMException& e) {
    return Fail(kFailure, "Hvd::CProjectInfo::%s - %s\n", operation, Xml::Utf8Text(e.getMessage()).get());
  } catch (const xercesc::XMLException& e) {
    return Fail(kFailure, "Hvd::CProjectInfo::%s - %s\n", operation, Xml::Utf8Text(e.getMessage()).get());
  }
}

Status CProjectInfo::XIProjectInfo::ReadProjectData(const String& path) {
  CProjectInfo& self = This();
  self.m_read = false;
  if (path.empty()) return Fail(kFailure, "Hvd::CProjectInfo::XIProjectInfo::ReadProjectData - no path given\n");
  // Read up to a NUL, the path would name another file.
  if (!NulFree("ProjectMgmt", "The project file's path", path.str())) return kInvalidParameter;
  Port::FileName name(path);
  name.SetTail(name.GetBase() + ".xhlc");
  const String absolute = name.GetAbsolutePath(false);
  Port_MsgManData::debugStub(
      Port::FormatMessage("Hvd::CProjectInfo::XIProjectInfo::ReadProjectData reading from %s\n", absolute.c_str())
          .c_str());
  self.m_read = self.m_reader.Read(absolute);
  return self.m_read ? kSuccess : kFailure;
}

Xml::DocumentPtr CProjectInfo::TakeReadDocument(IProjectInfo* info, std::string* bytes,
                                                std::unique_ptr<ElementIndex>* index,
                                                std::unique_ptr<CXMLReader::DivertedFiles>* diverted) {
  auto* face = dynamic_cast<XIProjectInfo*>(info);
  if (face == nullptr || !face->Owner().m_read) return nullptr;
  face->Owner().m_read = false;
  // Taken first: without them, the document is made whole before it goes.
  if (diverted != nullptr && bytes != nullptr) *diverted = face->Owner().m_reader.TakeDivertedFiles();
  if (bytes != nullptr) *bytes = face->Owner().m_reader.TakeBytes();
  if (index != nullptr) *index = face->Owner().m_reader.TakeIndex();
  return face->Owner().m_reader.TakeDocument();
}

void CProjectInfo::DivertFileEntries(IProjectInfo* info) {
  if (auto* face = dynamic_cast<XIProjectInfo*>(info); face != nullptr) face->Owner().m_reader.DivertFileEntries();
}

bool CProjectInfo::ParseRefused(IProjectInfo* info) {
  auto* face = dynamic_cast<XIProjectInfo*>(info);
  return face != nullptr && face->Owner().m_reader.ParseRefused();
}

Status CProjectInfo::XIProjectInfo::GetAssociations(Prjrep::IStringSet** associations) {
  AutoOut<Prjrep::IStringSet> out(associations);
  CProjectInfo& self = This();
  if (!self.m_read) return kFailure;
  if (associations == nullptr) return Fail(kInvalidParameter, "IProjectInfo::GetAssociations - no output given\n");
  AutoRelease<Prjrep::IStringSet> records;
  if (!self.m_reader.CollectAssociations(records)) return kFailure;
  std::ignore = out.Assign(records.Get());
  return kSuccess;
}

Status CProjectInfo::XIProjectInfo::GetFilesOfBranch(std::uint32_t branch, Prjrep::IStringSet** files) {
  AutoOut<Prjrep::IStringSet> out(files);
  CProjectInfo& self = This();
  if (!self.m_read) return kFailure;
  if (files == nullptr) return Fail(kInvalidParameter, "IProjectInfo::GetFilesOfBranch - no output given\n");
  if (branch == kEveryFile) {
    AutoRelease<Prjrep::IStringSet> all = self.m_reader.CollectFileNames(String());
    std::ignore = out.Assign(all.Get());
    return all ? kSuccess : kFailure;
  }
  const std::uint32_t target = branch < std::size(kBranchTargets) ? kBranchTargets[branch] : CXMLReader::kOtherTarget;
  return self.m_reader.GetBranchFiles(target, files) ? kSuccess : kFailure;
}

Status CProjectInfo::XIProjectInfo::GetLibraryNames(Prjrep::IStringSet** names) {
  AutoOut<Prjrep::IStringSet> out(names);
  if (names == nullptr) return Fail(kInvalidParameter, "IProjectInfo::GetLibraryNames - no output given\n");
  // Before a read, or after one that failed, the list is empty: the reader may still hold the
  // document of an earlier file.
  CProjectInfo& self = This();
  AutoRelease<Prjrep::IStringSet> set = self.m_read ? self.m_reader.CollectLibraryNames() : self.m_reader.NoNames();
  if (!set) return Fail(kComponentNotCreated, "IProjectInfo::GetLibraryNames - no string set could be made\n");
  std::ignore = out.Assign(set.Get());
  return kSuccess;
}

Status CProjectInfo::XIProjectInfo::GetAllProperties(IPropertyInstanceSet** properties) {
  AutoOut<IPropertyInstanceSet> out(properties);
  CProjectInfo& self = This();
  if (!self.m_read) return kFailure;
  if (properties == nullptr) return Fail(kInvalidParameter, "IProjectInfo::GetAllProperties - no output given\n");
  AutoRelease<Prjrep::IStringSet> names;
  AutoRelease<Prjrep::IStringIterator> each;
  if (!self.m_reader.GetPropertyNames(names.Receive()) || !names || names->GetIterator(each.Receive()) != kSuccess ||
      !each)
    return kFailure;
  AutoRelease<IPropertyInstanceSet> set(new (std::nothrow) CPropInstanceSet());
  if (!set) return kFailure;
  for (; !each->IsDone(); std::ignore = each->Next()) {
    const String name = each->Current();
    String value;
    std::ignore = self.m_reader.GetPropertyValue(name, &value);
    AutoRelease<IPropertyInstance> instance = MakePropertyInstance(name, value);
    if (!instance || set->Add(instance.Get()) != kSuccess) return kFailure;
  }
  std::ignore = out.Assign(set.Get());
  return kSuccess;
}

Status CProjectInfo::XIProjectInfo::GetProperty(const String& name, IPropertyInstance** property) {
  AutoOut<IPropertyInstance> out(property);
  CProjectInfo& self = This();
  if (!self.m_read) return kFailure;
  if (property == nullptr) return Fail(kInvalidParameter, "IProjectInfo::GetProperty - no output given\n");
  String value;
  if (!self.m_reader.GetPropertyValue(name, &value)) return kFailure;
  AutoRelease<IPropertyInstance> instance = MakePropertyInstance(name, value);
  if (!instance) return kFailure;
  std::ignore = out.Assign(instance.Get());
  return kSuccess;
}

// The edits and the write need the document of the last read: after a failed read the reader
// still holds the one before it, which must not be written over another file.
Status CProjectInfo::XIProjectInfo::WriteProjectData(const String& path) {
  return This().EditDocument("WriteProjectData", [&] { return This().m_reader.WriteProjectData(path); });
}

Status CProjectInfo::XIProjectInfo::SetProperty(const String& name, const String& value) {
  return This().EditDocument("SetProperty", [&] { return This().m_reader.SetProperty(name, value); });
}

Status CProjectInfo::XIProjectInfo::AddFile(const String& name, const String& type, const String& associations,
                                            const String& library) {
  return AddFileWithSequence(name, type, associations, library, String());
}

Status CProjectInfo::XIProjectInfo::AddFileWithSequence(const String& name, const String& type,
                                                        const String& associations, const String& library,
                                                        const String& seqIdInc) {
  return This().EditDocument("AddFile",
                             [&] { return This().m_reader.AddFile(name, type, associations, library, seqIdInc); });
}

Status CProjectInfo::XIProjectInfo::AddLibrary(const String& name) {
  return This().EditDocument("AddLibrary", [&] { return This().m_reader.AddLibrary(name); });
}

Status CProjectInfo::XIProjectInfo::GetHlcVersion(String* version) {
  if (version != nullptr) version->str().clear();
  CProjectInfo& self = This();
  if (!self.m_read) return kFailure;
  if (version == nullptr) return Fail(kInvalidParameter, "IProjectInfo::GetHlcVersion - no output given\n");
  self.m_reader.ReadVersion();
  *version = self.m_reader.GetProductVersion();
  return kSuccess;
}

Status CProjectInfo::XIProjectInfo::GetFileLibrary(const String& file, String* library) {
  if (library != nullptr) library->str().clear();
  CProjectInfo& self = This();
  if (!self.m_read) return kFailure;
  if (library == nullptr) return Fail(kInvalidParameter, "IProjectInfo::GetFileLibrary - no output given\n");
  return self.m_reader.GetFileLibrary(file, library) ? kSuccess : kFailure;
}

Status CProjectInfo::XIProjectInfo::GetFileList(const String& type, Prjrep::IStringIterator** files) {
  if (files != nullptr) *files = nullptr;
  CProjectInfo& self = This();
  if (!self.m_read) return kFailure;
  if (files == nullptr) return Fail(kInvalidParameter, "IProjectInfo::GetFileList - no output given\n");
  AutoRelease<Prjrep::IStringSet> names = self.m_reader.CollectFileNames(type);
  if (!names) return Fail(kComponentNotCreated, "IProjectInfo::GetFileList - no string set could be made\n");
  return names->GetIterator(files) == kSuccess ? kSuccess : kFailure;
}

bool CProjectInfo::XIProjectInfo::HasFiles(const String& type) {
  AutoRelease<Prjrep::IStringIterator> files;
  if (GetFileList(type, files.Receive()) != kSuccess || !files) return false;
  std::ignore = files->Reset();
  return !files->IsDone();
}

}  // namespace Hvd
