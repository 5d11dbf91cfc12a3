#include "design/design/Placement.h"

#include <algorithm>
#include <atomic>
#include <boost/algorithm/string/predicate.hpp>
#include <cctype>
#include <cstdint>
#include <optional>
#include <string_view>

#include "Hvd/IDefData.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IKeyedPropertySet.h"
#include "Hvd/ITransformBindingSets.h"
#include "Hvd/ITransformEngine.h"
#include "Hvd/ITransformInstance.h"
#include "Hvd/IViewManager.h"
#include "design/view/CView.h"
#include "files/FileViewPlacement.h"
#include "files/file/GoneViews.h"
#include "files/file/UserAdded.h"
#include "utils/KeyedProperty.h"
#include "utils/DmUtils.h"

namespace Hvd {

namespace {

using String = Port::StringBase<char>;
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;

// View classes, as a view's BRANCH or SUBBRANCH stands for them (files/FileViewPlacement.h).
constexpr std::uint32_t kBehavioralClass = 1;
constexpr std::uint32_t kMapClass = 6;
constexpr std::uint32_t kParClass = 7;
constexpr std::uint32_t kTranslateClass = 8;
constexpr std::uint32_t kConfigurationClass = 9;

constexpr std::uint32_t kUserSource = 0;
constexpr std::uint32_t kGenerated = 1;

// The class a generated or imported file needs for a view of this SUBBRANCH, if any.
std::optional<std::uint32_t> ClassOfSubBranch(std::string_view subBranch) {
  if (subBranch == "Translate") return kTranslateClass;
  if (subBranch == "Map") return kMapClass;
  if (subBranch == "Par") return kParClass;
  if (subBranch == "FPGAConfiguration") return kConfigurationClass;
  return std::nullopt;
}

AutoRelease<ITransformBindingInstanceSet> SecondBindingSet(CitI::IInterface* holder) {
  AutoRelease<ITransformBindingInstanceSet> set;
  if (AutoCast<ITransformBindingSets> sets(holder); sets) std::ignore = sets->GetSecondBindingSet(set.Receive());
  return set;
}

// Calls `visit` with each element of a set's new iterator, in order.
template <class Set, class Iterator, class Visit>
void ForEachIn(Set* set, Visit visit) {
  AutoRelease<Iterator> it;
  if (set == nullptr || set->GetIterator(it.Receive()) != kSuccess || !it) return;
  for (; !it->IsDone(); std::ignore = it->Next()) visit(it->Current());
}

template <class Visit>
void ForEachBinding(CitI::IInterface* holder, Visit visit) {
  AutoRelease<ITransformBindingInstanceSet> set = SecondBindingSet(holder);
  ForEachIn<ITransformBindingInstanceSet, ITransformBindingInstanceIterator>(set.Get(), visit);
}

// The names of the file types that a transform instance takes.
std::vector<String> InputTypesOf(ITransformInstance* instance) {
  std::vector<String> names;
  AutoRelease<ITransform> transform;
  AutoRelease<IDefDataIdIterator> types;
  if (instance->GetTransform(transform.Receive()) != kSuccess || !transform ||
      transform->GetInputTypes(types.Receive()) != kSuccess || !types)
    return names;
  for (; !types->IsDone(); std::ignore = types->Next()) {
    String name;
    if (IDefDataId* id = types->Current(); id != nullptr && id->GetDefDataIdName(&name) == kSuccess)
      names.push_back(name);
  }
  return names;
}

// Whether a view of these words takes the file.
bool ViewTakesFile(const FileTypeViewCache::ViewWords& words, IFile* file, IViewClassAssociation* classes) {
  const std::uint32_t viewClass = ViewClassOfBranch(words.branch);
  if (!classes->TestBit(viewClass)) return false;
  const std::string_view subBranch = words.subBranch;
  // A file the user added stays the user's source while a source includes it: it keeps the
  // views its classes give, whichever of them read their sources for includes.
  std::uint32_t origin = kUserSource;
  if (!UserAddedManagedFile(file)) std::ignore = file->GetOriginState(&origin);
  if (subBranch == "Abstract" && viewClass <= kBehavioralClass && origin != kUserSource) return false;
  if (subBranch == "PreSynthesis" && origin == kGenerated) {
    String typeName = GetDefDataIdName(file);
    if (typeName.empty()) typeName = "unknown";
    if (boost::algorithm::iequals(typeName.str(), "FILE_EDIF") || boost::algorithm::iequals(typeName.str(), "FILE_NGC"))
      return false;
  }
  if (origin != kUserSource) {
    if (const auto needed = ClassOfSubBranch(subBranch); needed && !classes->TestBit(*needed)) return false;
  }
  return true;
}

}  // namespace

// The file's design unit joins the view's units, and the file the inputs of every transform
// instance of the view's bindings that takes its type (`fileType`).
void FileTypeViewCache::AddFileToView(IFile* file, IView* view, const String& fileType) {
  AutoCast<IHdlDesignUnit> unit(file);
  if (AutoCast<IHdlDesignUnitSet> units(view); unit && units) std::ignore = units->Add(unit.Get());
  for (const ViewInstance& instance : InstancesOf(view)) {
    if (std::find(instance.inputTypes->begin(), instance.inputTypes->end(), fileType) == instance.inputTypes->end())
      continue;
    AutoRelease<Prjrep::ISet> inputs;
    if (instance.instance->GetInputFiles(inputs.Receive()) == kSuccess && inputs) std::ignore = inputs->Add(file);
  }
}

// Read once per operation: placing a project's files walks each view's bindings once per file,
// and placing a file only adds it to the instances' inputs, which leaves the bindings as they are.
const std::vector<FileTypeViewCache::ViewInstance>& FileTypeViewCache::InstancesOf(IView* view) {
  auto [found, added] = m_instances.try_emplace(view);
  std::vector<ViewInstance>& instancesOfView = found->second;
  if (!added) return instancesOfView;
  ForEachBinding(view, [&](ITransformBindingInstance* binding) {
    AutoRelease<ITransformInstanceIterator> instances;
    if (binding == nullptr || binding->GetTransformInstances(instances.Receive()) != kSuccess || !instances) return;
    for (; !instances->IsDone(); std::ignore = instances->Next()) {
      ITransformInstance* instance = instances->Current();
      if (instance == nullptr) continue;
      auto [known, first] = m_inputTypes.try_emplace(instance);
      if (first) known->second = InputTypesOf(instance);
      instancesOfView.push_back({AutoPtr<ITransformInstance>(instance), &known->second});
    }
  });
  return instancesOfView;
}

// Read once per operation: placing a project's files asks for them once per file and view.
const FileTypeViewCache::ViewWords& FileTypeViewCache::WordsOf(IView* view) {
  auto [found, added] = m_words.try_emplace(view);
  if (added) found->second = {GetKeyedPropertyValue(view, "BRANCH"), GetKeyedPropertyValue(view, "SUBBRANCH")};
  return found->second;
}

// Records every view it reaches from the initial view under each type it accepts, following
// the bindings of each view's second set to the views downstream.
class FileTypeViewCache::ViewPopulator {
 public:
  explicit ViewPopulator(FileTypeViewCache* cache) : m_cache(cache) {}

