// What a view's settings stand for elsewhere: the numbers of its BRANCH, its role word, and
// its files as text for the Tcl layer.

#include <algorithm>
#include <boost/algorithm/string/predicate.hpp>
#include <cctype>
#include <set>
#include <utility>

#include "Hvd/IFile.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Prjrep/IFileNameHelper.h"
#include "core/Diagnostics.h"
#include "design/view/CView.h"
#include "utils/KeyedProperty.h"
#include "utils/DmUtils.h"
#include "utils/InterpHelp.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

struct BranchNumbers {
  const char* branch;
  std::uint32_t sequenceIdTarget;
  std::uint32_t autoManageViewId;
};

constexpr BranchNumbers kBranches[] = {
    {"Implementation", 2, 1},          {"BehavioralSimulation", 1, 0}, {"PostSynthesisSimulation", 3, 2},
    {"PostTranslateSimulation", 4, 3}, {"PostMapSimulation", 5, 4},    {"PostRouteSimulation", 6, 5},
};

// The row of the object's BRANCH; null for any other value, the empty one included.
const BranchNumbers* FindBranch(CitI::IInterface* object) {
  const String branch = GetKeyedPropertyValue(object, ViewKey::kBranch);
  for (const BranchNumbers& row : kBranches) {
    if (boost::algorithm::iequals(branch.str(), row.branch)) return &row;
  }
  return nullptr;
}

// A value inside a double-quoted list element: Tcl substitutes the escapes back.
String QuotedElement(const String& value) {
  return String("\"" + (value.empty() ? std::string() : TclWord(value).str()) + "\"");
}

// A value between the ";" and "$" separators of the record layouts: every separator inside
// it is escaped, so only a bare one separates.
String RecordField(const String& value) { return value.empty() ? value : TclWord(value); }

String getFileLanguage(CitI::IInterface* file) {
  const String type = GetDefDataIdName(file);
  if (type == "FILE_VHDL") return String("vhdl");
  if (type == "FILE_VERILOG") return String("verilog");
  return String();
}

String getLibraryName(CitI::IInterface* file) {
  AutoCast<ISourceLibraryMember> member(file);
  if (!member) {
    std::ignore =
        Fail(kFailure, "IViewTclHelper::getLibraryName failed to get iSourceLibraryMember from iHdlFile type.\n");
    return String();
  }
  String name("work");
  AutoRelease<ISourceLibrary> library;
  if (member->GetLibrary(library.Receive()) == kSuccess && library) {
    if (AutoCast<Prjrep::IName> named(library.Get()); named) std::ignore = named->GetName(name);
  }
  return name;
}

String getFileOrigination(CitI::IInterface* file) {
  AutoCast<IFile> source(file);
  if (!source) {
    std::ignore = Fail(kFailure, "IViewTclHelper::getFileOrigination failed to get iFile from iHdlFile.\n");
    return String();
  }
  static constexpr const char* kWords[] = {"UserSource", "Generated", "Imported", "AutoManaged"};
  std::uint32_t state = 0;
  if (source->GetOriginState(&state) != kSuccess || state >= std::size(kWords)) {
    std::ignore = Fail(kFailure, "IViewTclHelper::getFileOrigination got a bad origination type.\n");
    return String();
  }
  return String(kWords[state]);
}

std::string WithSlashes(std::string path) {
  std::ranges::replace(path, '\\', '/');
  return path;
}

// The file's own directory and name, completed against the project directory when relative.
String CompletedPath(const String& projectDirectory, const String& directory, const String& name) {
  std::string path = WithSlashes(directory.str());
  if (!path.empty() && path.back() != '/') path += '/';
  path += WithSlashes(name.str());
  if (path.front() != '/' && !projectDirectory.empty()) path = projectDirectory.str() + "/" + path;
  return String(path);
}

}  // namespace

Status CView::GetViewSequenceIDTarget(CitI::IInterface* object, std::uint32_t* target) {
  if (object == nullptr || target == nullptr)
    return Fail(kBadParameters, "Error: CView::GetViewSequenceIDTarget() - Bad parameters.\n");
  if (const BranchNumbers* row = FindBranch(object); row != nullptr) {
    *target = row->sequenceIdTarget;
  } else {
    *target = 7;
    std::ignore = Fail(kFailure, "Warning: CView::GetViewSequenceIDTarget - Default method in switch called.\n");
  }
  return kSuccess;
}

Status CView::GetAutoManageViewID(CitI::IInterface* object, std::uint32_t* id) {
  if (object == nullptr || id == nullptr)
    return Fail(kBadParameters, "Error: CView::GetAutoManageViewID() - Bad parameters.\n");
  if (const BranchNumbers* row = FindBranch(object); row != nullptr) {
    *id = row->autoManageViewId;
  } else {
    *id = 1;
    std::ignore = Fail(kFailure, "Warning: CView::GetAutoManageViewID - Default method in switch called.\n");
  }
  return kSuccess;
}

Status CView::GetViewHint(IView* view, String* hint) {
  if (view == nullptr || hint == nullptr) return Fail(kBadParameters, "Error: CView:GetViewHint - Bad parameter.\n");
  AutoRelease<IDesign> design;
  if (view->GetDesign(design.Receive()) != kSuccess || !design)
    return Fail(kFailure, "Error: CView::GetViewHint() - PDesign backpointer is not defined.\n");
  AutoRelease<IProject> project;
  if (design->GetProject(project.Receive()) != kSuccess || !project)
    return Fail(kFailure, "Error: CView::GetViewHint() - Could not get pointer to the project.\n");
  AutoRelease<IProjectHelper> helper = GetCvfProject(project.Get(), true);
  AutoCast<IViewNetworkHelp> network(helper.Get());
  if (!network) return Fail(kFailure, "Error: CView::GetViewHint() - Could not get the IViewNetworkHelp interface.\n");
  if (network->GetViewHint(view, hint) != kSuccess)
    return Fail(kFailure, "Error: CView::GetViewSequenceIDTarget() - Could not get the view hint.\n");
  return kSuccess;
}

