#include "project/copy/CProjectSaveHelper.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <system_error>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IHdlFile.h"
#include "Port/FileName.h"
#include "Port/MsgMan.h"
#include "core/AtomicFile.h"
#include "core/Diagnostics.h"
#include "core/Holders.h"
#include "core/RegularFile.h"
#include "core/XmlChars.h"
#include "project/copy/CArchiveBundle.h"
#include "project/copy/CFileMapHelper.h"
#include "project/ProjectRoutines.h"
#include "project/copy/CopyPath.h"
#include "project/copy/PartitionsFile.h"
#include "projectfiles/CProjectSourceXMLWriter.h"
#include "projectfiles/ProjectPaths.h"
#include "utils/DirectoryLock.h"
#include "utils/DmUtils.h"
#include "utils/FileStamp.h"
#include "utils/FileUtils.h"
#include "utils/MadeFolders.h"
#include "utils/OwnedFolder.h"
#include "utils/PropertyAccessor.h"

namespace Hvd {

namespace P = CopyPath;
using String = Port::StringBase<char>;
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;

namespace {

constexpr std::uint32_t kRemoteSourcesOption = 0x40;
constexpr std::uint32_t kReferencedOptions = 0x102;
constexpr std::uint32_t kAllOptions = 0x1FF;
const char* const kRemoteSources = "remote_sources";

Port_MsgManData Messages(int line) {
  return Port_MsgManData::createObject("ProjectMgmt", "../src/CProjectSaveHelper", line, "$Revision: 1.34.6.2 $");
}

// The projects being copied on this thread: a project that refers back to one of them is not
// copied again, so references in a circle end.
std::set<CitI::IInterface*>& ProjectsInCopy() {
  thread_local std::set<CitI::IInterface*> projects;
  return projects;
}

struct InCopy {
  explicit InCopy(CitI::IInterface* project) : root(RootOf(project)) { entered = ProjectsInCopy().insert(root).second; }
  InCopy(const InCopy&) = delete;
  InCopy& operator=(const InCopy&) = delete;
  ~InCopy() {
    if (entered) ProjectsInCopy().erase(root);
  }
  CitI::IInterface* root;
  bool entered = false;
};

// A working directory for the copy: a complete one as it is, any other below the copy's
// directory; without a trailing separator.
String ResolveWorkingDirectory(const String& workingDirectory, const String& destinationDirectory) {
  String resolved = !workingDirectory.empty() && workingDirectory.str().front() == '/'
                        ? workingDirectory
                        : P::Normal(workingDirectory.empty() ? destinationDirectory
                                                             : P::Join(destinationDirectory, workingDirectory));
  while (resolved.size() > 1 && (resolved.str().back() == '/' || resolved.str().back() == '\\'))
    resolved.str().pop_back();
  return resolved;
}

// One copy: its paths, where its files land, and the directory they are gathered in.
class ProjectCopyContext {
 public:
  // `bundle`, when given, is borrowed and used in place of a directory bundle.
  ProjectCopyContext(IProject* project, IProjectBundle* bundle) : m_project(project), m_givenBundle(bundle) {}
  ProjectCopyContext(const ProjectCopyContext&) = delete;
  ProjectCopyContext& operator=(const ProjectCopyContext&) = delete;
  ~ProjectCopyContext() = default;

  Status Prepare(const String& target, const String& remoteSourcesName, std::uint32_t options,
                 const String& workingDirectory);
  Status Copy(const String& description, const String& workingDirectory, bool writeGenerated,
              const CProjectSaveHelper::BeforeWrite& beforeWrite = {});
  void CloseBundle(Status result) {
    // The writer's files go first: the bundle's folder holds them.
    if (result == kSuccess) m_written.Keep();
    std::ignore = m_written.TakeBack();
    if (m_bundle != nullptr) std::ignore = m_bundle->Close(result == kSuccess);
    m_bundle = nullptr;
    m_ownBundle = nullptr;
  }
  bool OntoItself() const { return P::Same(m_destinationProjectPath, m_sourceProjectFile); }
  void WarnIfOntoItself() const {
    if (!OntoItself()) return;
    String text;
    text.Format("WARNING: Attempting to copy a project to itself. The project will saved.\n%s\n.",
                m_sourceProjectFile.c_str());
    Port_MsgManData::debugStub(text.c_str());
  }
  bool RemoteSourcesCopied() const { return m_remoteSourcesCopied; }
  IProject2* Project() const { return m_project2.Get(); }
  bool GeneratedFits(const String& workingDirectory) const;
  bool WorkingDirectoryFits(const String& workingDirectory) const;

 private:
  IProjectBundle* Bundle();
  void CopyReferencedProjects();
  String GeneratedName(const String& workingDirectory) const;
  bool IsProjectsOwnGenerated(const String& generated) const;
  std::vector<String> WrittenNames(const String& workingDirectory, bool writeGenerated) const;
  Status ClearWrittenNames(const std::vector<String>& names);

