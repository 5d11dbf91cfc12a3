// The design hierarchy and compile orders that the parser computes from the view's files, and
// the removal of the parser's message file.

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <tuple>
#include <utility>

#include "Hvd/IFile.h"
#include "Port/MsgMan.h"
#include "Port/SafeIncr.h"
#include "core/Diagnostics.h"
#include "core/Sets.h"
#include "files/wrapper/CHdlPackageWrapper.h"
#include "files/wrapper/WorkingDirectory.h"
#include "utils/DmUtils.h"

namespace Hvd {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;

namespace {

std::mutex s_workingDirectoryLock;
std::string s_workingDirectory;

using CompileOrderSet = TRefdSequenceSetHelper<IHdlFile*, IHdlFileSet, IHdlFileIterator, std::vector<IHdlFile*>>;

// Raises the re-entry count for as long as it lives.
class ReentryCount {
 public:
  explicit ReentryCount(std::int32_t& count) : m_count(count), m_value(Port::SafeIncr(count)) {}
  ReentryCount(const ReentryCount&) = delete;
  ReentryCount& operator=(const ReentryCount&) = delete;
  ~ReentryCount() { Port::SafeDecr(m_count); }
  std::int32_t Value() const { return m_value; }

 private:
  std::int32_t& m_count;
  std::int32_t m_value;
};

}  // namespace

void StoreWorkingDirectory(const std::string& directory) {
  const std::lock_guard<std::mutex> hold(s_workingDirectoryLock);
  s_workingDirectory = directory;
}

std::string StoredWorkingDirectory() {
  const std::lock_guard<std::mutex> hold(s_workingDirectoryLock);
  return s_workingDirectory;
}

Status CHdlPackageWrapper::GetHierarchy(IHdlNetListNode** top, bool* rebuilt) {
  if (top == nullptr) return Fail(kBadParameters, "Error: CHdlPackageWrapper::GetHierarchy - Bad parameters.\n");
  *top = nullptr;
  bool ignored = false;
  bool& wasRebuilt = rebuilt != nullptr ? *rebuilt : ignored;
  wasRebuilt = false;
  // The guards release in reverse order: the count is lowered before the lock is let go.
  const std::lock_guard<std::recursive_mutex> hold(m_hierarchyLock);
  const ReentryCount entry(m_reentry);
  if (entry.Value() > 1) {
    Port_MsgManData::createObject("ProjectMgmt", "../src/CHdlPackageWrapper", 631, "$Revision: 1.33.6.1 $")
        .issueError(
            "An internal error has occurred creating the design hierarchy.  Please contact Velmor customer support and "
            "provide them with this design so that this issue can be investigated and resolved.");
    return kFailure;
  }
  bool equal = false;
  if (const Status status = ArePropertySetsEqual(&equal); status != kSuccess) return status;
  bool upToDate = false;
  if (equal) {
    if (const Status status = AreFilesUpToDate(&upToDate); status != kSuccess) return status;
  }
  if (!equal || !upToDate || !m_top) {
    const Status status = BuildHierarchy();
    wasRebuilt = true;
    if (status != kSuccess) return status;
  }
  if (m_top) {
    Prjrep::AddRefObject(m_top.Get());
    *top = m_top.Get();
  }
  return kSuccess;
}

Status CHdlPackageWrapper::BuildHierarchy() {
  if (const Status status = UpdateParserProperties(); status != kSuccess) return status;
  if (const Status status = UpdateProjectFiles(); status != kSuccess) return status;
  AutoCast<IHdlElaborationData> elaboration(m_project.Get());
  if (!elaboration) {
    std::ignore = Fail(kFailure, "Error: ElaborationData is not exposed off the IHDlView.\n");
    return kSuccess;
  }
  AutoRelease<IHdlNetListNode> graph;
  const Status status = elaboration->GetDesignGraph(graph.Receive());
  m_top = std::move(graph);
  if (status == kSuccess && m_top) return kSuccess;
  std::ignore = Fail(kFailure, "Error: Unable to get an hierarchy design graph.\n");
  return status;
}

Status CHdlPackageWrapper::CreateCompileOrder(CitI::IInterface* component, std::uint32_t mode, bool onlyHdlTypes,
                                              IHdlFileIterator** files) {
  if (files == nullptr) return Fail(kBadParameters, "Error: Invalid parameters.\n");
  *files = nullptr;
  {
    AutoRelease<IHdlNetListNode> top;
    bool rebuilt = false;
    std::ignore = GetHierarchy(top.Receive(), &rebuilt);  // brings the parser project up to date
  }
  AutoCast<IHdlElaborationData> elaboration(m_project.Get());
  if (!elaboration) return Fail(kFailure, "Error: IHdlElaborationData is not exposed off of IHdlView.\n");

  AutoRelease<IHdlDesignUnit> unit;
  if (GetHdlDesignUnitFromGivenComponent(component, unit.Receive()) != kSuccess || !unit) {
    AutoRelease<IHdlFileIterator> dropped;
    std::ignore = elaboration->GetCompileOrder(static_cast<IHdlNetListNode*>(nullptr), dropped.Receive());
    std::ignore = GetHdlDesignUnitFromGivenComponent(component, unit.ReleaseAndReceive());
  }
  AutoRelease<IHdlFileIterator> order;
  const Status status = unit ? elaboration->GetCompileOrder(unit.Get(), mode, order.Receive())
                             : elaboration->GetCompileOrder(static_cast<IHdlNetListNode*>(nullptr), order.Receive());
  if (status != kSuccess || !order) {
    std::ignore = Fail(kFailure, "Error: Unable to create a compile order.\n");
    return status;
  }

  AutoRelease<IHdlFileSet> set(new (std::nothrow) CompileOrderSet());
  if (!set) return kFailure;
  std::vector<IHdlFile*> includes;
  CollectGlobalIncludeFiles(&includes);
  for (IHdlFile* file : includes) std::ignore = set->Add(file);
  for (std::ignore = order->Reset(); !order->IsDone(); std::ignore = order->Next()) {
    IHdlFile* const* mapped = m_parserToView.Find(order->Current());
    IHdlFile* viewFile = mapped != nullptr ? *mapped : nullptr;
    if (viewFile == nullptr) {
      std::ignore = Fail(kFailure, "Warning: Mapped DDM IHdlFile is NULL, not being added to the compile order.\n");
      continue;
    }
    if (bool flag = false;
        AutoCast<IHdlFileV3>(viewFile) && AutoCast<IHdlFileV3>(viewFile)->GetGlobalInclude(&flag) == kSuccess && flag) {
      continue;  // already at the front
    }
    if (onlyHdlTypes) {
      AutoCast<IFile> asFile(viewFile);
      if (!asFile) {
        std::ignore = Fail(kFailure, "Warning: Mapped DDM IFile is NULL.\n");
        continue;
      }
      AutoRelease<IFileType> type;
      if (asFile->GetFileType(type.Receive()) != kSuccess || !type) continue;
      const String name = GetDefDataIdName(type.Get());
      if (!(name == "FILE_VHDL") && !(name == "FILE_VERILOG") && !(name == "FILE_EDIF")) continue;
    }
    std::ignore = set->Add(viewFile);
  }
  return set->GetIterator(files);
}

// Global includes go first, the largest kind-0 sequence id first.
void CHdlPackageWrapper::CollectGlobalIncludeFiles(std::vector<IHdlFile*>* files) {
  if (files == nullptr) return;
  files->clear();
  std::vector<std::pair<IHdlFile*, std::uint64_t>> found;
  for (const auto& [key, file] : m_viewFiles) {
    bool flag = false;
    AutoCast<IHdlFileV3> v3(file.Get());
    AutoCast<ICompileOrder> order(file.Get());
    if (!v3 || v3->GetGlobalInclude(&flag) != kSuccess || !flag || !order) continue;
    std::uint64_t id = 0;
    std::ignore = order->GetSequenceID(0, &id);
    found.emplace_back(file.Get(), id);
  }
  std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  for (const auto& [file, id] : found) files->push_back(file);
}

Status CHdlPackageWrapper::GetHdlDesignUnitFromGivenComponent(CitI::IInterface* component, IHdlDesignUnit** unit) {
  if (unit == nullptr) {
    return Fail(kBadParameters, "Error: CHdlPackageWrapper::GetHdlDesignUnitFromGivenComponent() - Bad arguments");
  }
  *unit = nullptr;
  if (component == nullptr) return kSuccess;
  Prjrep::AutoOut<IHdlDesignUnit> out(unit);
  if (!AutoCast<IFile>(component)) return out.Assign(AutoCast<IHdlDesignUnit>(component));
  AutoCast<IHdlFile> viewFile(component);
  if (!viewFile) {
    return Fail(kFailure,
                "Error: CHdlPackageWrapper::GetHdlDesignUnitFromGivenComponent() - Cannot get the IHdlFile from the "
                "given design unit.\n");
  }
  IHdlFile* const* found = m_viewToParser.Find(viewFile.Get());
  IHdlFile* parserFile = found != nullptr ? *found : nullptr;
  if (parserFile == nullptr) return kFailure;
  AutoRelease<IHdlParserConfig> config;
  if (!m_project || m_project->GetParserConfig(config.Receive()) != kSuccess || !config) {
    return Fail(kFailure,
                "Error: CHdlPackageWrapper::GetHdlDesignUnitFromGivenComponent() - Unable to obtain the "
                "IHdlParserConfig interface.\n");
  }
  AutoRelease<IHdlDesignUnitIterator> units;
  if (parserFile->GetDesignUnits(config.Get(), units.Receive()) != kSuccess || !units) {
    return Fail(kFailure,
                "Error: CHdlPackageWrapper::GetHdlDesignUnitFromGivenComponent() - Unable to obtain the "
                "IHdlDesignUnititerator interface.\n");
  }
  for (std::ignore = units->Reset(); !units->IsDone(); std::ignore = units->Next()) {
    IHdlDesignUnit* candidate = units->Current();
    const String type = GetDesignUnitTypeName(candidate);
    if (type == "DESUT_VHDL_ENTITY" || type == "DESUT_VHDL_PACKAGE_DECL") continue;
    return out.Assign(candidate);
  }
  return kFailure;
}

// Absence is success and a wrong kind of entry failure; no file-system error escapes, since
// the view calls this from its event handler.
Status CHdlPackageWrapper::RemoveParserMessageFile() {
  namespace fs = std::filesystem;
  const std::string working = StoredWorkingDirectory();
  if (working.empty()) return kFailure;
  // 1 absent, 0 present, -1 the query failed.
  const auto exists = [](const fs::path& path) {
    std::error_code error;
    const bool there = fs::exists(path, error);
    return error ? -1 : (there ? 0 : 1);
  };
  const auto isDirectory = [](const fs::path& path) {
    std::error_code error;
    const bool directory = fs::is_directory(path, error);
    return !error && directory;
  };
  const fs::path directory(working);
  if (const int state = exists(directory); state != 0) return state == 1 ? kSuccess : kFailure;
  if (!isDirectory(directory)) return kFailure;
  const fs::path messages(working + "/" + "_vmsgs/");
  if (const int state = exists(messages); state != 0) return state == 1 ? kSuccess : kFailure;
  if (!isDirectory(messages)) return kFailure;
  const fs::path file(messages.string() + "kv_parser.vmsgs");
  if (const int state = exists(file); state != 0) return state == 1 ? kSuccess : kFailure;
  if (isDirectory(file)) return kFailure;
  std::error_code error;
  fs::remove(file, error);
  return error ? Fail(kFailure, "CHdlPackageWrapper::RemoveParserMessageFile - %s\n", error.message().c_str())
               : kSuccess;
}

}  // namespace Hvd
