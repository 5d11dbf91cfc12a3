// The view's design hierarchy: parsed through its HDL package wrapper under one lock for the
// whole process, and the files that the view manages itself (the children that the parser
// found for its files) kept in step with every new hierarchy.

#include <algorithm>
#include <iterator>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Hvd/IFile.h"
#include "Hvd/IHdlFile.h"
#include "Port/MsgMan.h"
#include "Prjrep/IFileNameHelper.h"
#include "core/Diagnostics.h"
#include "design/design/Placement.h"
#include "design/view/CView.h"
#include "files/file/GoneViews.h"
#include "files/file/RelationStamp.h"
#include "files/file/UserAdded.h"
#include "utils/DmUtils.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

// Views parse one at a time; a parse that reaches another view's parse on the same thread goes on.
std::recursive_mutex& HierarchyLock() {
  static std::recursive_mutex s_lock;
  return s_lock;
}

std::string FullNameOf(CitI::IInterface* file) {
  AutoCast<Prjrep::IFileNameHelper> names(file);
  String name;
  if (names) std::ignore = names->GetFullName(&name);
  return name.str();
}

// Holds a view's batch delay, so that the files a sync adds and removes refresh it once.
class BatchScope {
 public:
  explicit BatchScope(IView* view) : m_delay(view) {
    if (m_delay) std::ignore = m_delay->BeginBatch();
  }
  BatchScope(const BatchScope&) = delete;
  BatchScope& operator=(const BatchScope&) = delete;
  ~BatchScope() {
    if (m_delay) std::ignore = m_delay->EndBatch();
  }

 private:
  AutoPtr<IBatchDelay> m_delay;
};

}  // namespace

CView* CView::FromInterface(CitI::IInterface* object) {
  if (object == nullptr) return nullptr;
  auto* face = dynamic_cast<XIView*>(object->QueryInterface(IView::GetIID()));
  return face != nullptr ? &face->View() : nullptr;
}

Status CView::ParseHierarchy(IHdlNetListNode** root) {
  if (root == nullptr) return kBadParameters;
  *root = nullptr;
  if (!m_wrapper) return kFailure;
  if (GetDisableAutoHierRegen()) {
    Port_MsgManData::createObject("ProjectMgmt", "../src/CView", 2076, "$Revision: 1.185 $")
        .issueWarning(
            "Hierarchy Parsing is necessary due to the requested operation and is being performed at this "
            "time.\n");
  }
  AutoPtr<IView> keep(&m_XIView);
  const std::lock_guard<std::recursive_mutex> hold(HierarchyLock());
  bool changed = false;
  // What the parse tells its listeners may read the view's files, which must not parse again.
  ++m_quietReads;
  const Status status = m_wrapper->GetHierarchy(root, &changed);
  --m_quietReads;
  if (status == kSuccess) m_includesMayChange = false;
  // A failed parse lists no children: the managed files stay until a parse succeeds.
  if (changed && status == kSuccess) SyncAutoManagedFilesOfPair();
  return status;
}

void CView::BringManagedFilesInStep() {
  if (m_quietReads > 0 || m_refreshing || Port::SafeRead(m_batchCount) > 0) return;
  if (IsMajorView(&m_XIView)) {
    ParseForManagedFiles();
    return;
  }
  const std::vector<AutoPtr<IView>> pairs = OtherMajorViewsToParse([this](CView& major) {
    const String word = ChildViewWord(&major.m_XIView);
    return !word.empty() && FromInterface(major.GetFirstViewForHint(word).Get()) == this;
  });
  for (const AutoPtr<IView>& pair : pairs) FromInterface(pair.Get())->BringManagedFilesInStep();
}

std::vector<Prjrep::AutoPtr<IView>> CView::OtherMajorViewsToParse(const std::function<bool(CView&)>& also) {
  std::vector<AutoPtr<IView>> found;
  AutoCast<IViewManager> manager(m_design.Get());
  AutoRelease<IViewIterator> views;
  if (!manager || manager->GetViews(views.Receive()) != kSuccess || !views) return found;
  for (; !views->IsDone(); std::ignore = views->Next()) {
    CView* major = FromInterface(views->Current());
    if (major != nullptr && major != this && major->m_includesMayChange && IsMajorView(&major->m_XIView) &&
        also(*major))
      found.emplace_back(&major->m_XIView);
  }
  return found;
}