  IProject* m_project;
  AutoCast<IProject2> m_project2;
  bool m_sameDirectory = false;
  std::uint32_t m_options = 0;
  String m_sourceDirectory;
  String m_sourceProjectFile;
  String m_destinationDirectory;
  String m_destinationProjectPath;
  String m_remoteSourcesDirectory;
  String m_remoteSourcesName;
  CFileMapHelper m_fileMap;
  AutoCast<ICPFileMapInternal> m_fileMapInterface;
  IProjectBundle* m_givenBundle;
  AutoRelease<IProjectBundle> m_ownBundle;
  IProjectBundle* m_bundle = nullptr;  // the one in use: the given one or our own
  MadeFolders m_written;               // the project and generated files the writer wrote
  bool m_remoteSourcesCopied = false;
};

Status ProjectCopyContext::Prepare(const String& target, const String& remoteSourcesName, std::uint32_t options,
                                   const String& workingDirectory) {
  m_options = options;
  m_project2 = AutoCast<IProject2>(m_project);
  if (!m_project2) return kFailure;
  // The copy's relative names are written from its folder where it really is.
  m_destinationProjectPath = P::Normal(InRealFolder(Port::FileName(target).GetAbsolutePath(false)));
  m_destinationDirectory = P::Parent(m_destinationProjectPath);
  if (m_destinationDirectory.empty()) m_destinationDirectory = Port::File::getcwd();
  String repositoryPath;
  std::ignore = m_project2->GetRepositoryPath(&repositoryPath);
  std::ignore = m_project2->GetProjectFilePath(&m_sourceProjectFile);
  m_sourceDirectory = P::Parent(m_sourceProjectFile);
  m_sameDirectory = !m_destinationDirectory.empty() && P::Same(m_destinationDirectory, m_sourceDirectory);
  if ((options & kRemoteSourcesOption) != 0) {
    m_remoteSourcesName = remoteSourcesName.empty() ? String(kRemoteSources) : remoteSourcesName;
    m_remoteSourcesDirectory = m_destinationDirectory + String("/") + m_remoteSourcesName;
  }
  if (m_destinationProjectPath.empty() || m_destinationDirectory.empty() || m_sourceProjectFile.empty() ||
      m_sourceDirectory.empty())
    return kFailure;
  const String destinationWorkingDirectory = ResolveWorkingDirectory(workingDirectory, m_destinationDirectory);
  // A copy into the project's own folder copies no file, so it maps none into its remote
  // sources either: it names the outside sources where they are, as a save-as does.
  const bool remoteSources = (options & kRemoteSourcesOption) != 0 && !m_sameDirectory;
  std::ignore = m_fileMap.SetupMap(!m_sameDirectory, remoteSources, m_sourceDirectory,
                                   m_destinationDirectory, m_remoteSourcesDirectory,
                                   (options & kReferencedOptions) == 0, repositoryPath, m_destinationProjectPath,
                                   destinationWorkingDirectory);
  m_fileMapInterface = AutoCast<ICPFileMapInternal>(&m_fileMap);
  return kSuccess;
}

IProjectBundle* ProjectCopyContext::Bundle() {
  if (m_bundle != nullptr) return m_bundle;
  if (m_givenBundle == nullptr)
    m_ownBundle = AutoRelease<IProjectBundle>(CitP::Factory::CreateInstance(ClassId::DirectoryProjectBundle()));
  IProjectBundle* bundle = m_givenBundle != nullptr ? m_givenBundle : m_ownBundle.Get();
  if (bundle == nullptr) return nullptr;
  const auto drop = [&] {
    std::ignore = bundle->Close(false);
    m_ownBundle = nullptr;
    return nullptr;
  };
  if (bundle->Initialize(P::Leaf(m_destinationDirectory), P::Parent(m_destinationDirectory), m_sourceDirectory) !=
      kSuccess)
    return drop();
  bool exists = false;
  std::ignore = bundle->Exists(&exists);
  if ((exists ? bundle->Open(2) : bundle->Create(false)) != kSuccess) return drop();
  m_bundle = bundle;
  return m_bundle;
}

Status ProjectCopyContext::Copy(const String& description, const String& workingDirectory, bool writeGenerated,
                                const CProjectSaveHelper::BeforeWrite& beforeWrite) {
  if (OntoItself()) return kSuccess;
  AutoCast<IProjectInternal> writer(m_project);
  if (writer && !WorkingDirectoryFits(workingDirectory)) return kInvalidParameter;
  String buildMacro;
  Status result = kFailure;
  if (!m_sameDirectory && m_options != 0) {
    // A source that is gone refuses the copy before its folder is made or anything is copied
    // into one that was there.
    if (const Status present = FileUtils::FindGoneSources(m_project, m_options, m_fileMapInterface.Get());
        present != kSuccess)
      return present;
    IProjectBundle* bundle = Bundle();
    if (bundle == nullptr) return kFailure;
    result = FileUtils::AddProjectContentsToBundle(m_project, m_options, m_fileMapInterface.Get(), bundle, buildMacro,
                                                   &m_remoteSourcesCopied);
    if (result != kSuccess) {
      CloseBundle(result);
      return result;
    }
  }
  if ((m_options & kReferencedOptions) != 0) CopyReferencedProjects();
  if (writer) {
    // A copy that keeps the project's working directory outside both folders would write its
    // generated file over the project's own, which the forced save before the copy wrote: the
    // project's next save would take that write for another program's change and ask about it.
    // The file stays the project's.
    if (writeGenerated && IsProjectsOwnGenerated(GeneratedName(workingDirectory))) writeGenerated = false;
    const std::vector<String> written = WrittenNames(workingDirectory, writeGenerated);
    if (const Status cleared = ClearWrittenNames(written); cleared != kSuccess) return cleared;
    if (beforeWrite) beforeWrite(written);
    const Status wrote = writer->ProjectWriteCopy(m_destinationProjectPath, m_fileMapInterface.Get(), description,
                                                  workingDirectory, buildMacro, writeGenerated);
    // Each name was freed, so what is there now the writer wrote, whole or not: a refused copy
    // takes it back, and puts back what was there.
    for (const String& name : written) m_written.Wrote(name.str());
    if (wrote != kSuccess) return wrote;
    const Status carried = CarryPartitionsFile(m_project, m_sourceProjectFile, m_destinationProjectPath, &m_written);
    m_written.Wrote(written[1].str());
    return carried;
  }
  return result;
}

// The project file and the generated file are written at their names; a link there, or on the
// way there below the destination, would have the writer replace what it leads to. The link is
// replaced instead. A copy into the project's own directory leaves the project's links on the
// way alone and only replaces a link at a written name. What is replaced is kept aside until the
// copy is kept.
std::vector<String> ProjectCopyContext::WrittenNames(const String& workingDirectory, bool writeGenerated) const {
  const String projectFile = ReplaceProjectExtension(m_destinationProjectPath, ".xhlc");
  std::vector<String> names{projectFile, PartitionsFileOf(projectFile)};
  if (writeGenerated) names.push_back(GeneratedName(workingDirectory));
  return names;
}

// Where the copy's generated file is written: in its working directory, named after its project file.
String ProjectCopyContext::GeneratedName(const String& workingDirectory) const {
  const String projectFile = ReplaceProjectExtension(m_destinationProjectPath, ".xhlc");
  const String generatedDirectory = workingDirectory.empty()            ? m_destinationDirectory
                                    : IsAbsolutePath(workingDirectory) ? P::Normal(workingDirectory)
                                                                       : P::Join(m_destinationDirectory, workingDirectory);
  return P::Normal(P::Join(generatedDirectory, P::BaseName(projectFile) + String(".ghlc")));
}

// The copy's generated file names the project's file by its path from there, which passes
// through the folders the two do not share: one of them named with what the file cannot hold
// refuses the copy before anything is written, naming that path.
bool ProjectCopyContext::GeneratedFits(const String& workingDirectory) const {
  String written;
  NormalizeFileName(SplitPath(GeneratedName(workingDirectory), true), m_sourceProjectFile, written);
  return XmlFits("ProjectMgmt", "The project file's path from the copy's generated file", written.str());
}

// Whether the project's property takes the working directory the copy's file would keep. One
// it refuses, telling why, refuses the copy before anything is made: its folder, its working
// folder, a source copied into a folder that was there. Asked as the copy's write asks it; the
// property keeps its value.
bool ProjectCopyContext::WorkingDirectoryFits(const String& workingDirectory) const {
  PropertyAccessor properties(m_project);
  if (!properties.GetPropertyInstance("PROP_WorkingDirectory")) return true;
  const String stored = CopysWorkingDirectory(
      workingDirectory, ReplaceProjectExtension(Port::FileName(m_destinationProjectPath).GetAbsolutePath(), ".xhlc"));
  const String kept = properties.GetPropertyValue("PROP_WorkingDirectory");
  if (stored == kept) return true;
  properties.SetPropertyValue("PROP_WorkingDirectory", stored);
  if (properties.GetPropertyValue("PROP_WorkingDirectory") != stored) return false;
  properties.SetPropertyValue("PROP_WorkingDirectory", kept);
  return true;
}

// Whether `generated` is the project's own generated file, by its name or, reached another
// way, as the same file.
bool ProjectCopyContext::IsProjectsOwnGenerated(const String& generated) const {
  String own;
  if (!m_project2 || m_project2->GetGeneratedFilePath(&own) != kSuccess || own.empty()) return false;
  if (P::Same(generated, own)) return true;
  struct stat first {};
  struct stat second {};
  return ::stat(generated.c_str(), &first) == 0 && ::stat(own.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

Status ProjectCopyContext::ClearWrittenNames(const std::vector<String>& names) {
  for (const String& name : names) {
    const String top = m_sameDirectory ? P::Parent(name) : m_destinationDirectory;
    const Status cleared = FileUtils::RemoveLinksBelow(top, name, &m_written);
    if (cleared != kSuccess) return cleared;
    // Outside the destination, only the name itself.
    if (!m_sameDirectory) {
      if (const Status leaf = FileUtils::RemoveLinksBelow(P::Parent(name), name, &m_written); leaf != kSuccess)
        return leaf;
    }
    // A file there, which the writer would write over.
    if (const Status aside = FileUtils::SetAside(name, m_written); aside != kSuccess) return aside;
  }
  return kSuccess;
}

// The child projects that the project's files stand for, each copied once to where the map
// puts its project file. A failed child does not fail the parent's copy.
void ProjectCopyContext::CopyReferencedProjects() {
  AutoCast<IFileManager> files(m_project);
  AutoRelease<IHdlFileIterator> items;
  if (!files || files->GetProjectFiles(items.Receive()) != kSuccess || !items) return;
  std::vector<AutoPtr<IProject>> children;
  std::set<CitI::IInterface*> seen{RootOf(m_project)};
  for (; !items->IsDone(); std::ignore = items->Next()) {
    if (!IsProjectFileType(items->Current())) continue;
    AutoRelease<IProject> owner = GetOwningProject(items->Current());
    if (owner && seen.insert(RootOf(owner.Get())).second) children.emplace_back(owner.Get());
  }
  for (const AutoPtr<IProject>& child : children) {
    AutoCast<IProject2> paths(child.Get());
    String path;
    if (!paths || paths->GetProjectFilePath(&path) != kSuccess || path.empty()) continue;
    String mapped;
    if (m_fileMapInterface->MapFileName(path, &mapped, false) != kSuccess || P::Same(mapped, path)) continue;
    String remoteSourcesName = m_remoteSourcesName;
    CProjectSaveHelper helper(child.Get());
    std::ignore = helper.CopyProject(mapped, m_options | kAllOptions, P::Parent(mapped), String(), &remoteSourcesName);
  }
}

// The copy's generated file names its project file, and its project file holds the description:
// a copy that could not be opened again for either is refused before anything is written. So is
// one whose path holds a NUL, where the system would end it and write somewhere else.
bool CopyFits(const String& path, const String& description) {
  return NulFree("ProjectMgmt", "The path of the copy", path.str()) &&
         XmlFits("ProjectMgmt", "The name of the copy", Port::FileName(path).GetTail().str()) &&
         XmlFits("ProjectMgmt", "The description of the copy", description.str());
}

}  // namespace

Status CProjectSaveHelper::SaveAs(const String& targetPath) {
  String remoteSourcesName;
  return CopyProject(targetPath, 0x106, String(), String(), &remoteSourcesName);
}

Status CProjectSaveHelper::SaveAsArchive(const String& archivePath, String* remoteSourcesName) {
  return Archive(archivePath, 0x15E, remoteSourcesName);
}

Status CProjectSaveHelper::CopyProject(const String& targetPath, std::uint32_t options,
                                       const String& workingDirectory, const String& description,
                                       String* remoteSourcesName) {
  return CopyInto(targetPath, options, workingDirectory, description, remoteSourcesName, nullptr);
}

Status CProjectSaveHelper::CopyInto(const String& targetPath, std::uint32_t options, const String& workingDirectory,
                                    const String& description, String* remoteSourcesName, IProjectBundle* bundle,
                                    const BeforeWrite& beforeWrite) {
  if (!CopyFits(targetPath, description)) return kInvalidParameter;
  const InCopy inCopy(m_project);
  if (!inCopy.entered) return kSuccess;  // already being copied further up
  ProjectCopyContext context(m_project, bundle);
  const String wanted = remoteSourcesName != nullptr ? *remoteSourcesName : String();
  if (const Status prepared = context.Prepare(targetPath, wanted, options, workingDirectory); prepared != kSuccess)
    return prepared;
  if (!context.OntoItself() && !context.GeneratedFits(workingDirectory)) return kInvalidParameter;
  context.WarnIfOntoItself();
  if (AutoCast<IForceSave> saver(m_project); saver) std::ignore = saver->ForceSave();
  const Status result = context.Copy(description, workingDirectory, true, beforeWrite);
  if (remoteSourcesName != nullptr) {
    *remoteSourcesName = context.RemoteSourcesCopied() ? ((options & kRemoteSourcesOption) != 0
                                                              ? (wanted.empty() ? String(kRemoteSources) : wanted)
                                                              : wanted)
                                                       : String();
  }
  context.CloseBundle(result);
  return result;
}

Status CProjectSaveHelper::CopyProjectTo(const String& projectFileName, const String& destinationDirectory,
                                         const String& workingDirectory, const String& description,
                                         bool copyContents, bool writeGenerated) {
  if (!NulFree("ProjectMgmt", "The folder of the copy", destinationDirectory.str()) ||
      !CopyFits(projectFileName, description))
    return kInvalidParameter;
  const InCopy inCopy(m_project);
  if (!inCopy.entered) return kSuccess;
  const String directory = P::Normal(destinationDirectory);
  String target = directory;
  if (!projectFileName.empty() && !directory.empty() && directory.str().back() != '/' &&
      directory.str().back() != '\\')
    target += "/";
  target += projectFileName;
  const String resolved = ResolveWorkingDirectory(workingDirectory, directory);
  const std::uint32_t options = (copyContents ? 0x146u : 0u) | (writeGenerated ? 0x8u : 0u);

  ProjectCopyContext context(m_project, nullptr);
  if (const Status prepared = context.Prepare(target, String(kRemoteSources), options, resolved);
      prepared != kSuccess)
    return prepared;
  if (writeGenerated && !context.OntoItself() && !context.GeneratedFits(resolved)) return kInvalidParameter;
  context.WarnIfOntoItself();
  if (AutoCast<IForceSave> saver(m_project); saver) std::ignore = saver->ForceSave();
  const Status result = context.Copy(description, resolved, writeGenerated);
  if (result != kSuccess) Messages(__LINE__).issueWarning("An error occurred while copying the project to \"%s\"\n", target.c_str());
  context.CloseBundle(result);
  return result;
}

namespace {

// Whether `name` looks like what an archive works with in "tmp": a folder named as
// Port::File::tmpnam names ("tmp" and ten letters or digits), a file named after one, a
// temporary file of the zip program ("zi" and six) or of the atomic writer (".hvd."). Only to
// name what is left alone: the shape of a name proves nothing about who made it.
bool LooksLikeArchiveScratch(const std::string& name) {
  const auto alnum = [&name](std::size_t from, std::size_t count) {
    return name.size() >= from + count && std::all_of(name.begin() + static_cast<std::ptrdiff_t>(from),
                                                      name.begin() + static_cast<std::ptrdiff_t>(from + count),
                                                      [](unsigned char c) { return std::isalnum(c) != 0; });
  };
  // An atomic writer's temporary, as an archive before its folder of its own left it in "tmp".
  if (name.rfind(".hvd.", 0) == 0) return true;
  if (name.rfind("tmp", 0) == 0 && alnum(3, 10)) return name.size() == 13 || name[13] == '.';
  return name.size() == 8 && name.rfind("zi", 0) == 0 && alnum(2, 6);
}

// One line of an archive's mark: the name in "tmp" of the folder an archive makes there, and
// the random token it writes into that folder's own mark right after its mkdir. The line is
// written before the mkdir, so that a folder a killed archive made is always recorded.
struct ScratchRecord {
  std::string name;
  std::string token;
};

// The records of a mark; none from a line that is not one (a line cut short by a kill, or
// anything else written there). A name is one step below "tmp", never a way out of it.
std::vector<ScratchRecord> ParseRecords(const std::string& text) {
  std::vector<ScratchRecord> records;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    ScratchRecord record;
    std::string rest;
    if (!(fields >> record.name >> record.token) || (fields >> rest)) continue;
    if (record.name == "." || record.name == ".." || record.name.find('/') != std::string::npos) continue;
    records.push_back(std::move(record));
  }
  return records;
}

// The "tmp" directory of a working directory, shared by the archives under way there. The
// archive that makes it marks it. Each archive works in a folder of its own there, which it
// records in the mark with a token that the folder's own mark holds; the last archive out takes
// away the recorded folders that killed archives left, and the directory itself when only the
// mark is left in it. What no archive recorded, or what does not hold its record's token (a
// folder made again at a freed name may have the freed inode), stays, named in a warning; so
// does a "tmp" that no archive made, unless it holds nothing. The working directory is held
// locked while one comes or goes, so that none comes between the last one's look and its
// removal.
class SharedTmp {
 public:
  SharedTmp(const String& workingDirectory, const String& tmpDirectory)
      : m_working(workingDirectory.str()), m_tmp(tmpDirectory.str()), m_mark(m_tmp + "/" + kMark) {}
  SharedTmp(const SharedTmp&) = delete;
  SharedTmp& operator=(const SharedTmp&) = delete;
  ~SharedTmp() { Leave(); }

  // Joins the archives in "tmp", made when missing. Anyone who can read a directory can hold
  // its lock: one held beyond the wait fails the archive, naming the directory.
  Status Enter() {
    DirectoryLock guard;
    if (!guard.Take(m_working, true) && guard.Busy()) return Busy(m_working);
    // An empty "tmp" without its mark is what an archive killed as it took "tmp" away, or
    // before it marked it, left: nothing is lost with it, and it would keep every later
    // archive from recording its folder.
    if (DirectoryLock idle; !Marked() && OwnedFolder::HoldsNothing(m_tmp, kMark) && idle.Take(m_tmp, false))
      std::ignore = Port::File::rmdir(String(m_tmp));
    if (!Port::File::exist(String(m_tmp))) {
      if (Port::File::mkdir(String(m_tmp), false)) {
        const int fd = ::open(m_mark.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) ::close(fd);
      } else if (const int error = errno; !Port::File::exist(String(m_tmp))) {
        // A working directory that cannot take it (no permission, a read-only file system) is
        // named with the system's reason.
        Messages(__LINE__).issueError("The folder \"%s\" cannot be made: %s. The archive is not made.\n",
                                      m_tmp.c_str(), std::strerror(error));
        return kFailure;
      }
    }
    // A link or anything but a folder at "tmp" is no scratch of the project's: nothing is made
    // through it.
    if (!m_use.Take(m_tmp, true, true)) {
      if (m_use.Busy()) return Busy(m_tmp);
      Messages(__LINE__).issueError("The folder \"%s\" is not a folder of the project. The archive is not made.\n",
                                    m_tmp.c_str());
      return kFailure;
    }
    return kSuccess;
  }

  // Makes this archive's own folder in "tmp", under a name free there, recorded in the mark
  // first and marked with its token right after its mkdir; empty when none could be made.
  String MakeOwn() {
    m_ownToken = OwnedFolder::NewToken();
    for (int attempt = 0; attempt < 10 && m_own.empty() && !m_ownToken.empty(); ++attempt) {
      const String name = P::Leaf(Port::File::tmpnam(m_tmp.c_str()));
      if (name.empty()) break;
      const String own = P::Join(String(m_tmp), name);
      Record(name.str());
      if (!Port::File::mkdir(own, false)) continue;
      m_own = own.str();
      if (!OwnedFolder::Mark(m_own, kOwnMark, m_ownToken)) RemoveOwn();
    }
    return String(m_own);
  }

  void Leave() {
    if (!m_use.Held()) return;
    RemoveOwn();
    DirectoryLock guard;
    // Without the guard another archive may be coming: "tmp" is left as it is.
    // Only the folder still locked is cleaned: "tmp" renamed or replaced meanwhile is left alone.
    if ((guard.Take(m_working, true) || !guard.Busy()) && m_use.TryExclusive() && m_use.Is(m_tmp) && Marked()) {
      ReclaimLeftovers();
      if (OnlyTheMarkLeft()) {
        std::ignore = Port::File::remove_f(String(m_mark));
        std::ignore = Port::File::rmdir(String(m_tmp));
      }
    }
    m_use.Release();
  }

 private:
  static constexpr const char* kMark = ".made_by_archive";
  // The mark inside an archive's own folder, holding the token its record holds.
  static constexpr const char* kOwnMark = ".archive_token";
  // A line a record, one an archive that was killed before the last one out took its folder
  // away: a mark longer than this is none that archives wrote.
  static constexpr std::size_t kMarkBound = 64 * 1024;

  static Status Busy(const std::string& directory) {
    Messages(__LINE__).issueError(
        "The folder \"%s\" is busy: another process holds its lock. The archive is not made.\n", directory.c_str());
    return kFailure;
  }
  static void LeftAlone(const std::string& path, const char* why) {
    Messages(__LINE__).issueWarning("\"%s\" is left as it is: %s.\n", path.c_str(), why);
  }
  bool Marked() const {
    std::error_code error;
    return std::filesystem::symlink_status(m_mark, error).type() == std::filesystem::file_type::regular;
  }
  // The mark opened as a regular file of one name, without following a link or waiting; -1 when
  // it is not one. A mark with another name elsewhere, a hard link, may be a file outside the
  // project, which is never written.
  int OpenMark(int flags) const {
    const int fd = ::open(m_mark.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1)) {
      ::close(fd);
      return -1;
    }
    return fd;
  }
  // Appended whole in one write, so that archives recording at once never mix their lines. A
  // "tmp" without the mark is none an archive made, and gets none.
  void Record(const std::string& name) const {
    const int fd = OpenMark(O_WRONLY | O_APPEND);
    if (fd < 0) return;
    const std::string line = name + " " + m_ownToken + "\n";
    std::ignore = ::write(fd, line.data(), line.size());
    ::close(fd);
  }
  // Whether `path` is the folder an archive made with `token`, or one that holds nothing.
  static bool Ours(const std::string& path, const std::string& token) {
    return OwnedFolder::Proves(path, kOwnMark, token) || OwnedFolder::HoldsNothing(path, kOwnMark);
  }
  // Killed while it goes, what is left still proves itself: its mark goes last.
  void RemoveOwn() {
    if (m_own.empty()) return;
    if (!OwnedFolder::Remove(m_own, kOwnMark, m_ownToken))
      LeftAlone(m_own, "this archive's folder could not be removed");
    m_own.clear();
  }
  // The whole mark, read to its bound; nothing when it is over it or cannot be read.
  std::optional<std::string> ReadMark() const {
    std::string text;
    if (!ReadOwnRegularFile(m_mark, text, kMarkBound)) return std::nullopt;
    return text;
  }
  // Held alone, "tmp" has no archive under way: the folders that killed archives recorded go,
  // when each is still the folder recorded, with all they hold, the atomic writer's temporaries
  // among them. The mark keeps the records of the folders that could not be taken away.
  void ReclaimLeftovers() const {
    const std::optional<std::string> text = ReadMark();
    if (!text) {
      LeftAlone(m_mark, "it is no record that archives wrote, and nothing it may name is taken away");
      return;
    }
    std::set<std::string> recorded;
    std::string kept;
    for (const ScratchRecord& record : ParseRecords(*text)) {
      if (record.name == kMark) continue;
      const std::string path = m_tmp + "/" + record.name;
      recorded.insert(record.name);
      std::error_code error;
      if (std::filesystem::symlink_status(path, error).type() == std::filesystem::file_type::not_found) continue;
      if (!Ours(path, record.token)) {
        LeftAlone(path, "it is not the folder that a killed archive made there");
        continue;
      }
      if (!OwnedFolder::RemoveMarkLast(path, kOwnMark) &&
          std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found)
        kept += record.name + " " + record.token + "\n";
    }
    if (kept != *text) {
      if (const int fd = OpenMark(O_WRONLY); fd >= 0) {
        if (::ftruncate(fd, 0) == 0) std::ignore = ::write(fd, kept.data(), kept.size());
        ::close(fd);
      }
    }
    std::error_code error;
    for (std::filesystem::directory_iterator each(m_tmp, error); !error && each != std::filesystem::directory_iterator();
         each.increment(error)) {
      const std::string name = each->path().filename().string();
      if (recorded.count(name) == 0 && LooksLikeArchiveScratch(name))
        LeftAlone(each->path().string(), "no archive recorded it as its own");
    }
  }
  bool OnlyTheMarkLeft() const {
    std::error_code error;
    for (std::filesystem::directory_iterator each(m_tmp, error); !error && each != std::filesystem::directory_iterator();
         each.increment(error)) {
      if (each->path().filename() != kMark) return false;
    }
    return !error;
  }

  std::string m_working;
  std::string m_tmp;
  std::string m_mark;
  DirectoryLock m_use;  // shared by each archive while it works in "tmp"
  std::string m_own;    // this archive's folder in "tmp", while it is there
  std::string m_ownToken;
};

// The zip of the project's own files, run beside the rest of the archive's work: a few zips of
// consecutive runs of the names, each into an archive of its own, joined behind the temporary
// tree's archive at the end, so that the entries come in the order of one zip after the other.
// The other threads only run the zip program: the project, and messages, stay on the caller's
// thread.
class NamesZip {
 public:
  explicit NamesZip(const String& partsBase) : m_partsBase(partsBase) {}
  NamesZip(const NamesZip&) = delete;
  NamesZip& operator=(const NamesZip&) = delete;
  ~NamesZip() { Remove(); }

