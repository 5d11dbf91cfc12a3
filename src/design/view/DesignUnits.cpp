// The view's files: how they enter and leave the view with their events and the refresh that
// follows, the same files seen as files, and what the view hands the parser's mirror of them.

#include <iterator>
#include <vector>

#include "Hvd/EventIds.h"
#include "Port/FileName.h"
#include "core/Diagnostics.h"
#include "core/Persist.h"
#include "design/view/CView.h"
#include "utils/DmUtils.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;


using FileList = TRefdSequenceSetHelper<IFile*, IFileSet, IFileIterator, std::vector<IFile*>>;
using PropertyList = TRefdSequenceSetHelper<IPropertyInstance*, IPropertyInstanceSet, IPropertyInstanceIterator,
                                            std::vector<IPropertyInstance*>>;

}  // namespace

// A managed file is the view's own to keep, whatever its type.
bool IsManagedFile(CitI::IInterface* unit) {
  AutoCast<IFile> file(unit);
  std::uint32_t origin = 0;
  return file && file->GetOriginState(&origin) == kSuccess && origin == 3;
}

void CView::XIDesignUnitSet::Unlisted(IHdlDesignUnit* unit) {
  CitI::IInterface* root = RootOf(unit);
  if (root == nullptr) return;
  // A root listed more than once is still held by another entry.
  const auto more = m_repeats.find(root);
  const bool holds = more != m_repeats.end();
  if (holds) {
    if (--more->second == 0) m_repeats.erase(more);
  } else {
    m_roots.Erase(root);
  }
  m_view->NoteUnitChange(unit, false, holds);
}

void CView::XIDesignUnitSet::Listed(IHdlDesignUnit* unit) {
  CitI::IInterface* root = RootOf(unit);
  if (root == nullptr || m_elements.empty()) return;
  const auto last = std::prev(m_elements.end());
  if (auto [at, added] = m_roots.Insert(root, last); !added) {
    ++m_repeats[root];
    if (*at == m_elements.end()) *at = last;
  }
  m_view->NoteUnitChange(unit, true, true);
}

Prjrep::AutoRelease<IHdlDesignUnitIterator> CView::XIDesignUnitSet::IteratorOf(CitI::IInterface* object) {
  CitI::IInterface* wanted = RootOf(object);
  AutoRelease<IHdlDesignUnitIterator> at;
  if (wanted == nullptr || !Holds(wanted)) return at;
  if (const auto* known = m_roots.Find(wanted); known != nullptr && *known != m_elements.end()) {
    ++m_view->m_quietReads;  // the base finds its iterator through GetIterator
    const Status found = GetIteratorAt(*known, at.Receive());
    --m_view->m_quietReads;
    if (found != kSuccess) return AutoRelease<IHdlDesignUnitIterator>();
    return at;
  }
  // A root listed twice lost its place with its first entry: look for the other.
  if (UnitList::GetIterator(at.Receive()) != kSuccess || !at) return AutoRelease<IHdlDesignUnitIterator>();
  while (!at->IsDone() && RootOf(at->Current()) != wanted) std::ignore = at->Next();
  if (at->IsDone()) return AutoRelease<IHdlDesignUnitIterator>();
  return at;
}

Status CView::XIDesignUnitSet::GetIterator(IHdlDesignUnitIterator** units) {
  m_view->BringManagedFilesInStep();
  return UnitList::GetIterator(units);
}

std::size_t CView::XIDesignUnitSet::Size() {
  m_view->BringManagedFilesInStep();
  return UnitList::Size();
}

bool CView::XIDesignUnitSet::Holds(CitI::IInterface* object) {
  CitI::IInterface* wanted = RootOf(object);
  return m_roots.Find(wanted) != nullptr;
}

void CView::XIDesignUnitSet::Erase(Position& pos) {
  if (IHdlDesignUnit* unit = GetAt(pos); unit != nullptr) {
    if (auto* known = m_roots.Find(RootOf(unit)); known != nullptr && *known == pos) *known = m_elements.end();
    Unlisted(unit);
  }
  UnitList::Erase(pos);
}

Status CView::XIDesignUnitSet::Clear() {
  m_roots.Clear();
  m_repeats.clear();
  m_view->m_wrapperNeedsAll = true;
  m_view->m_wrapperPending.clear();
  m_view->m_syncNeedsAll = true;
  m_view->m_syncTouched.clear();
  m_view->m_syncParents.clear();
  m_view->m_syncWanted.clear();
  m_view->m_managedUnits.clear();
  return UnitList::Clear();
}

