#include "pr/helper/DesignWalk.h"

#include "Hvd/IDesign.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IFile.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Prjrep/IName.h"
#include "childproject/FileComposer.h"
#include "childproject/Originators.h"
#include "pr/helper/Diagnostics.h"
#include "pr/helper/Names.h"
#include "utils/DmUtils.h"

namespace Hvd::prhelper {
namespace {

using String = Port::StringBase<char>;

// The view whose elaboration the walk follows.
constexpr const char* kSynthesisView = "VIEW_AbstractSynthesis";

}  // namespace

void WalkHdlDesignGraph::WalkFromTop(IHdlNetListNode* top) {
  if (top == nullptr) return;
  Prjrep::AutoRelease<IHdlNetListNodeIterator> children;
  std::ignore = top->GetChildren(children.Receive());
  for (; children.Get() != nullptr && !children->IsDone(); std::ignore = children->Next())
    Walk(Prjrep::AutoCast<IHdlNetListNode>(children->CurrentItem()).Get(), true, String());
}

void WalkHdlDesignGraph::Walk(IHdlNetListNode* node, bool topLevel, const String& parentPath) {
  if (node == nullptr) return;
  Visit(node, topLevel, parentPath);
  const String path = BuildNodePath(node, parentPath);
  Prjrep::AutoRelease<IHdlNetListNodeIterator> children;
  std::ignore = node->GetChildren(children.Receive());
  for (; children.Get() != nullptr && !children->IsDone(); std::ignore = children->Next())
    Walk(Prjrep::AutoCast<IHdlNetListNode>(children->CurrentItem()).Get(), false, path);
}

String BuildNodePath(IHdlNetListNode* node, const String& parentPath) {
  if (node == nullptr) return String();
  String name;
  std::ignore = node->GetInstanceName(&name);
  if (!name.empty()) return parentPath + "/" + name;
  if (!parentPath.empty()) return String();
  Prjrep::AutoRelease<CitI::IInterface> unit(node->GetDesignUnit());
  return String("/") + GetObjectNameField(unit.Get());
}

RecordAboveBelow::RecordAboveBelow(const String& instancePath, FileKeyList& below, FileKeyList& above)
    : m_instancePath(instancePath),
      m_below(below),
      m_above(above),
      m_instancePathLength(static_cast<std::uint32_t>(instancePath.size())) {}

int RecordAboveBelow::Classify(const String& path) const {
  const std::string& text = path.str();
  if (text == m_instancePath.str()) return 0;
  if (text.size() > m_instancePathLength && text[m_instancePathLength] == '/' &&
      text.compare(0, m_instancePathLength, m_instancePath.str()) == 0)
    return 1;
  return 2;
}

void RecordAboveBelow::Visit(IHdlNetListNode* node, bool, const String& parentPath) {
  Prjrep::AutoRelease<CitI::IInterface> unit(node->GetDesignUnit());
  Prjrep::AutoCast<IHdlElement> element(unit.Get());
  Prjrep::AutoRelease<IHdlFile> file;
  if (element.Get() != nullptr) std::ignore = element->GetHdlFile(file.Receive());
  if (file.Get() == nullptr) return;
  String directory;
  String name;
  std::ignore = file->GetPath(&directory, &name);
  const String key = directory + name;
  switch (Classify(BuildNodePath(node, parentPath))) {
    case 0:
      // The partition's own file goes in even when it is there already.
      m_below.Append(key);
      m_ownFile = key;
      m_partitionNode = node;
      break;
    case 1: m_below.AppendUnlessPresent(key); break;
    default: m_above.AppendUnlessPresent(key); break;
  }
  Prjrep::AutoCast<IDesignGraphLocatorSet> locators(file.Get());
  Prjrep::AutoRelease<Prjrep::IStringIterator> each;
  if (locators.Get() != nullptr) std::ignore = locators->GetIterator(each.Receive());
  bool inside = false;
  bool outside = false;
  for (; each.Get() != nullptr && !each->IsDone(); std::ignore = each->Next()) {
    if (Classify(each->Current()) == 2) {
      outside = true;
    } else {
      inside = true;
    }
  }
  if (inside) m_below.AppendUnlessPresent(key);
  if (outside) m_above.AppendUnlessPresent(key);
}

ElaboratedTop GetElaboratedTop(CitI::IInterface* design) {
  ElaboratedTop result;
  Prjrep::AutoCast<IViewManager> views(design);
  Prjrep::AutoRelease<IViewIterator> it;
  if (views.Get() != nullptr) std::ignore = views->GetViews(it.Receive());
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    IView* view = it->Current();
    Prjrep::AutoRelease<IViewType> type;
    if (view == nullptr || view->GetType(type.Receive()) != kSuccess) continue;
    if (GetDefDataIdName(type.Get()).str() != kSynthesisView) continue;
    std::ignore = view->GetElaborationData(result.data.Receive());
    break;
  }
  if (result.data.Get() != nullptr) std::ignore = result.data->GetDesignGraph(result.top.Receive());
  return result;
}