  // Takes away the parts and the lists of names given to the zips, whatever became of them,
  // so that the archive leaves "tmp" with nothing of its own in it.
  void Remove() {
    Wait();
    for (const String& part : m_parts) std::ignore = FileUtils::RemoveItem(part);
    m_parts.clear();
    m_jobs.clear();
  }

  void Start(const String& directory, const std::vector<String>& names) {
    if (m_started) return;
    m_started = true;
    m_directory = directory;
    m_names = names;
    // Runs of a thousand names or more keep each zip busy long enough to be worth a process;
    // one a processor, and at least two, which the rest of the archive's work leaves room for.
    const std::size_t processors = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 2, 8);
    const std::size_t runs = std::clamp<std::size_t>(names.size() / 1000, 1, processors);
    m_jobs = std::vector<FileUtils::NamesZipJob>(runs);
    for (std::size_t run = 0; run < runs; ++run) {
      const std::vector<String> slice(names.begin() + static_cast<std::ptrdiff_t>(names.size() * run / runs),
                                      names.begin() + static_cast<std::ptrdiff_t>(names.size() * (run + 1) / runs));
      String part;
      part.Format("%s.names%d.zip", m_partsBase.c_str(), static_cast<int>(run));
      std::ignore = FileUtils::RemoveItem(part);
      m_parts.push_back(part);
      m_status = m_jobs[run].Prepare(directory, slice, part);
      if (m_status != kSuccess) break;
    }
    if (m_status != kSuccess) return;
    for (FileUtils::NamesZipJob& job : m_jobs) m_workers.emplace_back([&job] { job.Run(); });
  }