bool CView::XIDesignUnitSet::EraseEntryOf(CitI::IInterface* object) {
  if (!Holds(object)) return false;
  CitI::IInterface* wanted = RootOf(object);
  if (const auto* known = m_roots.Find(wanted); known != nullptr && *known != m_elements.end()) {
    Position pos = *known;
    Erase(pos);
    return true;
  }
  for (auto pos = m_elements.begin(); pos != m_elements.end(); ++pos) {
    if (wanted != nullptr && RootOf(*pos) == wanted) {
      Erase(pos);
      return true;
    }
  }
  return false;
}

std::vector<Prjrep::AutoPtr<IHdlDesignUnit>> CView::XIDesignUnitSet::Units() {
  return std::vector<AutoPtr<IHdlDesignUnit>>(m_elements.begin(), m_elements.end());
}

Status CView::XIDesignUnitSet::PersistLoad(Prjrep::IStorage* storage) {
  return LoadObjectList(storage, IHdlDesignUnit::GetIID(), [this](CitI::IInterface* object) {
    IHdlDesignUnit* unit = CastAnswer<IHdlDesignUnit>(object);
    const Status added = UnitList::Add(unit);
    if (added == kSuccess) {
      Listed(unit);
    }
    return added;
  });
}

// The view is the one that decides whether a file belongs to it: a file is taken once, by the
// view's own list, however the file's list of views reads.
Status CView::XIDesignUnitSet::Add(IHdlDesignUnit* unit) {
  CView& self = *m_view;
  if (unit == nullptr) return Fail(kBadParameters, "ERROR: IDesignUnitSet::Add - Invalid parameters.\n");
  if (!self.m_design) {
    return Fail(kOwnerMissing, "ERROR: IDesignUnitSet::Add - This view is not initialized: \"%s\".\n",
                self.ViewTypeName().c_str());
  }
  if (self.IsProjectReadOnly()) return Fail(kProjectReadOnly, "ERROR: IDesignUnitSet::Add - Project is Read Only.\n");
  bool accepted = IsManagedFile(unit);
  if (!accepted) std::ignore = self.m_XIView.AcceptsDesignUnit(unit, &accepted);
  if (!accepted) return kFailure;
  if (Holds(unit)) return kSuccess;
  AutoPtr<IView> keep(&self.m_XIView);
  const Status appended = UnitList::Add(unit);
  if (appended != kSuccess) return appended;
  Listed(unit);
  self.AddViewToFile(unit);
  std::ignore = self.RegisterForNotifications(unit);
  std::ignore = SendEvent(&self.m_XIView, EventId::FileAddedToView(), unit);
  self.RefreshAfterChange();
  return kSuccess;
}

// What the set's Add would refuse now: a file that is no managed file and of a kind the view
// does not take.
bool CView::HoldsUntakenUserFile(CitI::IInterface* unit) {
  if (!AutoCast<IFile>(unit) || IsManagedFile(unit) || !m_XIDesignUnitSet.Holds(unit)) return false;
  bool taken = true;
  return m_XIView.AcceptsDesignUnit(unit, &taken) == kSuccess && !taken;
}

// Only an iterator of this very set removes: the base refuses any other, so that no entry is
// erased at a position of another list.
Status CView::XIDesignUnitSet::Remove(IHdlDesignUnitIterator* position) {
  CView& self = *m_view;
  if (position == nullptr) return Fail(kBadParameters, "ERROR: IDesignUnitSet::Remove - Invalid parameters.\n");
  AutoPtr<IHdlDesignUnit> unit(position->Current());
  if (!unit) return Fail(kSuccess, "Warning: IDesignUnitSet::Remove - No Design unit given.\n");
  if (!self.m_design) {
    return Fail(kOwnerMissing, "ERROR: IDesignUnitSet::Remove - This view is not initialized: \"%s\".\n",
                self.ViewTypeName().c_str());
  }
  if (self.IsProjectReadOnly())
    return Fail(kProjectReadOnly, "ERROR: IDesignUnitSet::Remove - Project is Read Only.\n");
  AutoPtr<IView> keep(&self.m_XIView);
  const Status removed = UnitList::Remove(position);
  if (removed != kSuccess) return removed;
  std::ignore = self.UnRegisterForNotifications(unit.Get());
  std::ignore = self.RemoveViewFromFile(unit.Get());
  std::ignore = SendEvent(&self.m_XIView, EventId::FileRemovedFromView(), unit.Get());
  self.RefreshAfterChange();
  return kSuccess;
}

