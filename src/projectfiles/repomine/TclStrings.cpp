// The component's faces for the Tcl migration layer: the old files and properties as Tcl
// lists, and the records that the builder builds.

#include <cctype>

#include "Port/FileName.h"
#include "core/Diagnostics.h"
#include "projectfiles/RepoMine.h"
#include "utils/InterpHelp.h"

using Hvd::kSuccess;
using Hvd::Status;
using String = Port::StringBase<char>;

namespace {

// One list element that Tcl reads back as exactly `value`, whatever the old file held:
// braced when braces quote it as it is, else escaped character by character.
String Element(const String& value) {
  if (value.str().find_first_of("{}\\") == std::string::npos) return "{" + value + "}";
  return Hvd::TclWord(value);
}

// A property name as it stands when it is a plain identifier, else quoted like a value.
String NameElement(const String& name) {
  if (name.empty()) return "{}";
  for (const char c : name.str()) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return Element(name);
  }
  return name;
}

}  // namespace

String RepoMine::FileList() const {
  std::string list = "list ";
  for (const auto& other : m_state->Others) {
    const auto* file = dynamic_cast<const DdmFileLoader*>(other.get());
    if (file == nullptr) continue;
    list += "[ list " + Element(file->FileName).str() + " " + Element(file->LibraryName).str() + " " +
            Element(file->Origination).str() + " " + Element(AssociationName(file->AssociationBits)).str() + " ] ";
  }
  return String(list);
}

String RepoMine::PropertyList() const {
  std::string list = "list ";
  for (const auto& [name, value] : m_state->Properties)
    list += "[list " + NameElement(name).str() + " " + Element(value).str() + " ] ";
  return String(list);
}

void RepoMine::AddRecord(const String& name, const String& library, const String& origination,
                         const String& association) {
  if (!m_records) m_records = std::make_unique<BuildRecords>();
  m_records->Files.push_back(FileRecord{name, library, origination, association.empty() ? String("all") : association});
}

// A second open starts from nothing, so that the lists never hold a file twice.
Status RepoMine::XIRepoMineTclStrings::Open(const String& path) {
  RepoMine& self = This();
  self.m_fileName = CanonicalPath(path);
  self.m_state = std::make_unique<MigrationState>();
  return self.OpenRepository();
}

Status RepoMine::XIRepoMineTclStrings::GetFileList(String* list) {
  if (list == nullptr) return Hvd::kInvalidParameter;
  *list = This().FileList();
  return kSuccess;
}

Status RepoMine::XIRepoMineTclStrings::GetPropertyList(String* list) {
  if (list == nullptr) return Hvd::kInvalidParameter;
  *list = This().PropertyList();
  return kSuccess;
}

Status RepoMine::XIProjectBuilder::SetProjectFile(const String& path) {
  This().m_fileName = CanonicalPath(path);
  return kSuccess;
}

Status RepoMine::XIProjectBuilder::AddFile(const String& name, const String& library, const String& origination) {
  This().AddRecord(name, library, origination, "all");
  return kSuccess;
}

Status RepoMine::XIProjectBuilder::AddProperty(const String& name, const String& value) {
  RepoMine& self = This();
  if (!self.m_records) self.m_records = std::make_unique<BuildRecords>();
  self.m_records->Properties.emplace_back(name, value);
  return kSuccess;
}

Status RepoMine::XIProjectBuilder::AddFileWithAssociation(const String& name, const String& library,
                                                         const String& origination, const String& association) {
  This().AddRecord(name, library, origination, association);
  return kSuccess;
}
