// The view's compile order. It lives in the files' sequence ids, one per sequence-id target: a
// major view numbers them from the parser's order when its order is automatic, every view
// reads them back in id order, and a view that is not major puts the files of its generated
// cores' projects in front of its own.

#include <algorithm>
#include <cctype>
#include <map>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <boost/algorithm/string/predicate.hpp>

#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IProject.h"
#include "Hvd/ITransformBindingInstance.h"
#include "Port/MsgMan.h"
#include "Prjrep/IFileNameHelper.h"
#include "childproject/ChildProjectHelp.h"
#include "core/Diagnostics.h"
#include "design/view/CView.h"
#include "utils/DmUtils.h"
#include "utils/NetlistLookup.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;
using OrderSet = TRefdSequenceSetHelper<IHdlFile*, IHdlFileSet, IHdlFileIterator, std::vector<IHdlFile*>>;


bool IsCompileOrderType(CitI::IInterface* file) {
  static constexpr std::string_view kTypes[] = {"FILE_VHDL", "FILE_VERILOG", "FILE_EDIF", "FILE_NGC", "FILE_NGO"};
  const String type = GetDefDataIdName(file);
  return std::find(std::begin(kTypes), std::end(kTypes), std::string_view(type)) != std::end(kTypes);
}

// The file's path as the file-name helper gives it, with its extension; false without a helper.
bool OsPathOf(CitI::IInterface* file, String* path) {
  AutoCast<Prjrep::IFileNameHelper> names(file);
  return names && names->GetOsPath(path) == kSuccess;
}

// One file of an order with its sequence id. Equal ids are ordered by path, then by identity, so
// that the same files always come out in the same order.
struct Record {
  AutoPtr<IHdlFile> file;
  std::uint64_t id = 0;
  String path;
};

void SortRecords(std::vector<Record>* records) {
  std::sort(records->begin(), records->end(), [](const Record& a, const Record& b) {
    return std::tie(a.id, a.path.str()) < std::tie(b.id, b.path.str()) ||
           (a.id == b.id && a.path == b.path && RootOf(a.file.Get()) < RootOf(b.file.Get()));
  });
}

// The projects whose core orders are being collected on this thread: a core project that names
// one of them again is not entered a second time.
thread_local std::vector<CitI::IInterface*> t_coreProjects;

}  // namespace

Port::StringBase<char> ChildViewWord(CitI::IInterface* majorView) {
  const String type = GetDefDataIdName(majorView);
  if (std::string_view(type).ends_with("AbstractSynthesis")) return "PreSynthesis";
  if (type == "VIEW_AbstractSimulation" || type == "VIEW_CPLDAbstractSimulation") return "PreSimulation";
  return String();
}

// The first major view reachable through the bindings of the first sets, depth first; a view
// met before on the way is not searched again, so a looped network ends.
IView* CView::FindMajorView() {
  std::vector<CitI::IInterface*> visited{RootOf(&m_XIView)};
  const auto search = [&visited](auto& self, IView* view) -> IView* {
    AutoRelease<ITransformBindingInstanceSet> bindings;
    AutoRelease<ITransformBindingInstanceIterator> it;
    if (view->GetFirstBindingSet(bindings.Receive()) != kSuccess || !bindings ||
        bindings->GetIterator(it.Receive()) != kSuccess || !it)
      return nullptr;
    for (; !it->IsDone(); std::ignore = it->Next()) {
      AutoRelease<Prjrep::IIterator> targets;
      ITransformBindingInstance* binding = it->Current();
      if (binding == nullptr || binding->GetTargets(targets.Receive()) != kSuccess || !targets) continue;
      for (; !targets->IsDone(); std::ignore = targets->Next()) {
        AutoCast<IView> target(targets->Current());
        if (!target || std::count(visited.begin(), visited.end(), RootOf(target.Get())) > 0) continue;
        visited.push_back(RootOf(target.Get()));
        if (IsMajorView(target.Get())) return target.Get();
        if (IView* found = self(self, target.Get()); found != nullptr) return found;
      }
    }
    return nullptr;
  };
  return search(search, &m_XIView);
}

Prjrep::AutoPtr<IView> CView::GetMajorView() { return AutoPtr<IView>(FindMajorView()); }