void CView::NoteUnitChange(IHdlDesignUnit* unit, bool joined, bool holds) {
  if (m_wrapper && !m_wrapperNeedsAll) m_wrapperPending.emplace_back(unit, holds);
  NoteIncludesOf(unit);
  if (m_syncNeedsAll) return;
  m_syncTouched.emplace_back(unit);
  CitI::IInterface* root = RootOf(unit);
  if (joined && IsManagedFile(unit)) {
    m_managedUnits.emplace(root, AutoPtr<IHdlDesignUnit>(unit));
  } else if (!joined && !holds) {
    m_managedUnits.erase(root);
  }
}

void CView::NoteIncludesOf(CitI::IInterface* unit) {
  if (!m_includesMayChange && (IsManagedFile(unit) || !(GetDefDataIdName(unit) == "FILE_VHDL")))
    m_includesMayChange = true;
}

void CView::NoteFileEvent(CitI::IInterface* object) {
  if (object == nullptr || !m_XIDesignUnitSet.Holds(object)) return;
  if (m_wrapper) m_wrapper->MarkFileChanged(object);
  NoteIncludesOf(object);
  if (m_syncNeedsAll) return;
  AutoCast<IHdlDesignUnit> unit(object);
  if (!unit) return;
  m_syncTouched.emplace_back(unit.Get());
  // One that is managed no longer stays listed: the next look decides whether the view keeps it.
  if (IsManagedFile(unit.Get())) m_managedUnits.emplace(RootOf(object), AutoPtr<IHdlDesignUnit>(unit.Get()));
}

Status CView::XIFileSet::Add(IFile* file) {
  AutoCast<IHdlDesignUnit> unit(file);
  if (!unit) return kFailure;
  return This().m_XIDesignUnitSet.Add(unit);
}

// The file is looked up again in the view's own list, so that an iterator over any list of
// files may name it.
Status CView::XIFileSet::Remove(IFileIterator* iterator) {
  if (iterator == nullptr || iterator->IsDone()) return kInvalidParameter;
  CView& self = This();
  AutoRelease<IHdlDesignUnitIterator> own = self.m_XIDesignUnitSet.IteratorOf(iterator->Current());
  if (!own || own->IsDone()) return kFailure;
  return self.m_XIDesignUnitSet.Remove(own);
}

Status CView::XIFileSet::GetIterator(IFileIterator** files) {
  This().BringManagedFilesInStep();
  return QuietIterator(files);
}

Status CView::XIFileSet::QuietIterator(IFileIterator** files) {
  if (files == nullptr) return kInvalidParameter;
  *files = nullptr;
  AutoRelease<IFileSet> set(new FileList());
  for (const AutoPtr<IHdlDesignUnit>& unit : This().m_XIDesignUnitSet.Units()) {
    if (AutoCast<IFile> file(unit.Get()); file) std::ignore = set->Add(file);
  }
  return set->GetIterator(files);
}

