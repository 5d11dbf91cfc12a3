// The files a file includes (its children) and the files that include it (its parents), in six
// categories. A link is kept on both sides: a parent lists its child under the child's key, and
// the child lists the parent under the parent's key.

#include <atomic>
#include <limits>
#include <utility>
#include <vector>

#include "Hvd/EventIds.h"
#include "Hvd/IFileManager.h"
#include "core/Diagnostics.h"
#include "files/file/CFile.h"
#include "files/file/RelationStamp.h"
#include "files/file/UserAdded.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;

CitI::IInterface* IdentityOf(CitI::IInterface* object) {
  if (object == nullptr) return nullptr;
  CitI::IInterface* root = object->QueryInterface(CitI::IInterface::GetIID());
  return root != nullptr ? root : object;
}

std::atomic<std::uint64_t> s_relationEpoch{0};

constexpr char kNoFileNameHelper[] =
    "Error CFile::AddChildFileByName : The IFileNameHelper interface is not exposed off of the CFile component.\n";

}  // namespace

std::uint64_t FileRelationEpoch() { return s_relationEpoch.load(std::memory_order_acquire); }

CFile* CFile::Of(CitI::IInterface* object) {
  auto* face = dynamic_cast<XIHdlFileV4*>(object != nullptr ? object->QueryInterface(IHdlFileV4::GetIID()) : nullptr);
  return face != nullptr ? &face->File() : nullptr;
}

std::uint64_t FileChildrenStamp(CitI::IInterface* file) {
  const CFile* own = CFile::Of(file);
  return own != nullptr ? own->m_childrenStamp : std::numeric_limits<std::uint64_t>::max();
}

void CFile::ChildrenChanged() { m_childrenStamp = s_relationEpoch.fetch_add(1, std::memory_order_acq_rel) + 1; }

void CFileRelationSet::Put(const Port::StringBase<char>& key, IHdlFile* file) { std::ignore = SetByKey(key, file); }

bool CFileRelationSet::EraseEntry(const Port::StringBase<char>& key, IHdlFile* file) {
  auto at = m_elements.find(key);
  if (at == m_elements.end() || at->second == nullptr || IdentityOf(at->second) != IdentityOf(file)) return false;
  EraseForward(at);
  return true;
}

bool CFileRelationSet::EmptyEntryOf(IHdlFile* file) {
  CitI::IInterface* wanted = IdentityOf(file);
  for (auto& entry : m_elements) {
    if (entry.second == nullptr || IdentityOf(entry.second) != wanted) continue;
    GiveUpReference(std::exchange(entry.second, nullptr));
    return true;
  }
  return false;
}

bool CFileRelationSet::Holds(IHdlFile* file) {
  CitI::IInterface* wanted = IdentityOf(file);
  for (const auto& entry : m_elements) {
    if (entry.second != nullptr && IdentityOf(entry.second) == wanted) return true;
  }
  return false;
}

std::vector<AutoPtr<IHdlFile>> CFileRelationSet::Files() {
  std::vector<AutoPtr<IHdlFile>> files;
  for (const auto& entry : m_elements) {
    if (entry.second != nullptr) files.emplace_back(entry.second);
  }
  return files;
}

bool UserAddedManagedFile(CitI::IInterface* file) {
  const CFile* own = CFile::Of(file);
  return own != nullptr && own->m_userAdded && own->m_originState == CFile::kAutoManaged;
}

bool CFile::Included() const {
  for (CFileRelationSet* parents : ParentSets()) {
    if (parents != nullptr && parents->Size() > 0) return true;
  }
  return false;
}

void CFile::ChangeOriginState(std::uint32_t state) {
  if (state == m_originState) return;
  m_originState = state;
  std::ignore = SendEvent(&m_XIHdlFile, EventId::FileChanged(), &m_XIHdlFile);
}

void CFile::ReturnToUserWhenNotIncluded() {
  if (!m_userAdded || m_originState != kAutoManaged || Included()) return;
  m_userAdded = false;
  ChangeOriginState(kUserSource);
}

// A file a source includes stays managed: made the user's meanwhile, it is remembered as the
// user's and becomes so when nothing includes it any more.
Status CFile::XIFile::SetOriginState(std::uint32_t state) {
  CFile& self = This();
  if (state == kUserSource && self.m_originState == kAutoManaged && self.Included()) {
    self.m_userAdded = true;
    return kSuccess;
  }
  self.m_userAdded = false;
  self.ChangeOriginState(state);
  return kSuccess;
}