Status CView::GetCompileOrder(IHdlDesignUnit* top, std::uint32_t flags, bool autoOrder, IHdlFileIterator** files) {
  if (files == nullptr) return Fail(kBadParameters, "Error: CView::GetCompileOrder() - Bad parameters.\n");
  *files = nullptr;
  AutoPtr<IView> keep(&m_XIView);
  if (!IsMajorView(&m_XIView)) {
    AutoPtr<IView> major = GetMajorView();
    AutoCast<IViewInternal> internal(major.Get());
    if (!internal) return GetCompileOrderFromFiles(false, files);
    if (top == nullptr || !autoOrder) {
      AutoRelease<IHdlFileIterator> discarded;  // asked for so that the major view's ids are current
      std::ignore = major->GetCompileOrder(top, flags, discarded.Receive());
      return GetCompileOrderFromFiles(false, files);
    }
    std::ignore = internal->DetermineCompileOrderAutomatically(top, true);
    const Status status = GetCompileOrderFromFiles(false, files);
    // The major view's ids now hold an order filtered for this top, not its own.
    std::ignore = internal->MarkCompileOrderDirty();
    return status;
  }
  if (!autoOrder) return GetCompileOrderFromFiles(false, files);

  String path;
  std::ignore = m_XIView.GetTopInstance(&path);
  AutoPtr<IHdlDesignUnit> instanceUnit;
  if (m_wrapper) {
    AutoRelease<IHdlNetListNode> root;
    std::ignore = ParseHierarchy(root.Receive());
    if (IHdlNetListNode* node = FindNodeByInstancePath(root.Get(), path); node != nullptr) {
      AutoRelease<CitI::IInterface> unit(node->GetDesignUnit());
      instanceUnit = AutoCast<IHdlDesignUnit>(unit.Get()).Get();
    }
  }
  IHdlDesignUnit* wanted = top != nullptr ? top : instanceUnit.Get();
  if (flags == 0 && (top == nullptr || RootOf(top) == RootOf(instanceUnit.Get()))) {
    BringOtherMajorViewsInStep();
    if (m_compileOrderDirty) {
      const Status status = GetFilterFilesFromCompileOrder()
                                ? m_XIViewInternal.DetermineCompileOrderAutomatically(wanted, true)
                                : m_XIViewInternal.DetermineCompileOrderAutomatically(nullptr, false);
      // A failed numbering leaves the order to be computed again next time.
      if (status == kSuccess) m_compileOrderDirty = false;
    }
    return GetCompileOrderFromFiles(false, files);
  }
  if (!m_wrapper) return kFailure;
  return m_wrapper->CreateCompileOrder(wanted, flags, true, files);
}

Status CView::XIHdlElaborationData::GetCompileOrder(IHdlNetListNode* top, IHdlFileIterator** files) {
  if (top != nullptr)
    Port_MsgManData::debugStub(
        "WARNING: XIHdlElaborationData::getCompileOrder - Ignoring _pIHdlNetListNodeTopNode value.\n");
  if (files == nullptr)
    return Fail(kBadParameters, "WARNING: XIHdlElaborationData::getCompileOrder - Invalid parameter(s).\n");
  return This().GetCompileOrder(nullptr, 0, This().GetAutoCompileOrder(), files);
}

Status CView::GetCompileOrderFromFiles(bool allFiles, IHdlFileIterator** files) {
  if (files == nullptr)
    return Fail(kBadParameters, "ERROR: CView::GetCompileOrderFromFiles - Invalide parameter(s).\n");
  *files = nullptr;
  AutoRelease<IHdlFileSet> set(new (std::nothrow) OrderSet());
  if (!set) return kFailure;
  std::uint32_t target = 0;
  if (const Status status = GetViewSequenceIDTarget(&m_XIView, &target); status != kSuccess) return status;

  std::set<std::string> names;
  if (!IsMajorView(&m_XIView)) {
    std::vector<AutoPtr<IHdlFile>> children;
    std::ignore = GetCompileOrderFromMoldrixProjects(&children);
    std::ignore = NormalizeChildCompileOrderCollection(&children);
    for (const AutoPtr<IHdlFile>& child : children) {
      String name;
      if (OsPathOf(child.Get(), &name) && names.insert(name.str()).second) std::ignore = set->Add(child.Get());
    }
  }

  std::vector<Record> records;
  for (const AutoPtr<IHdlDesignUnit>& unit : m_XIDesignUnitSet.Units()) {
    AutoCast<ICompileOrder> order(unit.Get());
    if (!order) {
      Port_MsgManData::debugStub("Warning: CView::GetCompileOrderFromFiles - Unable to get an ICompileOrder interface.\n");
      continue;
    }
    std::uint64_t id = 0;
    std::ignore = order->GetSequenceID(target, &id);
    AutoCast<IFile> file(unit.Get());
    if (!file) {
      Port_MsgManData::debugStub("Warning: CView::GetCompileOrderFromFiles - Unable to get an IFile interface.\n");
      continue;
    }
    AutoCast<IHdlFile> hdl(unit.Get());
    if ((id != 0 || allFiles) && !IsManagedFile(file.Get()) && (allFiles || IsCompileOrderType(file.Get())) && hdl) {
      Record record{AutoPtr<IHdlFile>(hdl.Get()), id, String()};
      std::ignore = OsPathOf(hdl.Get(), &record.path);
      records.push_back(std::move(record));
    }
  }
  SortRecords(&records);
  for (const Record& record : records) {
    // A file without a name cannot be told apart from a core's file of the same name.
    if (!AutoCast<Prjrep::IFileNameHelper>(record.file.Get())) continue;
    if (names.insert(record.path.str()).second) std::ignore = set->Add(record.file.Get());
  }
  return set->GetIterator(files);
}

