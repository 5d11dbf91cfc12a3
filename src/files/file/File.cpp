// The file's construction and destruction, its administration and teardown, and what it
// reconciles with the definition data.

#include "CitP/Factory.h"
#include "Prjrep/ClassIds.h"
#include "core/Diagnostics.h"
#include "files/file/CFile.h"

namespace Hvd {

namespace {

// The id under which the file's states are kept, as against a view's or a design's.
CITI_DEFINE_ID(FileStatesId, "{47CD4AAC-4AAC-444a-96DC-71FC437145BF}")

}  // namespace

CFile::CFile() {
  std::ignore = m_XIPropertySet.SetOwner(this);
  std::ignore = m_XIAutonymSet.SetOwner(this);
  std::ignore = m_XIDesignGraphLocatorSet.SetOwner(this);
  std::ignore = m_views.SetOwner(this);
  m_fileNameHelper =
      Prjrep::AutoRelease<Prjrep::IFileNameHelper>(CitP::Factory::CreateInstance(Prjrep::ClassId::FileNameHelper()));
  SetComponentRefOwner(m_componentRef, this);
  m_states.SetOwner(this);
  m_states.SetId(FileStatesId());
  std::ignore = m_checkTime.SetTime(-1, 0);
}

CFile::~CFile() {
  for (std::uint32_t category = 0; category < kCategories; ++category) {
    if (Found(category) != nullptr) std::ignore = m_XIHdlFileV4.RemoveAllChildFiles(category);
  }
  // The library lists its members without counting them: it must not keep this one. The
  // holder is emptied first, so that the library's call back finds nothing to drop.
  Prjrep::AutoPtr<ISourceLibrary> library(std::move(m_library));
  if (library) std::ignore = library->RemoveFileFromLibrary(&m_XIHdlFile);
  std::ignore = ReleaseComponentRef(m_componentRef);
}

const ComponentInterfaceRef& CFile::Attachment() {
  if (m_componentRef.attachment == nullptr && RecreateComponentInterfaceRef(m_componentRef))
    SetComponentRefOwner(m_componentRef, this);
  return m_componentRef;
}

CFileRelationSet* CFile::Found(std::uint32_t slot) const {
  for (const RelationEntry& entry : m_relations) {
    if (entry.slot == slot) return entry.set.get();
  }
  return nullptr;
}

std::array<CFileRelationSet*, CFile::kCategories> CFile::ParentSets() const {
  std::array<CFileRelationSet*, kCategories> sets{};
  for (const RelationEntry& entry : m_relations) {
    if (entry.slot >= kCategories) sets[entry.slot - kCategories] = entry.set.get();
  }
  return sets;
}

CFileRelationSet& CFile::Made(std::uint32_t slot) {
  if (CFileRelationSet* found = Found(slot)) return *found;
  auto set = std::make_unique<CFileRelationSet>();
  std::ignore = set->SetOwner(this);
  return *m_relations.emplace_back(RelationEntry{slot, std::move(set)}).set;
}

Prjrep::AutoRelease<IProject> CFile::Project() const {
  Prjrep::AutoRelease<IProject> project;
  if (m_design) std::ignore = m_design->GetProject(project.Receive());
  return project;
}

CFile::String CFile::KeyOf(CitI::IInterface* file) {
  String key;
  if (Prjrep::AutoCast<Prjrep::IFileNameHelper> names(file); names) std::ignore = names->GetOsPath(&key);
  return key;
}

Status CFile::XICompAdmin::InitializeAfterCreate(CitI::IInterface* owner, CitI::IInterface* definition) {
  CFile& self = This();
  Prjrep::AutoCast<IDesign> design(owner);
  if (!design)
    return Fail(kInvalidParameter, "ERROR: File::InitializeAfterCreate - Invalid Parameter: expected IDesign.\n");
  Prjrep::AutoCast<IFileType> type(definition);
  if (!type)
    return Fail(kInvalidParameter, "ERROR: File::InitializeAfterCreate - Invalid Parameter: expected IFileType.\n");
  self.m_design = design.Get();
  self.m_fileType = type.Get();
  self.ResolveDesignUnitType();
  if (!self.m_designUnitType)
    return Fail(kFailure,
                "ERROR: File::InitializeAfterCreate - Could not determine the Design Unit Type for this file.\n");
  return kSuccess;
}

Status CFile::XICompAdmin::InitializeAfterLoad(CitI::IInterface* owner) {
  CFile& self = This();
  Prjrep::AutoCast<IDesign> design(owner);
  if (!design)
    return Fail(kInvalidParameter, "ERROR: File::InitializeAfterLoad - Invalid Parameter: expected IDesign.\n");
  self.m_design = design.Get();
  return InitializeComponentsAfterLoad(self.m_transformBindings.SecondSet(), design.Get());
}

// What the file keeps of its place in the project (origin, sequence ids, relations, states,
// properties, locators, path) stays: the project may still read it.
Status CFile::XICompAdmin::Teardown() {
  CFile& self = This();
  std::ignore = self.m_XIAutonymSet.Clear();
  std::ignore = ClearTransformBindingSet(self.m_transformBindings.FirstSet());
  std::ignore = ClearTransformBindingSet(self.m_transformBindings.SecondSet());
  self.m_eventSender.RemoveAllReceivers();
  std::ignore = self.m_views.Clear();
  // Leaving the library before letting go of it, so that it lists no file that may be gone.
  if (self.m_library) std::ignore = self.m_library->RemoveFileFromLibrary(&self.m_XIHdlFile);
  self.m_library = nullptr;
  self.m_design = nullptr;
  self.m_designUnitType = nullptr;
  self.m_fileType = nullptr;
  self.m_viewClassMask = 0;
  std::ignore = self.m_name.SetName(String());
  self.m_directory.reset();
  self.m_fileName = String();
  self.m_designUnitName.reset();
  self.m_modified = false;
  self.m_globalInclude = false;
  self.m_fileFlag = false;
  return kSuccess;
}

// Bindings whose definition became obsolete leave both sets.
Status CFile::XIReconcileToDefData::RemoveObsolete(CitI::IInterface*) {
  CFile& self = This();
  const Status first = RemoveObsoleteComponents(self.m_transformBindings.FirstSet());
  const Status second = RemoveObsoleteComponents(self.m_transformBindings.SecondSet());
  return first != kSuccess ? first : second;
}

}  // namespace Hvd
