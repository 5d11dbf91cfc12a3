// A compile order the user writes by hand: the host's Tcl procedure reads the file, the project
// checks that every file it lists exists, and then adds them in that order, each into its
// library.

#include <boost/algorithm/string/predicate.hpp>
#include <filesystem>
#include <system_error>

#include "CitP/Factory.h"
#include "Hvd/IFile.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Port/FileName.h"
#include "Port/MsgMan.h"
#include "Prjrep/ClassIds.h"
#include "core/Diagnostics.h"
#include "design/design/Placement.h"
#include "design/view/CView.h"
#include "files/FileViewPlacement.h"
#include "project/project/CProject.h"
#include "utils/FileStamp.h"
#include "utils/InterpHelp.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;

constexpr const char* kProcedure = "::velmor::Hvd::parseCompileOrderFile";
constexpr std::uint32_t kImplementationOrder = 2;

Port_MsgManData Messages(int line) { return Port_MsgManData::createObject("ProjectMgmt", "../src/CProject", line, kProjectRevision); }

}  // namespace

Status CProject::XIProject::ParseCompileOrderFile(const String& path, std::int32_t mode) {
  CProject& self = This();
  if (path.empty()) return kBadParameters;
  // The path is one Tcl word whatever it holds: nothing of a file name is run as Tcl.
  const String command = String(kProcedure) + " " + TclWord(path) + " " + String(std::to_string(mode).c_str()) + " ";
  AutoRelease<Prjrep::IStringSet> lines(CitP::Factory::CreateInstance(Prjrep::ClassId::StringSet()));
  if (!lines) return kFailure;
  String answer;
  if (const Status ran = InterpHelp::RunCmd(command.c_str(), lines.Get(), true, &answer); ran != kSuccess) {
    Messages(0).issueError("Tcl error occured running the TCL proc %s\n", kProcedure);
    return ran;
  }
  if (!boost::algorithm::iequals(answer.str(), "false")) {
    Messages(0).issueError("Parsing errors occured while parsing the file: %s\n", path.c_str());
    return kFailure;
  }
  if (lines->Size() == 0) {
    Messages(0).issueWarning("No files found in the customer compile order file: %s\n", path.c_str());
    return kSuccess;
  }
  std::vector<CompileOrderRecord> records;
  std::ignore = self.SplitCompileOrderLines(lines.Get(), records);
  if (const Status verified = self.VerifyCompileOrderFiles(records, path); verified != kSuccess) return verified;
  std::ignore = self.ResetViewCompileOrder("SynthesisOnly");
  return self.ApplyCompileOrder(records);
}

Status CProject::SplitCompileOrderLines(Prjrep::IStringSet* lines, std::vector<CompileOrderRecord>& records) {
  if (lines == nullptr) return kBadParameters;
  AutoRelease<Prjrep::IStringIterator> at;
  if (lines->GetIterator(at.Receive()) != kSuccess || !at) return kSuccess;
  for (; !at->IsDone(); std::ignore = at->Next()) {
    const std::string line = at->Current().str();
    if (line.empty()) continue;
    CompileOrderRecord& record = records.emplace_back();
    String* const fields[] = {&record.path, &record.second, &record.library, &record.fourth};
    std::size_t start = 0;
    for (String* field : fields) {
      const std::size_t bar = line.find('|', start);
      *field = String(line.substr(start, bar == std::string::npos ? std::string::npos : bar - start).c_str());
      if (bar == std::string::npos) break;
      start = bar + 1;
    }
  }
  return kSuccess;
}

// Relative paths are the project file's: the same directory checks and adds them.
CProject::String CProject::CompileOrderPath(const String& listed) {
  std::string portable = listed.str();
  for (char& c : portable) {
    if (c == '\\') c = '/';
  }
  const String path(portable.c_str());
  if (IsAbsolutePath(path)) return path;
  return Port::FileName(ProjectDirectory() + "/" + path).MakeCanonical().GetPath();
}

Status CProject::VerifyCompileOrderFiles(const std::vector<CompileOrderRecord>& records, const String& path) {
  for (const CompileOrderRecord& record : records) {
    if (record.path.empty()) continue;
    std::error_code error;
    const bool exists = std::filesystem::exists(CompileOrderPath(record.path).c_str(), error);
    // A file that cannot be looked at is as good as missing, and said so.
    if (error && error != std::errc::no_such_file_or_directory) {
      Messages(0).issueError("Cannot check the source file: %s specified in custom compile order file: %s (%s)\n",
                             record.path.c_str(), path.c_str(), error.message().c_str());
      return kFailure;
    }
    if (!exists) {
      Messages(0).issueError("Cannot find the source file: %s specified in custom compile order file: %s\n",
                             record.path.c_str(), path.c_str());
      return kFailure;
    }
  }
  return kSuccess;
}

Status CProject::ResetViewCompileOrder(const String& viewName) {
  AutoCast<IViewManager> views(m_design.Get());
  AutoRelease<IViewIterator> at;
  if (!views || views->FindViewByHint(viewName, at.Receive()) != kSuccess || !at || at->IsDone()) return kFailure;
  IView* view = at->Current();
  std::uint32_t target = 0;
  if (CView::GetViewSequenceIDTarget(view, &target) != kSuccess) return kFailure;
  AutoCast<IFileSet> files(view);
  AutoRelease<IFileIterator> file;
  if (!files || files->GetIterator(file.Receive()) != kSuccess || !file) return kFailure;
  for (; !file->IsDone(); std::ignore = file->Next()) {
    if (AutoCast<ICompileOrder> order(file->Current()); order) std::ignore = order->SetSequenceID(target, 0);
  }
  return kSuccess;
}

Status CProject::ApplyCompileOrder(const std::vector<CompileOrderRecord>& records) {
  std::uint64_t sequence = 1;
  {
    // Placed all at once below.
    const FileViewPlacementHold hold;
    for (const CompileOrderRecord& record : records) {
      AutoRelease<IHdlFile> file;
      std::ignore = m_XIProjectInternal.ProjectAddFile(CompileOrderPath(record.path), nullptr, file.Receive());
      if (!file) {
        Messages(0).issueError("Occured while adding the file: %s\n", record.path.c_str());
        continue;
      }
      if (AutoCast<IViewClassAssociation> classes(file.Get()); classes) {
        std::ignore = classes->SetBit(0);
        std::ignore = classes->SetBit(1);
      }
      if (AutoCast<ICompileOrder> order(file.Get()); order)
        std::ignore = order->SetSequenceID(kImplementationOrder, sequence++);
      AutoRelease<ISourceLibrary> library;
      if (m_sourceLibraries.FindSourceLibrary(record.library, library.Receive()) != kSuccess || !library) {
        library = nullptr;
        if (m_sourceLibraries.CreateSourceLibrary(record.library, library.Receive()) != kSuccess || !library) {
          Messages(0).issueError("Unable to create the library: %s\n", record.library.c_str());
          continue;
        }
      }
      if (AutoCast<ISourceLibraryMember> member(file.Get()); member) std::ignore = member->SetLibrary(library.Get());
    }
  }
  FileTypeViewCache(&m_XIProject).UpdateAllFileViews();
  return kSuccess;
}

}  // namespace Hvd