  bool Started() const { return m_started; }

  // Adds the names' entries to `archive`, behind its own, when `names` are still the ones
  // started with; otherwise, or failing the join, `names` are zipped into it as one.
  Status AppendTo(const String& archive, const std::vector<String>& names) {
    Wait();
    if (names != m_names) return FileUtils::ZipNames(m_directory, names, archive);
    if (m_status != kSuccess) return m_status;
    for (FileUtils::NamesZipJob& job : m_jobs) {
      const Status finished = job.Finish();
      if (finished != kSuccess) return finished;
    }
    std::vector<String> parts{archive};
    for (const String& part : m_parts)
      if (Port::File::exist(part)) parts.push_back(part);
    if (parts.size() == 1) return kSuccess;  // no names
    const String joined = m_partsBase + String(".joined.zip");
    if (FileUtils::JoinZips(parts, joined) == kSuccess && Port::File::rename(joined, archive)) return kSuccess;
    std::ignore = FileUtils::RemoveItem(joined);
    return FileUtils::ZipNames(m_directory, names, archive);
  }

  void Wait() {
    for (std::thread& worker : m_workers) worker.join();
    m_workers.clear();
  }

 private:
  String m_partsBase;
  String m_directory;
  std::vector<String> m_names;
  std::vector<FileUtils::NamesZipJob> m_jobs;
  std::vector<String> m_parts;
  std::vector<std::thread> m_workers;
  Status m_status = kSuccess;
  bool m_started = false;
};

// The names below `directory` of the paths in `paths` that lie below it, with the folders on
// the way to them, which their writer makes.
std::set<std::string> BundleNames(const String& directory, const std::vector<String>& paths) {
  std::set<std::string> names;
  const std::string base = P::Normal(directory).str() + "/";
  for (const String& path : paths) {
    const std::string normal = P::Normal(path).str();
    if (normal.size() <= base.size() || normal.compare(0, base.size(), base) != 0) continue;
    const std::string name = normal.substr(base.size());
    for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
      names.insert(name.substr(0, slash));
    names.insert(name);
  }
  return names;
}

}  // namespace