// Every id is worked out before the first is written, and a refused write puts back the ids
// written before it, so that a failure never leaves old and new ids mixed.
Status CView::XIViewInternal::DetermineCompileOrderAutomatically(IHdlDesignUnit* top, bool filter) {
  CView& self = This();
  if (!self.m_wrapper) return kFailure;
  AutoPtr<IView> keep(&self.m_XIView);
  AutoRelease<IHdlFileIterator> order;
  if (const Status status = self.m_wrapper->CreateCompileOrder(top, 0, false, order.Receive()); status != kSuccess)
    return Fail(status, "Error [CView::DetermineCompileOrderAutomatically()]: Unable to calculate a compile order.\n");
  std::uint32_t target = 0;
  if (const Status status = GetViewSequenceIDTarget(&self.m_XIView, &target); status != kSuccess) return status;

  struct Write {
    AutoPtr<ICompileOrder> file;
    std::uint64_t before;
    std::uint64_t after;
  };
  std::vector<Write> writes;
  std::set<CitI::IInterface*> numbered;
  std::uint64_t n = 1;
  constexpr const char* kNoOrder =
      "Error: CView::DetermineCompileOrderAutomatically - Unable to get the ICompileOrder interface.\n";
  for (; order && !order->IsDone(); std::ignore = order->Next()) {
    AutoCast<ICompileOrder> file(order->Current());
    if (!file) return Fail(kFailure, kNoOrder);
    std::uint64_t before = 0;
    std::ignore = file->GetSequenceID(target, &before);
    writes.push_back({AutoPtr<ICompileOrder>(file.Get()), before, n++});
    numbered.insert(RootOf(file.Get()));
  }

  AutoRelease<IHdlFileIterator> all;
  if (self.GetCompileOrderFromFiles(true, all.Receive()) != kSuccess || !all)
    return Fail(kFailure, "Error: CView::DetermineCompileOrderAutomatically - Unable to the the IHdlFileIterator.\n");
  std::vector<Record> rest;
  for (; !all->IsDone(); std::ignore = all->Next()) {
    IHdlFile* file = all->Current();
    if (file == nullptr || numbered.count(RootOf(file)) > 0) continue;
    Record record{AutoPtr<IHdlFile>(file), 0, String()};
    if (AutoCast<ICompileOrder> ids(file); ids) std::ignore = ids->GetSequenceID(0, &record.id);
    std::ignore = OsPathOf(file, &record.path);
    rest.push_back(std::move(record));
  }
  SortRecords(&rest);
  for (const Record& record : rest) {
    AutoCast<ICompileOrder> file(record.file.Get());
    if (!file) return Fail(kFailure, kNoOrder);
    std::uint64_t before = 0;
    std::ignore = file->GetSequenceID(target, &before);
    // Filtered, the files that the order for the top does not need leave the order.
    writes.push_back({AutoPtr<ICompileOrder>(file.Get()), before, filter ? 0 : n});
    ++n;
  }

  for (std::size_t i = 0; i < writes.size(); ++i) {
    if (const Status status = writes[i].file->SetSequenceID(target, writes[i].after); status != kSuccess) {
      while (i-- > 0) std::ignore = writes[i].file->SetSequenceID(target, writes[i].before);
      return Fail(status, "Error [CView::DetermineCompileOrderAutomatically()]: Unable to set file's sequence ID.\n");
    }
  }
  for (const Write& write : writes) {
    if (write.before != write.after) self.m_sequenceIdsChanged = true;
  }
  return kSuccess;
}

