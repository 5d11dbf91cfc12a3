// The project's source files: adding, listing, finding and removing them.

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string_view>

#include "CitP/Factory.h"
#include "Hvd/EventIds.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IFile.h"
#include "Hvd/IHdlProject.h"
#include "Port/FileName.h"
#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "Prjrep/IFileNameHelper.h"
#include "childproject/ChildProjectHelp.h"
#include "core/Diagnostics.h"
#include "core/OrderedPlace.h"
#include "core/XmlChars.h"
#include "design/design/Placement.h"
#include "design/view/CView.h"
#include "files/file/GoneViews.h"
#include "project/ProjectRoutines.h"
#include "project/project/CProject.h"
#include "projectfiles/ProjectPaths.h"
#include "utils/DmUtils.h"
#include "utils/FileUtils.h"
#include "utils/InterpHelp.h"

namespace Hvd {

namespace {

using String = Port::StringBase<char>;
using Prjrep::AutoCast;
using Prjrep::AutoOut;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;

constexpr std::uint32_t kRelationCategories = 6;

// The files that list `relations`' file as their child in `category`.
std::vector<AutoPtr<IHdlFile>> ParentFilesOf(IHdlFileV4* relations, std::uint32_t category) {
  std::vector<AutoPtr<IHdlFile>> parents;
  AutoRelease<IHdlFileIterator> up;
  if (relations->GetParentFiles(category, up.Receive()) == kSuccess && up) {
    for (; !up->IsDone(); std::ignore = up->Next()) parents.emplace_back(up->Current());
  }
  return parents;
}

String FullNameOf(CitI::IInterface* file) {
  String name;
  if (AutoCast<Prjrep::IFileNameHelper> names(file); names) std::ignore = names->GetFullName(&name);
  return name;
}

std::string Key(const String& name) { return name.str(); }

// Already as lexically_normal gives it: absolute, and no part empty, "." or "..". A project's
// paths mostly are, and taking one apart costs more than all else of its check.
bool IsNormalAbsolute(std::string_view path) {
  if (path.empty() || path.front() != '/') return false;
  for (std::size_t start = 1; start <= path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

// An absolute path in its normal form, its ".." steps taken as the system takes them; a relative
// one as it is, or put behind `base`.
String NormalPath(const String& path, const String& base) {
  if (const std::string_view text(path.c_str()); text.size() == path.size() && IsNormalAbsolute(text)) return path;
  std::filesystem::path p(path.c_str());
  if (p.is_relative()) {
    if (base.empty()) return path;
    p = std::filesystem::path(base.c_str()) / p;
  }
  return Port::FileName(String(p.generic_string().c_str())).MakeCanonical().GetPath();
}

std::uint32_t OriginStateOf(CitI::IInterface* file) {
  std::uint32_t state = 0;
  if (AutoCast<IFile> record(file); record) std::ignore = record->GetOriginState(&state);
  return state;
}

// True when the project `project` is one of the file's originators.
bool HasOriginator(CitI::IInterface* file, IProject* project) {
  AutoCast<IOriginatorRef> originators(file);
  if (!originators) return false;
  AutoRelease<Prjrep::IAutonymIterator> at;
  if (originators->FindOriginator(project, at.Receive()) != kSuccess || !at) return false;
  return !at->IsDone();
}

}  // namespace

Prjrep::AutoRelease<IFileType> CProject::FileTypeOfPath(const String& path) {
  AutoRelease<IFileType> type;
  AutoRelease<IDataStore> store;
  if (!m_design || m_design->GetDataStore(store.Receive()) != kSuccess) return type;
  AutoCast<IFileTypeStore> types(store.Get());
  if (!types) return type;
  const std::string text = Key(path);
  const std::size_t dot = text.rfind('.');
  const std::size_t slash = text.find_last_of('/');
  String extension;
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) extension = text.substr(dot + 1).c_str();
  if (types->FindFileTypeByExtension(extension, type.Receive()) != kSuccess || !type)
    std::ignore = types->FindFileTypeByExtension("txt", type.ReleaseAndReceive());
  return type;
}

Status CProject::AddFile(const String& path, IFileType* givenType, IHdlFile** file, bool testExists) {
  AutoOut<IHdlFile> out(file);
  AutoPtr<IFileType> type(givenType);
  if (!type && !path.empty()) type = FileTypeOfPath(path);
  if (path.empty() || !type) return Fail(kInvalidParameter, "ERROR: Project::ProjectAddFile - Invalid parameter.\n");
  if (!m_open) return Fail(kProjectNotOpen, "ERROR: Project::ProjectAddFile - Project is not opened.\n");
  if (m_readOnly) return Fail(kProjectReadOnly, "ERROR: Project::ProjectAddFile - Project is Read Only.\n");
  // The path holds `why`: a name no project file can hold.
  const auto refuseName = [&path](const std::string& why) {
    Port_MsgManData::createObject("ProjectMgmt", "CProject", 0, kProjectRevision)
        .issueComposed(Port_MsgManData::Severity::Error, "The file \"" + Port::EscapeControls(path.str()) +
                                                             "\" cannot be added to the project: its name holds " +
                                                             why + ".\n");
    return kInvalidParameter;
  };
  // A NUL ends the path where the system reads it, which would take the file its letters before
  // name: refused as it was given, before the path is looked up.
  if (const std::size_t nul = path.str().find('\0'); nul != std::string::npos)
    return refuseName(XmlUnfitName(path.str(), nul) + ", which a project file cannot hold");
  // A relative path lies in the project's folder. A file reached through a link to the folder is
  // the project's own, named from it.
  const String given = ThroughProjectFolder(NormalPath(path, ProjectDirectory()), ProjectDirectory());
  // Folded by its letters, such a path would name a file it does not lead to.
  if (testExists && Port::FileName(given).LeadsNowhere())
    return Fail(kFailure, "ERROR: Project::ProjectAddFile - file %s not found.\n", path.c_str());
  // A name the project file cannot hold would leave a project that no later open reads, and one
  // that is not UTF-8 would come back as another name, a file the project no longer finds (a
  // name read from a project file is UTF-8 already). Only the
  // form the project file writes counts: a file in or near the project's folder is written by
  // its path from the folder, without the names of the folders the two share.
  String writtenForm;
  NormalizeFileName(SplitPath(ProjectDirectory(), false), given, writtenForm);
  const std::string_view written = writtenForm.str();
  std::string why;
  if (const std::size_t at = FindXmlUnfit(written); at != std::string_view::npos)
    why = XmlUnfitName(written, at) + ", which a project file cannot hold";
  else if (const std::size_t byte = testExists ? FindNonUtf8(written) : std::string_view::npos; byte != std::string_view::npos)
    why = NonUtf8Name(written, byte) + ", and a project file would give the name back as another";
  if (!why.empty()) return refuseName(why);

  AutoRelease<CitI::IInterface> created(CitP::Factory::CreateInstance(ClassId::File()));
  if (!created)
    return Fail(kComponentNotCreated, "ERROR: Project::ProjectAddFile() - Could not create a File component.\n");
  if (AutoCast<ICompAdmin> admin(created.Get()); admin)
    std::ignore = admin->InitializeAfterCreate(m_design.Get(), type.Get());
  AutoCast<Prjrep::IFileNameHelper> names(created.Get());
  if (!names)
    return Fail(kMissingInterface, "ERROR: Project::ProjectAddFile() - Could not get the IFileNameHelper interface.\n");
  if (Status status = names->SetPathInDirectory(given, String(), ProjectDirectory()); status != kSuccess)
    return Fail(status, "ERROR: Project::ProjectAddFile() - Could not set the file path.\n");

  const String fullName = FullNameOf(created.Get());
  // Files mostly come in the project's order, each right after the one before in the order of
  // names; the file, when new, goes in where this search ended.
  std::string key = Key(fullName);
  const auto place = LowerBoundAfter(m_fileIndex, m_lastIndexed, key);
  if (place != m_fileIndex.end() && place->first == key) {
    out.Assign(place->second);
    return kAlreadyInProject;
  }
  // A save writes a backslash as a folder separator: such a name would be saved as another
  // file, one that is not there.
  if (testExists && key.find('\\') != std::string::npos) {
    Port_MsgManData::createObject("ProjectMgmt", "CProject", 0, kProjectRevision)
        .issueError(
            "The file \"%s\" cannot be added to the project: its file or folder name holds a backslash, which the "
            "project file would read as a folder separator.\n",
            path.c_str());
    return kInvalidParameter;
  }
  if (testExists && !Port::File::exist(fullName))
    return Fail(kFailure, "ERROR: Project::ProjectAddFile - file %s not found.\n", path.c_str());
  // A folder is no source: taken as one it would become a text file of every view.
  if (testExists && FileUtils::IsFolder(fullName))
    return Fail(kFailure, "ERROR: Project::ProjectAddFile - %s is a folder, not a file.\n", path.c_str());
  if (Port::File::namematch(fullName.c_str(), m_projectFilePath.c_str()) == 1 ||
      Port::File::namematch(fullName.c_str(), m_repositoryPath.c_str()) == 1 ||
      FileUtils::SameFile(fullName, m_projectFilePath) || FileUtils::SameFile(fullName, m_repositoryPath))
    return Fail(kFailure, "ERROR: Project::ProjectAddFile - Cannot add a project to itself.\n");
  AutoCast<ICompileOrder> order(created.Get());
  if (!order)
    return Fail(kMissingInterface, "Error: CProject::ProjectAddFile() - Unable to get the ICompilerOrder Interface.\n");
  ++m_fileSequence;
  for (std::uint32_t kind = 0; kind < 8; ++kind) {
    if (Status status = order->SetSequenceID(kind, m_fileSequence); status != kSuccess)
      return Fail(status, "ERROR: Project::ProjectAddFile() - An error occured while setting the Fild sequence ID.\n");
  }

  AutoCast<IHdlFile> hdlFile(created.Get());
  if (!hdlFile || m_hdlFiles.Add(hdlFile.Get()) != kSuccess)
    return Fail(kMissingInterface, "ERROR: Project::ProjectAddFile() - The file is not an HDL file.\n");
  m_lastIndexed = m_fileIndex.emplace_hint(place, std::move(key), hdlFile.Get());
  out.Assign(hdlFile.Get());

  if (AutoCast<IOriginatorRef> originators(created.Get()); originators) {
    if (!IsProjectFileType(created.Get())) {
      std::ignore = originators->AddOriginator(&m_XIProject);
    } else if (AutoRelease<IProject> child = OpenChildProjectOfFile(created.Get()); child) {
      std::ignore = originators->AddOriginator(child.Get());
      // Marks the child as a sub-project until it closes: a guard that does not own the key
      // leaves it in the gate.
      OperationGateGuard gate;
      gate.EnterOperationGate(MakeInterfaceKey("subproject", child.Get()), child.Get());
      std::vector<AutoPtr<IProject>> children;
      children.emplace_back(child.Get());
      std::ignore = ComposeChildProjects(children);
    }
  }

  Status result = kFailure;
  AutoRelease<ISourceLibrary> work;
  if (m_sourceLibraries.FindSourceLibrary("work", work.Receive()) == kSuccess && work) {
    bool valid = false;
    if (work->IsFileTypeValidForLibrary(type.Get(), &valid) == kSuccess && valid)
      std::ignore = work->AddFileToLibrary(hdlFile.Get());
    result = kSuccess;
  }
  std::ignore = hdlFile->CheckFileOnDisk();
  std::ignore = SendEvent(&m_XIProject, EventId::FileAdded(), hdlFile.Get());
  std::ignore = SendEvent(&m_XIProject, EventId::DesignUnitCreated(), hdlFile.Get());
  return result;
}

void CProject::UnlinkFiles() {
  AutoRelease<IHdlFileIterator> walk;
  if (m_hdlFiles.GetIterator(walk.Receive()) != kSuccess || !walk) return;
  for (; !walk->IsDone(); std::ignore = walk->Next()) {
    IHdlFile* file = walk->Current();
    AutoCast<IHdlFileV4> relations(file);
    if (!relations) continue;
    for (std::uint32_t category = 0; category < kRelationCategories; ++category) {
      // Parents may be files the project no longer lists: each lets go of this file itself.
      for (const auto& parent : ParentFilesOf(relations.Get(), category)) {
        if (AutoCast<IHdlFileV4> links(parent.Get()); links) std::ignore = links->RemoveChildFile(category, file);
      }
      // A parent that left the project let go of its children as it left, but the file still
      // lists it: the file drops it itself.
      for (const auto& parent : ParentFilesOf(relations.Get(), category))
        std::ignore = relations->RemoveParentFile(category, parent.Get());
      std::ignore = relations->RemoveAllChildFiles(category);
    }
  }
}

Status CProject::XIFileManager::GetProjectFiles(IHdlFileIterator** files) {
  if (files == nullptr) return Fail(kInvalidParameter, "ERROR: Project::GetProjectFiles - Invalid Parameter.\n");
  *files = nullptr;
  if (!This().m_open) return Fail(kProjectNotOpen, "ERROR: Project::GetFiles - Project is not opened.\n");
  return This().m_hdlFiles.GetIterator(files);
}

Status CProject::XIFileManager::ProjectRemoveFile(IHdlFileIterator* at) { return This().RemoveFile(at); }

Status CProject::RemoveFile(IHdlFileIterator* at) {
  if (at == nullptr)
    return Fail(kInvalidParameter, "ERROR: Project::ProjectRemoveFile - Invalid Parameter - Iterator is NULL.\n");
  if (at->IsDone())
    return Fail(kInvalidParameter, "ERROR: Project::ProjectRemoveFile - Invalid Parameter - Iterator is at the END.\n");
  if (!m_open) return Fail(kProjectNotOpen, "ERROR: Project::ProjectRemoveFile - Project is not opened.\n");
  if (m_readOnly) return Fail(kProjectReadOnly, "ERROR: Project::ProjectRemoveFile - Project is Read Only.\n");
  // The set holds the file's last reference as often as not: keep one for the rest of the
  // removal, and read what is needed before the file leaves the set.
  AutoPtr<IHdlFile> file(at->Current());
  if (!IsProjectFileType(file.Get()) && !HasOriginator(file.Get(), &m_XIProject)) return kFailure;
  const String fullName = FullNameOf(file.Get());
  const std::uint32_t origin = OriginStateOf(file.Get());
  const bool offTheDisk = IsOffTheDisk(file.Get());
  const std::vector<Includer> includers = IncludersOf(file.Get());
  // A view that heard of the removal would look at its sources' includes while they still
  // name the file on its way out, and take it back: the views follow once it has gone.
  std::optional<BatchDelayScope> delay;
  if (!includers.empty()) delay.emplace(&m_XIProject);
  const Status removed = m_hdlFiles.Remove(at);
  if (removed != kSuccess) return removed;
  if (const auto known = m_fileIndex.find(Key(fullName)); known != m_fileIndex.end()) {
    if (known == m_lastIndexed) m_lastIndexed = m_fileIndex.end();
    m_fileIndex.erase(known);
  }
  if (origin == 0) std::ignore = m_fileListChanged.SetToNow();
  if (AutoCast<IFileInternal> internal(file.Get()); internal) std::ignore = internal->Remove();
  // Its views let go of it when it went off the disk, and heard nothing now: they follow its top.
  if (offTheDisk)
    ForEachOwnView(m_design.Get(), [&fullName](CView& view) { view.FollowFileLeftWhileAway(fullName); });
  else
    IncludeAgain(fullName, includers);
  return removed;
}

std::vector<CProject::Includer> CProject::IncludersOf(IHdlFile* file) {
  std::vector<Includer> includers;
  AutoCast<IHdlFileV4> relations(file);
  if (!relations) return includers;
  for (std::uint32_t category = 0; category < kRelationCategories; ++category) {
    for (AutoPtr<IHdlFile>& parent : ParentFilesOf(relations.Get(), category)) {
      if (RootOf(parent.Get()) != RootOf(file)) includers.push_back({category, std::move(parent)});
    }
  }
  return includers;
}

// A file the sources of the project still include is back at once as what a new open makes of
// it: a file the views manage themselves, in each view that reads those sources for includes.
// The includers read nothing again, so without this the file would come back only at the next
// open, and that open's close would rewrite the project file.
void CProject::IncludeAgain(const String& fullName, const std::vector<Includer>& includers) {
  bool any = false;
  for (const Includer& includer : includers) {
    AutoRelease<IHdlFileIterator> still;
    AutoCast<IHdlFileV4> relations(includer.file.Get());
    if (!relations || m_XIFileManager.FindFileByHdlFile(includer.file.Get(), still.Receive()) != kSuccess || !still ||
        still->IsDone())
      continue;
    any = relations->AddChildFileByName(includer.category, fullName, nullptr) == kSuccess || any;
  }
  if (!any) return;
  ForEachOwnView(m_design.Get(), [](CView& view) { view.LookAgainForIncludes(); });
}

Status CProject::XIFileManager::RemoveFileByPath(const String& path) {
  AutoRelease<IHdlFileIterator> at;
  if (FindFileByPath(path, at.Receive()) != kSuccess || !at || at->IsDone()) return kFailure;
  return This().RemoveFile(at.Get());
}

Status CProject::XIFileManager::RemoveFileByHdlFile(CitI::IInterface* file) {
  AutoRelease<IHdlFileIterator> at;
  if (FindFileByHdlFile(file, at.Receive()) != kSuccess || !at || at->IsDone()) return kFailure;
  return This().RemoveFile(at.Get());
}

Status CProject::XIFileManager::FindFileByPath(const String& path, IHdlFileIterator** at) {
  AutoOut<IHdlFileIterator> out(at);
  // A path holding a NUL names no file: the comparisons below would end it there, at another's name.
  if (at == nullptr || path.empty() || path.str().find('\0') != std::string::npos) return kFailure;
  const String wanted = ThroughProjectFolder(NormalPath(path, This().ProjectDirectory()), This().ProjectDirectory());
  // The index names most files as the walk below would compare them.
  if (const auto known = This().m_fileIndex.find(Key(wanted)); This().m_open && known != This().m_fileIndex.end() &&
                                                              Port::File::namematch(GetObjectFullPath(known->second).c_str(),
                                                                                    wanted.c_str()) == 1) {
    if (AutoRelease<IHdlFileIterator> found = This().m_hdlFiles.IteratorOf(known->second); found && !found->IsDone()) {
      out.Assign(found.Get());
      return kSuccess;
    }
  }
  AutoRelease<IHdlFileIterator> walk;
  if (GetProjectFiles(walk.Receive()) != kSuccess || !walk) return kFailure;
  for (; !walk->IsDone(); std::ignore = walk->Next()) {
    if (Port::File::namematch(GetObjectFullPath(walk->Current()).c_str(), wanted.c_str()) == 1) {
      out.Assign(walk.Get());
      return kSuccess;
    }
  }
  return kFailure;
}

Status CProject::XIFileManager::FindFileByHdlFile(CitI::IInterface* file, IHdlFileIterator** at) {
  AutoOut<IHdlFileIterator> out(at);
  if (at == nullptr || file == nullptr) return kFailure;
  AutoPtr<IHdlFile> wanted(file);
  if (AutoCast<IFileCompReference> reference(file); reference) {
    AutoRelease<CitI::IInterface> component;
    if (reference->GetFileComponent(component.Receive()) == kSuccess) wanted = component.Get();
  }
  if (!wanted) return kFailure;
  if (This().m_open) {
    if (AutoRelease<IHdlFileIterator> found = This().m_hdlFiles.IteratorOf(wanted.Get()); found && !found->IsDone()) {
      out.Assign(found.Get());
      return kSuccess;
    }
  }
  AutoRelease<IHdlFileIterator> walk;
  if (GetProjectFiles(walk.Receive()) != kSuccess || !walk) return kFailure;
  for (; !walk->IsDone(); std::ignore = walk->Next()) {
    if (walk->Current() == wanted.Get()) {
      out.Assign(walk.Get());
      return kSuccess;
    }
  }
  return kFailure;
}

Status CProject::XIFileManager::FindFileCompFromName(const String& name, IHdlFile** file) {
  AutoOut<IHdlFile> out(file);
  if (name.empty())
    return Fail(kInvalidParameter, "ERROR: CProject::XIFileManager::FindFileCompFromName - Invalid parameter.\n");
  if (!This().m_open)
    return Fail(kProjectNotOpen, "ERROR: CProject::XIFileManager::FindFileCompFromName - Project is not opened.\n");
  auto found = This().m_fileIndex.find(Key(name));
  if (found == This().m_fileIndex.end()) return kFailure;
  out.Assign(found->second);
  return kSuccess;
}

bool CProject::XIProjectInternal::FindFileByNameParts(const String& first, const String& second, bool userFilesOnly,
                                                      IHdlFile** file) {
  AutoOut<IHdlFile> out(file);
  if (file == nullptr) return false;
  AutoRelease<IHdlFileIterator> walk;
  if (This().m_hdlFiles.GetIterator(walk.Receive()) != kSuccess || !walk) return false;
  for (; !walk->IsDone(); std::ignore = walk->Next()) {
    IHdlFile* candidate = walk->Current();
    if (userFilesOnly && OriginStateOf(candidate) != 0) continue;
    String directory, name;
    if (candidate->GetPath(&directory, &name) != kSuccess) continue;
    if (name == second && directory == first) {
      out.Assign(candidate);
      return true;
    }
  }
  return false;
}

Status CProject::BroadcastWithConflictReports(const Port::XUID& eventId, IConflictReportSet** reports) {
  using ReportSet = TRefdSequenceSetHelper<IConflictReport*, IConflictReportSet, IConflictReportIterator,
                                           std::list<IConflictReport*>>;
  AutoOut<IConflictReportSet> out(reports);
  AutoRelease<IConflictReportSet> set(static_cast<IConflictReportSet*>(new ReportSet));
  out.Assign(set.Get());
  BroadcastEvent(&m_XIProject, eventId, set.Get());
  AutoRelease<IConflictReportIterator> walk;
  if (set->GetIterator(walk.Receive()) != kSuccess || !walk) return kSuccess;
  for (; !walk->IsDone(); std::ignore = walk->Next()) {
    if (IConflictReport* report = walk->Current(); report != nullptr) {
      if (Status status = report->GetStatus(); status != kSuccess) return status;
    }
  }
  return kSuccess;
}

}  // namespace Hvd