// The child is added to the project when it is not there yet. A user source that is not a
// global include becomes a file the views manage themselves, remembered as the user's when the
// project held it already.
Status CFile::XIHdlFileV4::AddChildFileByName(std::uint32_t category, const String& name, IHdlFile** child) {
  CFile& self = This();
  if (category >= kCategories) return kBadParameters;
  Prjrep::AutoOut<IHdlFile> out(child);
  const AutoRelease<IProject> project = self.Project();
  AutoCast<IFileManager> files(project.Get());
  if (!files) return Fail(kFailure, "Error CFile::AddChildFileByName: IFileManager interface not exposed.\n");
  AutoRelease<IHdlFile> added;
  const Status status = files->ProjectAddFile(name, nullptr, added.Receive());
  if (status != kSuccess && status != kAlreadyInProject) {
    return Fail(status, "Error CFile::AddChildFileByName [0x%x]: Could not add the given file: '%s'.\n",
                static_cast<unsigned>(CodeOf(status)), name.c_str());
  }
  AutoCast<IFile> record(added.Get());
  if (!record) {
    return Fail(kFailure,
                "Error CFile::AddChildFileByName : The IFile interface is not exposed off of the CFile component.\n");
  }
  std::uint32_t origin = kUserSource;
  std::ignore = record->GetOriginState(&origin);
  AutoCast<IHdlFileV3> flags(added.Get());
  if (!flags) {
    return Fail(
        kFailure,
        "Error CFile::AddChildFileByName : The IHdlFileV3 interface is not exposed off of the CFile component.\n");
  }
  bool globalInclude = false;
  std::ignore = flags->GetGlobalInclude(&globalInclude);
  const bool nowManaged = origin == kUserSource && !globalInclude;
  if (nowManaged) {
    std::ignore = record->SetOriginState(kAutoManaged);
    if (CFile* own = Of(added.Get()); own != nullptr && status == kAlreadyInProject) own->m_userAdded = true;
  }
  out.Assign(added.Get());
  AutoCast<IHdlFileV4> relations(added.Get());
  if (!relations) {
    return Fail(
        kFailure,
        "Error CFile::AddChildFileByName : The IHdlFileV4 interface is not exposed off of the CFile component.\n");
  }
  std::ignore = relations->AddParentFile(category, &self.m_XIHdlFile);
  if (!AutoCast<Prjrep::IFileNameHelper>(added.Get())) return Fail(kFailure, kNoFileNameHelper);
  self.ChildFiles(category).Put(KeyOf(added.Get()), added.Get());
  self.ChildrenChanged();
  if (nowManaged) std::ignore = SendEvent(&self.m_XIHdlFile, EventId::FileChanged(), &self.m_XIHdlFile);
  return kSuccess;
}

// The key stays, without a file.
Status CFile::XIHdlFileV4::RemoveChildFile(std::uint32_t category, IHdlFile* child) {
  CFile& self = This();
  if (child == nullptr || category >= kCategories) return kBadParameters;
  CFileRelationSet& children = self.ChildFiles(category);
  if (!children.Holds(child)) return kSuccess;
  if (AutoCast<IHdlFileV4> relations(child); relations)
    std::ignore = relations->RemoveParentFile(category, &self.m_XIHdlFile);
  children.EmptyEntryOf(child);
  self.ChildrenChanged();
  return kSuccess;
}

Status CFile::XIHdlFileV4::RemoveAllChildFiles(std::uint32_t category) {
  CFile& self = This();
  if (category >= kCategories) return kBadParameters;
  if (self.Found(category) == nullptr) return kSuccess;  // as for an empty set, without making one
  for (const AutoPtr<IHdlFile>& child : self.ChildFiles(category).Files()) {
    if (AutoCast<IHdlFileV4> relations(child.Get()); relations)
      std::ignore = relations->RemoveParentFile(category, &self.m_XIHdlFile);
  }
  self.ChildrenChanged();
  return self.ChildFiles(category).Clear();
}

void CFile::LetGoOfRelatedFiles() {
  // The sets are taken first: a file given up may reach back into this one and make a set.
  std::vector<std::pair<std::uint32_t, CFileRelationSet*>> sets;
  for (const RelationEntry& entry : m_relations) sets.emplace_back(entry.slot, entry.set.get());
  for (const auto& [slot, set] : sets) {
    for (const AutoPtr<IHdlFile>& related : set->Files()) {
      AutoCast<IHdlFileV4> relations(related.Get());
      if (!relations) continue;
      if (slot < kCategories) {
        std::ignore = relations->RemoveParentFile(slot, &m_XIHdlFile);
      } else {
        std::ignore = relations->RemoveChildFile(slot - kCategories, &m_XIHdlFile);
      }
    }
  }
  bool hadChildren = false;
  for (const auto& [slot, set] : sets) {
    hadChildren = hadChildren || (slot < kCategories && set->Size() > 0);
    std::ignore = set->Clear();
  }
  if (hadChildren) ChildrenChanged();
}

Status CFile::XIHdlFileV4::AddParentFile(std::uint32_t category, IHdlFile* parent) {
  if (parent == nullptr || category >= kCategories) return kBadParameters;
  if (!AutoCast<Prjrep::IFileNameHelper>(parent)) return Fail(kFailure, kNoFileNameHelper);
  This().ParentFiles(category).Put(KeyOf(parent), parent);
  return kSuccess;
}

// Only the entry of that very file goes: another file of the same path, listed since, stays.
Status CFile::XIHdlFileV4::RemoveParentFile(std::uint32_t category, IHdlFile* parent) {
  if (parent == nullptr || category >= kCategories) return kBadParameters;
  if (!AutoCast<Prjrep::IFileNameHelper>(parent)) return Fail(kFailure, kNoFileNameHelper);
  if (!This().ParentFiles(category).EraseEntry(KeyOf(parent), parent))
    return Fail(kFailure, "Error CFile::RegisterParentFileToChild(): Parent does not exist.\n");
  This().ReturnToUserWhenNotIncluded();
  return kSuccess;
}

Status CFile::XIHdlFileV4::GetChildFiles(std::uint32_t category, IHdlFileIterator** children) {
  if (children == nullptr || category >= kCategories) return kBadParameters;
  return This().ChildFiles(category).GetIterator(children);
}

Status CFile::XIHdlFileV4::GetParentFiles(std::uint32_t category, IHdlFileIterator** parents) {
  if (parents == nullptr || category >= kCategories) return kBadParameters;
  return This().ParentFiles(category).GetIterator(parents);
}

Status CFile::XIHdlFileV4::HasNoParents(bool* none) {
  if (none == nullptr) return kInvalidParameter;
  *none = true;
  for (CFileRelationSet* parents : This().ParentSets()) *none = *none && (!parents || parents->Size() == 0);
  return kSuccess;
}

}  // namespace Hvd