namespace {

// The walk of CollectPartitionFiles; `partition` gets the partition instance's node, when asked.
Status CollectFrom(IHdlNetListNode* top, const String& instancePath, FileKeyList& below, FileKeyList& result,
                   Prjrep::AutoPtr<IHdlNetListNode>* partition) {
  FileKeyList above;
  RecordAboveBelow walker(instancePath, below, above);
  walker.WalkFromTop(top);
  if (above.Contains(walker.OwnFile())) {
    UserWarning(1406,
                "Conflict encountered creating a separate project at path %s with file %s\nHoles in the design "
                "hierarchy may exist.  Inspect your design and consider breaking up the file in separate modules "
                "and/or replicating modules.\n",
                instancePath.c_str(), walker.OwnFile().c_str());
  }
  for (const String& key : below.Keys()) {
    if (above.Contains(key) && key.str() != walker.OwnFile().str()) continue;
    result.Append(key);
  }
  if (partition != nullptr) *partition = walker.PartitionNode();
  return kSuccess;
}

// The files that the partition's unit needs in the view's compile order (the global includes,
// its packages and their bodies, the units below it, its own file): a flavor project without
// them cannot be compiled.
void AppendCompileOrderFiles(IHdlElaborationData* data, IHdlNetListNode* partition, FileKeyList& files) {
  if (data == nullptr || partition == nullptr) return;
  Prjrep::AutoRelease<CitI::IInterface> unit(partition->GetDesignUnit());
  Prjrep::AutoCast<IHdlDesignUnit> top(unit.Get());
  Prjrep::AutoRelease<IHdlFileIterator> order;
  // Without a unit the view would give the order of the whole design.
  if (top.Get() == nullptr || data->GetCompileOrder(top.Get(), 0, order.Receive()) != kSuccess) return;
  for (; order.Get() != nullptr && !order->IsDone(); std::ignore = order->Next()) {
    const String path = GetObjectFullPath(order->Current());
    if (!path.empty()) files.AppendUnlessPresent(path);
  }
}

// The files that the static project's files include, and what those include in turn.
void AppendIncludedFiles(IProject* staticProject, FileKeyList& files) {
  for (std::size_t at = 0; at < files.Keys().size(); ++at) {
    Prjrep::AutoRelease<IFile> file = FindFileByPath(staticProject, files.Keys()[at]);
    Prjrep::AutoCast<IHdlFileV4> relations(file.Get());
    if (relations.Get() == nullptr) continue;
    for (std::uint32_t category = 0; category < 6; ++category) {
      Prjrep::AutoRelease<IHdlFileIterator> children;
      if (relations->GetChildFiles(category, children.Receive()) != kSuccess) continue;
      for (; children.Get() != nullptr && !children->IsDone(); std::ignore = children->Next()) {
        const String path = GetObjectFullPath(children->Current());
        if (!path.empty()) files.AppendUnlessPresent(path);
      }
    }
  }
}

// The flavor's file goes into the library that the static project's file of that path is in.
void KeepLibrary(IProject* staticProject, IProject* flavorProject, const String& path) {
  Prjrep::AutoRelease<IFile> source = FindFileByPath(staticProject, path);
  Prjrep::AutoRelease<IFile> copy = FindFileByPath(flavorProject, path);
  Prjrep::AutoCast<ISourceLibraryMember> member(copy.Get());
  if (source.Get() == nullptr || member.Get() == nullptr) return;
  const String name = GetFileLibraryName(source.Get());
  if (name.empty() || GetFileLibraryName(copy.Get()).str() == name.str()) return;
  Prjrep::AutoRelease<ISourceLibrary> library = FindOrCreateSourceLibrary(flavorProject, name);
  if (library.Get() != nullptr) std::ignore = member->SetLibrary(library.Get());
}

}  // namespace

Status CollectPartitionFiles(IHdlNetListNode* top, const String& instancePath, FileKeyList& below,
                             FileKeyList& result) {
  return CollectFrom(top, instancePath, below, result, nullptr);
}

Status CollectPartitionFiles(const String& instancePath, IProject* staticProject, FileKeyList& below,
                             FileKeyList& result) {
  IDesign* design = nullptr;  // borrowed: the project keeps its design
  if (staticProject != nullptr) std::ignore = staticProject->GetDesign(&design);
  // Held for the whole walk: the nodes belong to the elaboration data.
  const ElaboratedTop top = GetElaboratedTop(design);
  return CollectPartitionFiles(top.top.Get(), instancePath, below, result);
}

// The static project keeps what the partition's files need: it still compiles its other units
// with them.
Status DistributePartitionFiles(const String& instancePath, IProject* staticProject, IProject* flavorProject) {
  FileKeyList below;
  FileKeyList result;
  IDesign* design = nullptr;  // borrowed: the project keeps its design
  if (staticProject != nullptr) std::ignore = staticProject->GetDesign(&design);
  const ElaboratedTop top = GetElaboratedTop(design);
  Prjrep::AutoPtr<IHdlNetListNode> partition;
  std::ignore = CollectFrom(top.top.Get(), instancePath, below, result, &partition);
  AppendCompileOrderFiles(top.data.Get(), partition.Get(), below);
  AppendIncludedFiles(staticProject, below);
  Prjrep::AutoRelease<IProjectHelper> staticHelper = GetCvfProject(staticProject, false);
  Prjrep::AutoRelease<IProjectHelper> flavorHelper = GetCvfProject(flavorProject, false);
  if (Prjrep::AutoCast<IProjSrcHelper> sources(staticHelper.Get()); sources.Get() != nullptr) {
    for (const String& key : result.Keys()) std::ignore = sources->HandOverSource(key);
  }
  if (Prjrep::AutoCast<IProjSrcHelper> sources(flavorHelper.Get()); sources.Get() != nullptr) {
    for (const String& key : below.Keys()) {
      std::ignore = sources->AddProjectSource(key, 0);
      KeepLibrary(staticProject, flavorProject, key);
    }
  }
  return kSuccess;
}

}  // namespace Hvd::prhelper