void CView::BringOtherMajorViewsInStep() {
  if (m_quietReads > 0 || m_refreshing || Port::SafeRead(m_batchCount) > 0 || !IsMajorView(&m_XIView)) return;
  ParseForManagedFiles();
  // Only a managed file that no source of this view includes is managed through another view.
  std::uint32_t category = 0;
  if (GetAutoManageViewID(&m_XIView, &category) != kSuccess) return;
  const bool throughOthers = std::any_of(m_managedUnits.begin(), m_managedUnits.end(), [category](const auto& entry) {
    AutoCast<IHdlFileV4> file(entry.second.Get());
    AutoRelease<IHdlFileIterator> parents;
    return file && file->GetParentFiles(category, parents.Receive()) == kSuccess && parents && parents->IsDone();
  });
  if (!throughOthers) return;
  const std::vector<AutoPtr<IView>> others = OtherMajorViewsToParse([](CView&) { return true; });
  for (const AutoPtr<IView>& other : others) FromInterface(other.Get())->BringManagedFilesInStep();
}

// Only a change to a file the parser may read as Verilog, or to its settings, can bring or take
// managed files: after any other the view is not parsed again for them.
void CView::ParseForManagedFiles() {
  if (!m_wrapper || !m_includesMayChange || !IsMajorView(&m_XIView) || GetDisableAutoHierRegen()) return;
  AutoRelease<IHdlNetListNode> root;
  std::ignore = ParseHierarchy(root.Receive());
}

// The view and the design's view that answers for it in child projects each take their managed
// files from the new hierarchy. Both hold their batch delay meanwhile: every file added or
// removed would otherwise refresh the view, and the refresh parses again.
void CView::SyncAutoManagedFilesOfPair() {
  const String word = ChildViewWord(&m_XIView);
  AutoPtr<IView> paired;
  if (!word.empty()) paired = GetFirstViewForHint(word);
  CView* other = FromInterface(paired.Get());
  if (other == this) other = nullptr;

  BatchScope own(&m_XIView);
  BatchScope theirs(other != nullptr ? &other->m_XIView : nullptr);
  bool changed = false;
  std::ignore = SyncAutoManagedFiles(&changed);
  if (other != nullptr) std::ignore = other->SyncAutoManagedFiles(nullptr);
  // A refresh under way drops what it hears meanwhile; the parser must still see the new files.
  if (changed && m_refreshing) std::ignore = InitializeHDLPackageWrapper();
}

namespace {

// Reads the child files of `unit` in `category` by full name; false when it has none.
bool ReadChildFiles(IHdlDesignUnit* unit, std::uint32_t category,
                    std::vector<std::pair<std::string, AutoPtr<IHdlDesignUnit>>>* read) {
  AutoCast<IHdlFileV4> file(unit);
  AutoRelease<IHdlFileIterator> children;
  if (!file || file->GetChildFiles(category, children.Receive()) != kSuccess || !children) return false;
  bool any = false;
  for (; !children->IsDone(); std::ignore = children->Next()) {
    any = true;
    IHdlFile* child = children->Current();
    if (!AutoCast<IFile>(child) || !AutoCast<Prjrep::IFileNameHelper>(child)) continue;
    read->emplace_back(FullNameOf(child), AutoPtr<IHdlDesignUnit>(child));
  }
  return any;
}

constexpr std::uint64_t kUnstamped = std::numeric_limits<std::uint64_t>::max();

}  // namespace

void CView::WantSyncChildren(const SyncChildren& children, bool wanted) {
  for (const auto& [name, unit] : children) {
    if (wanted) {
      m_syncWanted[name].push_back(unit);
      continue;
    }
    auto at = m_syncWanted.find(name);
    if (at == m_syncWanted.end()) continue;
    auto& units = at->second;
    if (auto same = std::find(units.begin(), units.end(), unit); same != units.end()) units.erase(same);
    if (units.empty()) m_syncWanted.erase(at);
  }
}