Status CView::GetCompileOrderFromMoldrixProjects(std::vector<Prjrep::AutoPtr<IHdlFile>>* children) {
  if (IsMajorView(&m_XIView)) return kSuccess;
  AutoPtr<IView> major = GetMajorView();
  if (!major) return Fail(kSuccess, "Warning: CView::GetCompileOrderFromMoldrixProjects(): Unable to find major view\n");
  const String word = ChildViewWord(major.Get());
  if (word.empty()) return Fail(kSuccess, "Warning: CView::GetCopmileOrderFromMoldrixProjects(): Unsupported minor view\n");
  std::uint32_t target = 0;
  if (const Status status = GetViewSequenceIDTarget(&m_XIView, &target); status != kSuccess) return status;
  AutoRelease<IFileIterator> files;
  AutoCast<IFileSet> majorFiles(major.Get());
  if (!majorFiles || majorFiles->GetIterator(files.Receive()) != kSuccess || !files) return kSuccess;
  const AutoRelease<IProject> project = Project();
  for (; !files->IsDone(); std::ignore = files->Next()) {
    IFile* file = files->Current();
    if (file == nullptr || !(GetDefDataIdName(file) == "FILE_MOLDRIX")) continue;
    AutoCast<ICompileOrder> order(file);
    if (!order) {
      Port_MsgManData::debugStub(
          "Warning: CView::GetCopmileOrderFromMoldrixProjects() - Unable to get an ICompileOrder interface.\n");
      continue;
    }
    std::uint64_t id = 0;
    std::ignore = order->GetSequenceID(target, &id);
    if (id == 0) continue;
    AutoRelease<IFile> projectFile;
    if (GetMoldrixHlcFile(project.Get(), file, projectFile.Receive()) != kSuccess || !projectFile) continue;
    const AutoRelease<IProject> child = GetOwningProject(projectFile.Get());
    std::ignore = AppendChildProjectCompileOrder(child.Get(), word, children);
  }
  return kSuccess;
}

Status AppendChildProjectCompileOrder(IProject* child, const Port::StringBase<char>& word,
                                      std::vector<Prjrep::AutoPtr<IHdlFile>>* children) {
  if (child == nullptr || word.empty() || children == nullptr) return kBadParameters;
  // A core project that leads back to a project on the way here adds nothing more.
  CitI::IInterface* root = RootOf(child);
  if (std::count(t_coreProjects.begin(), t_coreProjects.end(), root) > 0) return kSuccess;
  IDesign* design = nullptr;  // borrowed: the project keeps its design
  if (child->GetDesign(&design) != kSuccess || design == nullptr) return kSuccess;
  AutoCast<IViewManager> views(design);
  AutoRelease<IViewIterator> at;
  if (!views || views->FindViewByHint(word, at.Receive()) != kSuccess || !at || at->IsDone()) return kSuccess;
  AutoPtr<IView> view(at->Current());
  if (!view) return kSuccess;
  t_coreProjects.push_back(root);
  AutoRelease<IHdlFileIterator> order;
  const Status status = view->GetCompileOrder(nullptr, 0, order.Receive());
  t_coreProjects.pop_back();
  if (status != kSuccess || !order) return kSuccess;
  for (; !order->IsDone(); std::ignore = order->Next()) {
    if (IHdlFile* file = order->Current(); file != nullptr) children->emplace_back(file);
  }
  return kSuccess;
}

// A core's file that the parent holds in the other HDL language (a core generated in both)
// stands for the core's own.
Status CView::NormalizeChildCompileOrderCollection(std::vector<Prjrep::AutoPtr<IHdlFile>>* children) {
  if (children == nullptr || children->empty()) return kSuccess;
  std::map<std::string, AutoPtr<IHdlFile>> own;
  for (const AutoPtr<IHdlDesignUnit>& unit : m_XIDesignUnitSet.Units()) {
    AutoCast<IHdlFile> file(unit.Get());
    String name;
    if (file && OsPathOf(file.Get(), &name)) own[name.str()] = AutoPtr<IHdlFile>(file.Get());
  }
  for (AutoPtr<IHdlFile>& child : *children) {
    AutoCast<Prjrep::IFileNameHelper> names(child.Get());
    String name;
    if (!names || names->GetOsPath(&name) != kSuccess) continue;
    if (own.count(name.str()) > 0) continue;
    String extension;
    std::ignore = names->GetExtension(&extension);
    // A core generated as "VHD" is the VHDL one all the same.
    const std::string other = boost::algorithm::iequals(extension.str(), "vhd") ? "v" : "vhd";
    std::string stem = name.str();
    if (!extension.empty() && stem.size() >= extension.size()) stem.resize(stem.size() - extension.size());
    std::string upper = other;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    auto found = own.find(stem + other);
    if (found == own.end()) found = own.find(stem + upper);
    if (found == own.end()) {
      Port_MsgManData::debugStub(
          "Warning CView::NormalizeChildCompileOrderCollection(): Missing child project file from parent's view\n");
      continue;
    }
    child = found->second;
  }
  return kSuccess;
}

}  // namespace Hvd