Status CProjectSaveHelper::Archive(const String& archivePath, std::uint32_t options, String* remoteSourcesName) {
  if (remoteSourcesName != nullptr) *remoteSourcesName = kRemoteSources;
  if (!NulFree("ProjectMgmt", "The path of the archive", archivePath.str())) return kInvalidParameter;
  AutoCast<IProject3> project(m_project);
  if (!project) return Fail(kFailure, "Hvd::CProjectSaveHelper::Archive has no host, unable to continue\n");
  String workingDirectory;
  String projectFile;
  std::ignore = project->GetWorkingDirectory(&workingDirectory);
  std::ignore = project->GetProjectFilePath(&projectFile);
  workingDirectory = P::Normal(workingDirectory);

  if (workingDirectory.empty() || projectFile.empty())
    return Fail(kTempDirNotCreated, "Hvd::CProjectSaveHelper::Archive - no temporary name for the archive\n");
  const String tmpDirectory = P::Join(workingDirectory, String("tmp"));
  SharedTmp tmp(workingDirectory, tmpDirectory);
  if (const Status entered = tmp.Enter(); entered != kSuccess) return entered;
  // Everything the archive makes in "tmp" (its tree, its zips, the lists given to zip, the
  // temporaries of zip and of the atomic writer) lies in a folder of its own there, named as the
  // tree is, so that a killed archive's leftovers are the one folder that its record proves its.
  const String ownDirectory = tmp.MakeOwn();
  if (ownDirectory.empty())
    return Fail(kTempDirNotCreated, "Hvd::CProjectSaveHelper::Archive - no temporary name for the archive\n");
  const String temporaryName = P::Leaf(ownDirectory);
  const String temporaryDirectory = P::Join(ownDirectory, temporaryName);
  const String temporaryProject = P::Join(temporaryDirectory, P::Leaf(projectFile));
  const String temporaryZip = Port::FileName(temporaryDirectory).GetExtension() == ".zip"
                                  ? temporaryDirectory
                                  : temporaryDirectory + String(".zip");
  std::ignore = FileUtils::RemoveItem(temporaryDirectory);

  // The working directory keeps its place relative to the project directory in the archive;
  // one outside it goes below the remote sources.
  const String projectDirectory = P::Parent(projectFile);
  String archiveWorkingDirectory;
  if (P::Same(workingDirectory, projectDirectory)) {
    archiveWorkingDirectory = temporaryDirectory;
  } else {
    String relative;
    String at = workingDirectory;
    while (!at.empty() && !P::Same(at, projectDirectory)) {
      const String parent = P::Parent(at);
      if (parent == at) break;
      relative = relative.empty() ? P::Leaf(at) : P::Leaf(at) + String("/") + relative;
      at = parent;
    }
    archiveWorkingDirectory = P::Same(at, projectDirectory)
                                  ? temporaryDirectory + String("/") + relative
                                  : temporaryDirectory + String("/") + String(kRemoteSources) + String("/") +
                                        P::Leaf(workingDirectory);
  }

  const Port_MsgManData messages = Messages(__LINE__);
  messages.issueInfo("Project Archive - Copying project files.\n");
  // The project's own files are zipped from where they are; only what the copy renames or
  // rewrites is gathered in the temporary directory. Once everything but the project file and
  // the generated file is in place, the project's own files are zipped while those two are
  // written; the temporary directory is zipped into the same archive afterwards, its entries
  // taking the place of any of the same name.
  CArchiveBundle bundle;
  NamesZip namesZip(temporaryDirectory);
  const auto zipNamesNow = [&](const std::vector<String>& written) {
    namesZip.Start(bundle.SourceDirectory(), bundle.NamesToZip(BundleNames(temporaryDirectory, written)));
  };
  Status result = kSuccess;
  {
    // The temporary tree is zipped and removed: what is written there need not reach the disk.
    const UnflushedBelow scratch(temporaryDirectory.str());
    result = CopyInto(temporaryProject, options, archiveWorkingDirectory, String(), remoteSourcesName, &bundle,
                      zipNamesNow);
  }
  // The temporary tree is zipped while the project's own files may still be being zipped;
  // their zips are waited for where they are joined to it.
  if (result == kSuccess) {
    std::ignore = FileUtils::RemoveItem(temporaryZip);
    messages.issueInfo("Project Archive - Performing .zip compression.\n");
    result = FileUtils::ZipDirectory(temporaryDirectory, temporaryZip);
    if (result == kSuccess) {
      const std::vector<String> names = bundle.NamesToZip();
      result = namesZip.Started() ? namesZip.AppendTo(temporaryZip, names)
                                  : FileUtils::ZipNames(bundle.SourceDirectory(), names, temporaryZip);
    }
    if (result == kSuccess) {
      messages.issueInfo("Project Archive - Copying compressed file to %s.\n", archivePath.c_str());
      result = FileUtils::CopyFile(temporaryZip, archivePath, FileUtils::kReadWrite);
    }
  }
  messages.issueInfo("Project Archive - Deleting temporary files and directories.\n");
  std::ignore = FileUtils::RemoveItem(temporaryZip);
  std::ignore = FileUtils::RemoveItem(temporaryDirectory);
  namesZip.Remove();
  tmp.Leave();
  if (result == kSuccess) messages.issueInfo("Project Archive - Archive complete: %s.\n", archivePath.c_str());
  return result;
}

}  // namespace Hvd