void CView::ReadSyncParent(IHdlDesignUnit* unit, std::uint32_t category) {
  CitI::IInterface* root = RootOf(unit);
  auto at = m_syncParents.find(root);
  if (at != m_syncParents.end()) {
    WantSyncChildren(at->second.children, false);
    if (at->second.stamp == kUnstamped) --m_syncUnstamped;
    m_syncParents.erase(at);
  }
  SyncParent parent{AutoPtr<IHdlDesignUnit>(unit), {}, FileChildrenStamp(unit)};
  if (!m_XIDesignUnitSet.Holds(root) || !ReadChildFiles(unit, category, &parent.children)) return;
  WantSyncChildren(parent.children, true);
  if (parent.stamp == kUnstamped) ++m_syncUnstamped;
  m_syncParents.emplace(root, std::move(parent));
}

// The managed files are taken from the units that have child files. Once the view has looked at
// every unit, it reads again only the children of the units that came, went or told of a change
// since, and of those whose children changed since the last look, so that a new hierarchy costs
// in proportion to what changed.
Status CView::SyncAutoManagedFiles(bool* changed) {
  if (changed != nullptr) *changed = false;
  AutoPtr<IView> keep(&m_XIView);
  std::uint32_t category = 0;
  if (const Status status = GetAutoManageViewID(&m_XIView, &category); status != kSuccess) return status;

  // Read first: a change made while the children are read is read again at the next look.
  const std::uint64_t epoch = FileRelationEpoch();
  std::map<std::string, AutoPtr<IHdlDesignUnit>> present;
  std::vector<AutoPtr<IHdlDesignUnit>> untaken;
  if (m_syncNeedsAll || category != m_syncCategory) {
    m_syncParents.clear();
    m_syncWanted.clear();
    m_syncUnstamped = 0;
    m_managedUnits.clear();
    m_syncTouched.clear();
    // Only the names that a managed file or a wanted child has are looked up below, so only the
    // first file of each such name is kept: a name for every file of a large view would be held
    // at once for nothing.
    std::set<std::string> managedNames;
    m_XIDesignUnitSet.ForEach([&](IHdlDesignUnit* unit) {
      if (HoldsUntakenUserFile(unit)) untaken.emplace_back(unit);
      if (!AutoCast<IFile>(unit) || !IsManagedFile(unit)) return;
      managedNames.insert(FullNameOf(unit));
      m_managedUnits.emplace(RootOf(unit), AutoPtr<IHdlDesignUnit>(unit));
    });
    m_XIDesignUnitSet.ForEach([&](IHdlDesignUnit* unit) { ReadSyncParent(unit, category); });
    if (!managedNames.empty() || !m_syncWanted.empty()) {
      m_XIDesignUnitSet.ForEach([&](IHdlDesignUnit* unit) {
        if (!AutoCast<IFile>(unit)) return;
        std::string name = FullNameOf(unit);
        if (managedNames.count(name) > 0 || m_syncWanted.count(name) > 0)
          present.emplace(std::move(name), AutoPtr<IHdlDesignUnit>(unit));
      });
    }
    m_syncCategory = category;
    m_syncNeedsAll = false;
  } else {
    for (const AutoPtr<IHdlDesignUnit>& unit : std::exchange(m_syncTouched, {})) {
      ReadSyncParent(unit.Get(), category);
      // One that told of a change while the view parsed, when it did not let it go at once.
      if (HoldsUntakenUserFile(unit.Get())) untaken.push_back(unit);
    }
    if (epoch != m_syncEpoch || m_syncUnstamped > 0) {
      std::vector<AutoPtr<IHdlDesignUnit>> stale;
      // A parent read again just now, as one touched, is not read a second time.
      for (const auto& [root, parent] : m_syncParents) {
        if (parent.stamp == kUnstamped || FileChildrenStamp(parent.unit.Get()) != parent.stamp)
          stale.push_back(parent.unit);
      }
      for (const AutoPtr<IHdlDesignUnit>& unit : stale) ReadSyncParent(unit.Get(), category);
    }
    for (auto at = m_managedUnits.begin(); at != m_managedUnits.end();) {
      if (!m_XIDesignUnitSet.Holds(at->first) || !IsManagedFile(at->second.Get())) {
        // A file that became the user's stays only when it is of a kind the view takes.
        bool taken = true;
        if (m_XIDesignUnitSet.Holds(at->first)) std::ignore = m_XIView.AcceptsDesignUnit(at->second.Get(), &taken);
        if (!taken) untaken.push_back(at->second);
        at = m_managedUnits.erase(at);
        continue;
      }
      if (AutoCast<IFile>(at->second.Get())) present.emplace(FullNameOf(at->second.Get()), at->second);
      ++at;
    }
  }
  m_syncEpoch = epoch;

  // A managed file the user added stays: it is the user's once nothing includes it, which a
  // source of another view may still do.
  for (const auto& [name, unit] : present) {
    if (!IsManagedFile(unit.Get()) || m_syncWanted.count(name) > 0 || UserAddedManagedFile(unit.Get())) continue;
    untaken.push_back(unit);
  }
  for (const AutoPtr<IHdlDesignUnit>& unit : untaken) {
    AutoRelease<IHdlDesignUnitIterator> at = m_XIDesignUnitSet.IteratorOf(unit.Get());
    if (at && !at->IsDone() && m_XIDesignUnitSet.Remove(at) == kSuccess && changed != nullptr) *changed = true;
  }
  // Added after the look: an addition tells the view, which may touch what is being walked.
  std::vector<AutoPtr<IHdlDesignUnit>> missing;
  std::vector<AutoPtr<IFile>> usersFiles;
  for (const auto& [name, units] : m_syncWanted) {
    const AutoPtr<IHdlDesignUnit>& unit = units.front();
    if (!unit || present.count(name) > 0 || m_XIDesignUnitSet.Holds(unit.Get())) continue;
    // Off the disk, it has left its views as any source does, and goes back into them when it is back.
    if (IsOffTheDisk(unit.Get())) continue;
    if (AutoCast<IFile> file(unit.Get()); file && UserAddedManagedFile(unit.Get())) {
      usersFiles.emplace_back(file.Get());
    } else {
      missing.push_back(unit);
    }
  }
  for (const AutoPtr<IHdlDesignUnit>& unit : missing) {
    if (m_XIDesignUnitSet.Add(unit.Get()) == kSuccess && changed != nullptr) *changed = true;
  }
  // A file the user added is in the views its classes give, whether or not they read their
  // sources for includes yet: it joins them all now, as its type became its includer's. This
  // view wants it, so it takes it as any file it wants, though its classes leave the view out
  // (a project file that recorded it for another view only).
  if (!usersFiles.empty()) {
    AutoRelease<IProject> project = Project();
    const BatchDelayScope delay(project.Get());
    FileTypeViewCache placement(project.Get());
    for (const AutoPtr<IFile>& file : usersFiles) {
      placement.UpdateFileViews(file.Get());
      AutoCast<IHdlDesignUnit> unit(file.Get());
      if (unit && !m_XIDesignUnitSet.Holds(unit.Get())) std::ignore = m_XIDesignUnitSet.Add(unit.Get());
      if (changed != nullptr && m_XIDesignUnitSet.Holds(file.Get())) *changed = true;
    }
  }
  return kSuccess;
}

Prjrep::AutoPtr<IView> CView::GetFirstViewForHint(const String& hint) {
  AutoCast<IViewManager> manager(m_design.Get());
  AutoRelease<IViewIterator> at;
  if (hint.empty() || !manager || manager->FindViewByHint(hint, at.Receive()) != kSuccess || !at || at->IsDone())
    return nullptr;
  return AutoPtr<IView>(at->Current());
}

Status CView::XIHdlElaborationData::GetDesignGraph(IHdlNetListNode** root) {
  CView& self = This();
  if (!IsMajorView(&self.m_XIView)) {
    if (root != nullptr) *root = nullptr;
    AutoPtr<IView> major = self.GetMajorView();
    AutoRelease<IHdlElaborationData> data;
    if (!major || major->GetElaborationData(data.Receive()) != kSuccess || !data) return kFailure;
    return data->GetDesignGraph(root);
  }
  if (root == nullptr)
    return Fail(kBadParameters, "Error: XIHdlElaborationData::getDesignGraph - Invalid parameter(s).\n");
  *root = nullptr;
  if (!self.GetAutoCompileOrder()) return kSuccess;
  if (!self.m_wrapper) return kFailure;
  return self.ParseHierarchy(root);
}

}  // namespace Hvd