String FormatViewFileRecords(const std::vector<ViewFileRecord>& files, const String& mode) {
  std::string text;
  std::set<std::pair<std::string, std::string>> written;
  for (const ViewFileRecord& file : files) {
    if (boost::algorithm::iequals(mode.str(), "QlbPrjSourceList")) {
      if (file.language.empty()) continue;
      // A braced element: TclWord leaves no bare brace inside, so the braces always match.
      text +=
          "{" + file.language.str() + " " + TclWord(file.library).str() + " " + QuotedElement(file.path).str() + "} ";
    } else if (boost::algorithm::iequals(mode.str(), "ModuleList")) {
      for (const String& unit : file.units) {
        if (!written.emplace(unit.str(), file.path.str()).second) continue;
        text += RecordField(unit).str() + ";" + RecordField(file.path).str() + "$";
      }
    } else {
      text += RecordField(file.library).str() + ";" + RecordField(file.path).str() + ";" +
              RecordField(file.origination).str() + "$";
    }
  }
  return String(text);
}

CView::String CView::XIViewTclHelper::GetFilesOfType(const String& type) {
  std::string text;
  AutoRelease<IFileIterator> files;
  if (This().m_XIFileSet.GetIterator(files.Receive()) != kSuccess || !files) return String();
  for (; !files->IsDone(); std::ignore = files->Next()) {
    IFile* file = files->Current();
    if (file == nullptr || GetDefDataIdName(file) != type) continue;
    String path;
    if (AutoCast<Prjrep::IFileNameHelper> names(file); names) std::ignore = names->GetFullName(&path);
    if (path.empty()) {
      std::ignore = Fail(kFailure, "CView_IViewTclHelper::GetFilesOfType got an empty path\n");
      continue;
    }
    text += TclWord(path).str() + " ";
  }
  return String(text);
}

CView::String CView::XIViewTclHelper::GetViewHierarchy(CitI::IInterface* unit, const String& testbench,
                                                       const String& mode) {
  CView& self = This();
  String projectDirectory;
  if (AutoRelease<IProject> project = self.Project(); project) {
    String projectFile;
    if (AutoCast<IProject2> project2(project.Get()); project2)
      std::ignore = project2->GetGeneratedFilePath(&projectFile);
    const std::string path = WithSlashes(projectFile.str());
    if (const auto slash = path.rfind('/'); slash != std::string::npos)
      projectDirectory = String(path.substr(0, slash));
  }
  const bool forTestbench = testbench == "testbench";
  AutoRelease<IHdlFileIterator> files;
  std::ignore =
      self.m_XIView.GetCompileOrder(AutoCast<IHdlDesignUnit>(unit).Get(), forTestbench ? 1 : 0, files.Receive());
  if (!files) {
    std::ignore = Fail(kFailure, "IViewTclHelper::GetViewHierarchy failed to get an iHdlFileIterator\n");
    return String();
  }
  std::vector<ViewFileRecord> records;
  for (std::ignore = files->Reset(); !files->IsDone(); std::ignore = files->Next()) {
    IHdlFile* file = files->Current();
    if (file == nullptr) {
      std::ignore = Fail(kFailure, "IViewTclHelper::GetViewHierarchy ignoring null iHdlFile in set\n");
      continue;
    }
    String directory, name;
    std::ignore = file->GetPath(&directory, &name);
    if (name.empty()) {
      std::ignore = Fail(kFailure, "IViewTclHelper::GetViewHierarchy ignoring blank filename from iHdlFile in set\n");
      continue;
    }
    ViewFileRecord record;
    if (AutoCast<Prjrep::IFileNameHelper> names(file); !names) {
      record.path = CompletedPath(projectDirectory, directory, name);
      std::ignore = Fail(kFailure, " reverting to absolute path %s\n", record.path.c_str());
    } else if (std::ignore = names->GetRelativeName(&record.path); record.path.empty()) {
      record.path = CompletedPath(projectDirectory, directory, name);
      std::ignore = Fail(kFailure, "Got an empty path reverting to absolute path %s\n", record.path.c_str());
    }
    record.language = getFileLanguage(file);
    record.library = getLibraryName(file);
    record.origination = getFileOrigination(file);
    if (boost::algorithm::iequals(mode.str(), "ModuleList")) {
      AutoRelease<IHdlDesignUnitIterator> units;
      if (file->GetDesignUnits(nullptr, units.Receive()) != kSuccess || !units) {
        std::ignore =
            Fail(kFailure, "IViewTclHelper::GetViewHierarchy failed to get an iHdlDuIter for %s skipping file\n",
                 name.c_str());
        continue;
      }
      for (std::ignore = units->Reset(); !units->IsDone(); std::ignore = units->Next()) {
        String unitName;
        if (AutoCast<Prjrep::IName> named(units->Current()); named) std::ignore = named->GetName(unitName);
        record.units.push_back(unitName);
      }
    }
    records.push_back(std::move(record));
  }
  return FormatViewFileRecords(records, mode);
}

}  // namespace Hvd