// Only a major view mirrors its files into the parser. The parser properties are the view's
// own instances, found again on every refresh, so that the parser reads the user's settings
// and the view is not registered anew each time.
Status CView::InitializeHDLPackageWrapper() {
  if (!IsMajorView(&m_XIView)) return kFailure;
  if (!m_wrapper) {
    m_wrapper = std::make_unique<CHdlPackageWrapper>();
    m_wrapper->TrackChanges();
    m_wrapperNeedsAll = true;
    m_syncNeedsAll = true;
  }
  std::uint32_t viewId = 0;
  if (GetAutoManageViewID(&m_XIView, &viewId) == kSuccess) m_wrapper->SetViewId(viewId);
  AutoRelease<IProject> owner = Project();
  if (AutoCast<IProject2> project(owner.Get()); project) {
    String directory;
    if (project->GetWorkingDirectory(&directory) == kSuccess) std::ignore = m_wrapper->SetWorkingDirectory(directory);
    String repository;
    if (project->GetRepositoryPath(&repository) == kSuccess && !repository.empty()) {
      Port::FileName name(repository);
      std::ignore = m_wrapper->SetProjectDirectory(name.MakeCanonical().GetHead());
    }
  }
  if (m_wrapperNeedsAll) {
    AutoRelease<IFileIterator> files;
    std::ignore = m_XIFileSet.QuietIterator(files.Receive());
    std::ignore = m_wrapper->SetViewFiles(files);
    m_wrapperNeedsAll = false;
  } else {
    // Only the units that came or went since, in turn: the wrapper keeps the rest as it was
    // handed them, and a unit's last change leaves it where the set has it.
    for (const auto& [unit, holds] : m_wrapperPending) {
      m_wrapper->UpdateViewFile(unit.Get(), holds && AutoCast<IFile>(unit.Get()));
    }
  }
  m_wrapperPending.clear();
  AutoRelease<IPropertyInstanceSet> properties(new PropertyList());
  if (!properties) {
    return Fail(kFailure,
                "Error: CView::InitializeHDLPackageWrapper - Unable to get the IPropertyInstanceSet interface.\n");
  }
  std::ignore = PopulateParserConfigProperties(properties);
  AutoRelease<IPropertyInstanceIterator> it;
  std::ignore = properties->GetIterator(it.Receive());
  if (!it)
    return Fail(kFailure, "Error: CView::UpdateHdlPackagWrapper - Unable to get the IPopertyInstanceIterator.\n");
  return m_wrapper->SetViewProperties(it);
}

Status CView::PopulateParserConfigProperties(IPropertyInstanceSet* config) {
  if (config == nullptr)
    return Fail(kBadParameters, "Error: CView::PopulateParserConfigProperties - Bad Parameters.\n");
  if (!m_design) return Fail(kFailure, "ERROR: View::PopulateParserConfigProperties - No parent Design for View.\n");
  AutoRelease<IDefDataIdIterator> templates;
  if (!m_viewType || m_viewType->GetPropertyTemplates(0, templates.Receive()) != kSuccess || !templates)
    return kSuccess;
  for (std::ignore = templates->Reset(); !templates->IsDone(); std::ignore = templates->Next()) {
    if (AutoRelease<IPropertyInstance> instance = ParserProperty(templates->Current()); instance)
      std::ignore = config->Add(instance);
  }
  return kSuccess;
}

Prjrep::AutoRelease<IPropertyInstance> CView::ParserProperty(CitI::IInterface* definition) {
  if (const String key = GetViewPropertyKeyForTemplate(definition); !key.empty()) {
    if (AutoRelease<IPropertyInstance> setting = m_properties.GetProperty(key); setting) return setting;
  }
  const String name = GetDefDataIdName(definition);
  if (name.empty()) return nullptr;
  if (const auto found = m_parserProperties.find(name); found != m_parserProperties.end()) {
    Prjrep::AddRefObject(found->second.Get());  // the caller's
    return AutoRelease<IPropertyInstance>(found->second.Get());
  }
  AutoRelease<IPropertyInstance> made = CreatePropertyInstance(name);
  if (made) m_parserProperties.emplace(name, AutoPtr<IPropertyInstance>(made.Get()));
  return made;
}

Status CView::RemoveParserConfigProp(IPropertyInstance* instance) {
  if (instance == nullptr)
    return Fail(kBadParameters, "ERROR: Attempted to remove a NULL property instance from the parser config.\n");
  for (auto pos = m_parserProperties.begin(); pos != m_parserProperties.end(); ++pos) {
    if (RootOf(pos->second.Get()) == RootOf(instance)) {
      m_parserProperties.erase(pos);
      return kSuccess;
    }
  }
  return Fail(kOwnerMissing, "ERROR: View::RemoveParserConfigProp - No Parser Config for View.\n");
}

// The refresh that the re-parse asks for runs once, when the delay held here ends.
Status CView::XIHdlElaborationData::RefreshElaboration() {
  CView& self = This();
  AutoPtr<IView> keep(&self.m_XIView);
  std::ignore = self.m_XIBatchDelay.BeginBatch();
  self.RefreshAfterChange();
  for (const AutoPtr<IHdlDesignUnit>& unit : self.m_XIDesignUnitSet.Units()) {
    if (AutoCast<IHdlFile> file(unit.Get()); file) std::ignore = file->SetModified(true);
  }
  if (self.m_wrapper) std::ignore = self.m_wrapper->UpdateElaborationData();
  std::ignore = self.m_XIBatchDelay.EndBatch();
  return kSuccess;
}

}  // namespace Hvd