  void AddView(IView* view) {
    if (view == nullptr) return;
    // A network that leads back to a view on the way here would make the walk endless; the
    // way back is not followed. A view reached along two ways is still recorded twice.
    if (std::find(m_path.begin(), m_path.end(), view) != m_path.end()) return;
    Record(view);
    m_path.push_back(view);
    ForEachBinding(view, [this](ITransformBindingInstance* binding) { AddViews(binding); });
    m_path.pop_back();
  }

 private:
  void Record(IView* view) {
    AutoRelease<IViewType> type;
    AutoRelease<IDefDataIdIterator> ids;
    if (view->GetType(type.Receive()) != kSuccess || !type || type->GetDesignUnitTypeIds(ids.Receive()) != kSuccess ||
        !ids)
      return;
    for (; !ids->IsDone(); std::ignore = ids->Next()) {
      String key;
      if (IDefDataId* id = ids->Current(); id != nullptr) std::ignore = id->GetDefDataIdName(&key);
      if (!key.empty()) m_cache->m_views[key].push_back(view);
    }
  }

  void AddViews(ITransformBindingInstance* binding) {
    AutoRelease<Prjrep::IIterator> targets;
    if (binding == nullptr || binding->GetTargets(targets.Receive()) != kSuccess || !targets) return;
    for (; !targets->IsDone(); std::ignore = targets->Next()) {
      if (AutoCast<IView> view(targets->Current()); view) AddView(view.Get());
    }
  }

  FileTypeViewCache* m_cache;
  std::vector<IView*> m_path;
};

FileTypeViewCache::FileTypeViewCache(IProject* project) : m_project(project) {}

FileTypeViewCache::~FileTypeViewCache() = default;

void FileTypeViewCache::Fill() {
  IDesign* design = nullptr;  // borrowed: the project keeps its design
  if (!m_project || m_project->GetDesign(&design) != kSuccess) return;
  AutoCast<IViewManager> manager(design);
  AutoRelease<IViewIterator> views;
  if (!manager || manager->GetViews(views.Receive()) != kSuccess || !views) return;
  IView* initial = nullptr;
  for (; !views->IsDone() && initial == nullptr; std::ignore = views->Next()) {
    IView* view = views->Current();
    AutoRelease<IViewType> type;
    if (view != nullptr && view->GetType(type.Receive()) == kSuccess && GetDefDataIdName(type.Get()) == "VIEW_Initial")
      initial = view;
  }
  ViewPopulator(this).AddView(initial);
}

// The views are listed under the types of design unit they accept, as the views themselves
// decide what they take; a file is looked up by the type of its design unit.
bool FileTypeViewCache::GetViewsForFile(CitI::IInterface* file, ViewList* views) {
  if (views == nullptr) return false;
  if (m_views.empty()) Fill();
  const auto found = m_views.find(GetDesignUnitTypeName(file));
  if (found == m_views.end()) return false;
  *views = found->second;
  return true;
}

bool FileTypeViewCache::GetViewsTakingFile(IFile* file, ViewList* views) {
  if (views == nullptr) return false;
  views->clear();
  ViewList typed;
  AutoCast<IViewClassAssociation> classes(file);
  if (file == nullptr || !classes || !GetViewsForFile(file, &typed)) return false;
  for (IView* view : typed) {
    if (ViewTakesFile(WordsOf(view), file, classes.Get())) views->push_back(view);
  }
  return !views->empty();
}

void FileTypeViewCache::UpdateFileViews(IFile* file, const std::vector<ViewBranchWords>* only) {
  ViewList views;
  if (!GetViewsTakingFile(file, &views)) return;
  // The file's type name, read once for all of its views.
  const String fileType = GetDefDataIdName(file);
  for (IView* view : views) {
    const ViewWords& words = WordsOf(view);
    if (only != nullptr && std::none_of(only->begin(), only->end(), [&](const ViewBranchWords& kept) {
          return kept.branch == words.branch && kept.subBranch == words.subBranch;
        }))
      continue;
    AddFileToView(file, view, fileType);
  }
}

void FileTypeViewCache::UpdateAllFileViews() {
  AutoCast<IFileManager> manager(m_project.Get());
  AutoRelease<IHdlFileIterator> files;
  if (!manager || manager->GetProjectFiles(files.Receive()) != kSuccess || !files) return;
  BatchDelayScope delay(m_project.Get());
  // Collected first: placing a file may change what the project's iterator walks.
  std::vector<AutoPtr<IFile>> all;
  all.reserve(1000);
  for (; !files->IsDone(); std::ignore = files->Next()) {
    if (AutoCast<IFile> file(files->Current()); file) all.emplace_back(file);
  }
  for (const AutoPtr<IFile>& file : all) UpdateFileViews(file.Get());
}

BatchDelayScope::BatchDelayScope(IProject* project) : m_project(project) {
  IDesign* design = nullptr;  // borrowed: the project keeps its design
  if (!m_project || m_project->GetDesign(&design) != kSuccess || design == nullptr) return;
  if (AutoCast<IViewManager> manager(design); manager) {
    AutoRelease<IViewIterator> views;
    if (manager->GetViews(views.Receive()) == kSuccess && views) {
      for (; !views->IsDone(); std::ignore = views->Next()) {
        if (AutoCast<IBatchDelay> delay(views->Current()); delay) m_delayed.emplace_back(delay);
      }
    }
  }
  AutoRelease<ITransformEngine> engine;
  if (design->GetTOE(engine.Receive()) == kSuccess) {
    if (AutoCast<IBatchDelay> delay(engine.Get()); delay) m_delayed.emplace_back(delay);
  }
  for (const AutoPtr<IBatchDelay>& delay : m_delayed) std::ignore = delay->BeginBatch();
}

BatchDelayScope::~BatchDelayScope() {
  for (const AutoPtr<IBatchDelay>& delay : m_delayed) std::ignore = delay->EndBatch();
}

void PlaceAllFilesInViews(IProject* project) { FileTypeViewCache(project).UpdateAllFileViews(); }

// Only a file of an open project that holds it: a file still being made, or one the project
// has let go, stays out of the views. A user's file back on disk goes back into the views it
// was in when it went. Any other is one the views took because a source includes it, and a
// user's file may be included too: the sources' scans did not find it while it was gone, so
// each view that follows its sources' includes looks again.
void PlaceProjectFileInViews(IFile* file, IDesign* design, bool backOnDisk) {
  AutoRelease<IProject> project;
  bool open = false;
  if (design->GetProject(project.Receive()) != kSuccess || !project || project->IsOpen(&open) != kSuccess || !open)
    return;
  AutoCast<IFileManager> files(project.Get());
  AutoRelease<IHdlFileIterator> at;
  if (!files || files->FindFileByHdlFile(file, at.Receive()) != kSuccess || !at || at->IsDone()) return;
  std::uint32_t origin = kUserSource;
  if (backOnDisk) std::ignore = file->GetOriginState(&origin);
  if (origin == kUserSource || UserAddedManagedFile(file))
    FileTypeViewCache(project.Get()).UpdateFileViews(file, backOnDisk ? ViewsWhenGone(file) : nullptr);
  if (!backOnDisk) return;
  ForEachOwnView(design, [](CView& view) { view.LookAgainForIncludes(); });
}

void ForEachOwnView(IDesign* design, const std::function<void(CView&)>& act) {
  AutoCast<IViewManager> manager(design);
  AutoRelease<IViewIterator> views;
  if (!manager || manager->GetViews(views.Receive()) != kSuccess || !views) return;
  std::vector<AutoPtr<IView>> all;
  for (; !views->IsDone(); std::ignore = views->Next()) all.emplace_back(views->Current());
  for (const AutoPtr<IView>& view : all) {
    if (CView* own = CView::FromInterface(view.Get()); own != nullptr) act(*own);
  }
}

namespace {
std::atomic<TransformStatusReader> g_transformStatusReader{nullptr};
}  // namespace

void SetTransformStatusReader(TransformStatusReader reader) noexcept { g_transformStatusReader.store(reader); }

Status ReadTransformStatusBack(IProject* project, const Port::StringBase<char>& path) {
  const TransformStatusReader reader = g_transformStatusReader.load();
  return reader != nullptr ? reader(project, path) : kNotSupported;
}

}  // namespace Hvd
