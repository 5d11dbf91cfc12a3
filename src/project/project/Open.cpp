// Opening: the path decides the kind of project, the .xhlc is read into the closed project,
// and the reopen reads it again.

#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "CitP/Factory.h"
#include "Hvd/EventIds.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IProjectInfo.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/ISourceLibrary.h"
#include "Port/FileName.h"
#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "Port/Process.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/IObjTable.h"
#include "Prjrep/IProjectRepository.h"
#include "Prjrep/IStorage.h"
#include "core/Diagnostics.h"
#include "core/Events.h"
#include "core/XmlChars.h"
#include "project/ProjectRoutines.h"
#include "project/TopModule.h"
#include "project/UsageStatistics.h"
#include "project/project/CProject.h"
#include "project/snapshot/Restore.h"
#include "design/design/Placement.h"
#include "projectfiles/CGenProjectReader.h"
#include "projectfiles/RepoMine.h"
#include "projectfiles/projectinfo/CProjectInfo.h"
#include "Hvd/ITclInterp.h"
#include "utils/FileUtils.h"
#include "utils/DmUtils.h"
#include "utils/FileStamp.h"
#include "utils/InterpHelp.h"
#include "utils/PropertyAccessor.h"

namespace Hvd {

namespace {

using String = Port::StringBase<char>;

bool HasExtension(const String& path, const char* extension) {
  return strcasecmp(Port::FileName(path).GetExtension().c_str(), extension) == 0;
}

// The major version: the text before the first ".", read as a number.
std::int32_t MajorOf(const String& version) {
  const std::string text = version.str();
  return static_cast<std::int32_t>(std::strtol(text.substr(0, text.find('.')).c_str(), nullptr, 10));
}

// The product version the file at `path` was saved with, read without opening it. Without the
// component that reads it the open cannot go on (failure); a file it cannot read leaves
// `*read` false. The document read is given back in `document`, so that the open, when the
// file stays as it is, does not parse it a second time; `*refused` tells that the file did not
// parse, which was reported once, here.
Status SavedProductVersion(const String& path, String* version, bool* read, bool* refused, Xml::DocumentPtr* document,
                           std::string* bytes, std::unique_ptr<ElementIndex>* index,
                           std::unique_ptr<CXMLReader::DivertedFiles>* diverted) {
  *read = false;
  *refused = false;
  Prjrep::AutoRelease<IProjectInfo> info(CitP::Factory::CreateInstance(ClassId::ProjectInfo()));
  if (!info) return Fail(kFailure, "Project::Open - CreateInstance of CProjectComp failed.\n");
  // The open takes the document over: its file entries are read as it is parsed.
  CProjectInfo::DivertFileEntries(info.Get());
  *read = info->ReadProjectData(path) == kSuccess && info->GetHlcVersion(version) == kSuccess;
  if (*read) *document = CProjectInfo::TakeReadDocument(info.Get(), bytes, index, diverted);
  *refused = !*read && CProjectInfo::ParseRefused(info.Get());
  return kSuccess;
}

// The file a repository is kept in; empty for one kept in memory.
String RepositoryFileOf(Prjrep::IProjectRepository* repository) {
  String path;
  if (Prjrep::AutoCast<Prjrep::IProjectRepositoryInternal> internal(repository); internal)
    std::ignore = internal->GetPath(&path);
  return path;
}

// Without a repository the active project stays unregistered; see ProjectOpenRepository.
void RegisterActive(Prjrep::IProjectRepository* repository, IProject* project) {
  if (repository != nullptr) std::ignore = RegisterNamedObject(repository, String("ActiveHvdProject"), project, true);
}

// The design rebuilds its views when the platform reports the device settings changed.
void NotifyPlatform(IDesign* design) {
  Prjrep::AutoRelease<IDesignPlatform> platform;
  if (design != nullptr && design->GetDesignPlatform(platform.Receive()) == kSuccess && platform)
    std::ignore = platform->NotifyChanges();
}

// True to go on opening: the device the file names is known here, or the user opens it
// anyway. The value comes from the file, so the question is passed as one quoted Tcl word.
bool CheckDeviceProperties(CXMLReader& reader) {
  String family, device, package, speed;
  std::ignore = reader.GetPropertyValue("PROP_DevFamily", &family);
  std::ignore = reader.GetPropertyValue("PROP_DevDevice", &device);
  std::ignore = reader.GetPropertyValue("PROP_DevPackage", &package);
  std::ignore = reader.GetPropertyValue("PROP_DevSpeed", &speed);
  if (family.empty() || device.empty()) return true;
  Prjrep::AutoRelease<IDeviceStore> store = GetDeviceStore();
  std::int32_t invalid = 0;
  if (!store || store->ValidateDevice(family, device, package, speed, &invalid) != kSuccess) return true;
  static const char* const kLabels[] = {"Device Family", "Device", "Package", "Speed Grade"};
  const String* const values[] = {&family, &device, &package, &speed};
  if (invalid < 1 || invalid > 4) return true;
  const std::string question = std::string("The ") + kLabels[invalid - 1] + " is currently set to \"" +
                               Port::EscapeControls(*values[invalid - 1]) +
                               "\", which is not valid in this installation.\nIf you continue to open this project, the "
                               "property will be reset to a default value.\nYou may change the value of this property "
                               "in the Project Properties dialog.\n\nDo you want to open this project?";
  const String command = "::velmor::Hvd::hvd_DisplayQuestionDialog " + TclWord(String(question.c_str())) + " 1";
  String answer;
  std::ignore = InterpHelp::RunCmd(command.c_str(), nullptr, false, &answer);
  return answer == "1";
}

// --- Older projects -----------------------------------------------------------------------

// The named objects of an older project's repository, held aside while it is converted.
struct KeptProjectObjects {
  explicit KeptProjectObjects(const String& name) : fileName(name) {}
  String fileName;
  bool kept = false;
  Prjrep::AutoRelease<CitI::IInterface> objects[4];
};
constexpr const char* kKeptNames[] = {"CvfProject", "HdProject", "TclProject", "HvdProject"};

void KeepProjectObjects(KeptProjectObjects& record) {
  if (record.fileName.empty()) return;
  Prjrep::AutoRelease<Prjrep::IProjectRepository> repository = FindAutonymByName(record.fileName.c_str(), false);
  if (!repository) return;
  record.kept = true;
  Prjrep::AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get());
  if (!names) return;
  for (std::size_t i = 0; i < std::size(kKeptNames); ++i) {
    std::ignore = names->Find(kKeptNames[i], record.objects[i].Receive());
    if (record.objects[i]) std::ignore = names->UnregisterObject(record.objects[i].Get());
  }
}

void RestoreProjectObjects(KeptProjectObjects& record) {
  if (!record.kept || record.fileName.empty()) return;
  Prjrep::AutoRelease<Prjrep::IProjectRepository> repository = FindAutonymByName(record.fileName.c_str(), true);
  if (!repository) return;
  for (std::size_t i = 0; i < std::size(kKeptNames); ++i) {
    if (record.objects[i]) std::ignore = RegisterNamedObject(repository, kKeptNames[i], record.objects[i], true);
  }
}

// A word for the migration command: braced as the suite's procedure expects when braces
// quote the value as it is, else escaped, so that no file name can end the word early.
String BracedWord(const String& value) {
  if (value.str().find_first_of("{}\\") == std::string::npos) return "{" + value + "}";
  return TclWord(value);
}

// Hands the older project to the suite's migration procedure, sourced from its script among
// the installation's data. 1 when the procedure wrote the .xhlc beside it.
Status MigrateProject(const String& fileName, const String& softwareVersion) try {
  const String script = Port_Env::GetDataFileName("corvane/scripts/hvd_migrateTasks.tcl", true);
  if (script.empty())
    return Fail(kFailure, "ERROR: migrateProject - The migration script could not be found.  Migration failed.\n");
  if (!CitP::Factory::LoadLibraryFactory("libHvd_TOE"))
    return Fail(kFailure, "ERROR: migrateProject - Unable to load the component library 'libHvd_TOE'.\n");
  Prjrep::AutoRelease<CitI::IInterface> component(CitP::Factory::CreateInstance(TclInterpClassId()));
  if (!component) return Fail(kComponentNotCreated, "ERROR: migrateProject - Unable to create the TclInterp component.\n");
  Prjrep::AutoCast<ITclInterp> interp(component.Get());
  if (!interp)
    return Fail(kMissingInterface,
                "ERROR: migrateProject - Unable to get the ITclInterp interface from the TclInterp component.\n");
  if (interp->Init("") != kSuccess) return Fail(kNotSetUp, "ERROR: migrateProject - ITclInterp::Init failed.\n");
  // Inside the double quotes the escaped path reads back as it is.
  const String command = "source \"" + TclWord(script) + "\"; ::velmor::Hvd::migrateProject " + BracedWord(fileName) +
                         " " + BracedWord(softwareVersion) + " {}";
  std::ignore = Fail(kSuccess, "Migrating project using this tcl command %s\n", command.c_str());
  String result;
  if (interp->ExecuteCmd(command, result, 1) != kSuccess)
    return Fail(kMigrationFailed, "ERROR: migrateProject - ITclInterp::ExecuteCmd failed running script '%s' with result:\n'%s'.\n",
                script.c_str(), result.c_str());
  if (result.str() == "cancel") return kMigrationCancelled;
  if (result.str() == "true") return kSuccess;
  return kMigrationFailed;
} catch (...) {
  return Fail(kFailure, "ERROR: migrateProject - Caught an exception from TclInterp.\n");
}

}  // namespace

Status CProject::XIProject::Open(const String& given) {
  CProject& self = This();
  // Every step below reads the path as the system does, up to a NUL: no project is opened or
  // made under the name before it.
  if (!NulFree("ProjectMgmt", "The project file's path", given.str())) return kInvalidParameter;
  if (std::getenv("VEL_PR_AUDIT") != nullptr) OpenAuditLog(kAuditLogFile, kAuditLogName);
  const String path = ResolveProjectSourceFile(given);
  // Folded by its letters, such a path would open, or make, a project where it does not lead.
  if (Port::FileName(path).LeadsNowhere()) {
    return Fail(kFailure,
                "ERROR: IProject::Open - The project file \"%s\" is not found: a link before a \"..\" in its path "
                "leads nowhere or to itself; no project is made.\n",
                given.c_str());
  }
  // Taken in the folder where it really is, as the project file is: a link to the folder names
  // the same file, and the older generation's repository is known by one name.
  self.m_openedPath = given.empty() ? String() : InRealFolder(Port::FileName(given).GetAbsolutePath());
  // A name that leads nowhere (a link loop, a file standing for a folder on the way) can never
  // be written, so no project is opened under it.
  if (struct stat info {}; !path.empty() && ::stat(path.c_str(), &info) != 0 && errno != ENOENT) {
    const int error = errno;
    return Fail(kFailure, "ERROR: IProject::Open - The project file \"%s\" can never be written: %s.\n", path.c_str(),
                std::strerror(error));
  }
  // A snapshot restore killed half-way is undone before anything of the project is read; one
  // that cannot be undone, whatever the reason, leaves it as it is, and unopened.
  if (!path.empty() && Snapshots::FinishInterruptedRestore(path) != kSuccess) {
    return Fail(kFailure, "ERROR: IProject::Open - An interrupted snapshot restore of \"%s\" cannot be undone.\n",
                path.c_str());
  }
  // A link to nothing would make the new project where it leads, perhaps outside any project:
  // a missing project is made only under its own name.
  if (struct stat info {}; !path.empty() && ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
                           ::stat(path.c_str(), &info) != 0) {
    return Fail(kFailure,
                "ERROR: IProject::Open - The project file \"%s\" is a link to nothing; no project is made where it "
                "leads.\n",
                path.c_str());
  }
  const bool isNew = !path.empty() && !Port::File::exist(path);
  // The generated project file names the project file: a new project whose name that file
  // cannot hold is refused before anything of it is written.
  const std::string name = Port::FileName(path).GetTail().str();
  if (const std::size_t unfit = isNew ? FindXmlUnfit(name) : std::string_view::npos; unfit != std::string_view::npos) {
    Port_MsgManData::createObject("ProjectMgmt", "CProject", 0, kProjectRevision)
        .issueError("The project \"%s\" cannot be made: its name holds %s, which a project file cannot hold.\n",
                    path.c_str(), XmlUnfitName(name, unfit).c_str());
    return kInvalidParameter;
  }

  if (HasExtension(path, ".xhlc")) {
    if (!isNew) {
      String saved;
      bool read = false;
      bool refused = false;
      Xml::DocumentPtr document;
      std::string bytes;
      std::unique_ptr<ElementIndex> index;
      std::unique_ptr<CXMLReader::DivertedFiles> diverted;
      if (const Status made = SavedProductVersion(path, &saved, &read, &refused, &document, &bytes, &index, &diverted);
          made != kSuccess)
        return made;
      if (!read) {
        // An unreadable file is kept from being overwritten by the open itself; one that did
        // not parse was reported already, and is not parsed again to say so twice.
        if (refused) self.m_readDocument = {path, nullptr, {}, nullptr, nullptr, true};
      } else if (MajorOf(saved) > MajorOf(self.m_softwareVersion)) {
        Port_MsgManData::createObject("ProjectMgmt", "CProject", 711, kProjectRevision)
            .issueError(
                "The software version (%d) is older than the version saved in the project file (%d).\n"
                "Opening newer project with older software releases is not supported.\n",
                MajorOf(self.m_softwareVersion), MajorOf(saved));
        return kOpenOlderProjectFailed;
      } else if (MajorOf(saved) < MajorOf(self.m_softwareVersion)) {
        // Saved by an older major version: the migration procedure brings it up to date first.
        if (MigrateProject(path, self.m_softwareVersion) != kSuccess) return kOpenOlderProjectFailed;
        // The migration rewrote the file: what was read of it before is no longer it.
        document = nullptr;
      }
      if (document)
        self.m_readDocument = {path, std::move(document), std::move(bytes), std::move(index), std::move(diverted)};
    }
    const Status opened = self.ProjectOpenXml(path, false);
    self.m_readDocument = {};
    self.FixUpProject();
    if (opened != kSuccess) return opened;
  } else if (HasExtension(path, ".hlc") || HasExtension(path, ".rwk")) {
    const Status opened = self.OpenOlderProject(path);
    if (opened != kSuccess) return opened;
  } else if (!path.empty()) {
    return Fail(kFailure, "ERROR: IProject::Open - Unknown input project type: \"%s\".\n", given.c_str());
  } else {
    self.m_open = true;
    if (self.MakeDesign() != kSuccess) return kFailure;
    self.MakeWorkLibrary();
  }

  self.m_projectFileStamp.path = self.m_projectFilePath;
  self.m_generatedFileStamp.path = self.m_generatedFilePath;
  if (isNew) {
    // A new project is written at once; one that cannot be is not opened.
    if (const Status written = self.SaveProjectFiles(false); written != kSuccess) {
      self.ReleaseProject(true);
      return written;
    }
    return kSuccess;
  }
  std::ignore = self.m_lastSave.SetToNow();
  self.m_projectFileStamp.Update();
  self.m_generatedFileStamp.Update();
  return kSuccess;
}

// An .hlc or .rwk project: the migration procedure converts it, or else the repository
// miner rebuilds it as the .xhlc beside it, after a backup of the old file. Nothing of the
// old project is cleared unless the backup was made and the old objects were read, and the
// miner builds into the project opened here. The .xhlc appears only whole, once the project is
// built, and only then is the old repository emptied: a migration cut short at any point
// leaves no .xhlc and the old project as it was, to be migrated again by the next open.
Status CProject::OpenOlderProject(const String& path) {
  KeptProjectObjects record(path);
  KeepProjectObjects(record);
  const String converted = ChangeExtension(path, ".xhlc");
  const Status migrated = MigrateProject(path, m_softwareVersion);
  if (migrated == kSuccess) return ProjectOpenXml(converted, false);
  if (migrated == kMigrationCancelled) return kOpenOlderProjectFailed;

  Prjrep::AutoRelease<RepoMine> miner(new RepoMine(path));
  if (!miner->IsMigratable()) return kFailure;
  const String backup = path + ".pre_" + m_softwareVersion + "_migration";
  if (FileUtils::CopyFile(path, backup, FileUtils::kReadWrite) != kSuccess)
    return Fail(kOpenOlderProjectFailed,
                "ERROR: Project::Open - The older project \"%s\" could not be backed up to \"%s\"; it is left as it was.\n",
                path.c_str(), backup.c_str());
  if (const Status read = miner->OpenRepository(); read != kSuccess)
    return Fail(kOpenOlderProjectFailed, "ERROR: Project::Open - The older project \"%s\" could not be read.\n",
                path.c_str());
  miner->CheckRepositoryLock();
  RestoreProjectObjects(record);
  const Status opened = ProjectOpenXml(converted, false);
  if (opened != kSuccess) return opened;
  m_building = true;
  miner->SetProject(&m_XIProject);
  std::ignore = miner->ImportSourceViewAssociations();
  const Status built = miner->BuildProject();
  m_building = false;
  if (built != kSuccess) {
    ReleaseProject(true);
    return Fail(built, "ERROR: Project::Open - The migrated project \"%s\" could not be built.\n", converted.c_str());
  }
  // The generated file first: it holds part of the project (the imported files among them),
  // and the .xhlc, once there, is what every later open takes for the migrated project.
  if (WriteGeneratedProjectFile(String(), nullptr) != kSuccess || WriteSourceProjectFile(String(), nullptr) != kSuccess) {
    ReleaseProject(true);
    return Fail(kOpenOlderProjectFailed,
                "ERROR: Project::Open - The migrated project \"%s\" could not be written; the older project \"%s\" is "
                "left as it was.\n",
                converted.c_str(), path.c_str());
  }
  std::ignore = RepoMine::TruncateCorvaneClientArea(miner->FileName());
  return kSuccess;
}

Status CProject::XIProject::Reopen(const String& path) {
  return This().ProjectOpenXml(ResolveProjectSourceFile(path), true);
}

Status CProject::MakeDesign() {
  // The design reads transform status back through the generated-project reader, which it
  // cannot name.
  SetTransformStatusReader(&ReadGeneratedTransformStatus);
  if (!m_design) {
    m_design = Prjrep::AutoRelease<IDesign>(CitP::Factory::CreateInstance(ClassId::Design()));
    m_designMadeHere = static_cast<bool>(m_design);
  }
  Prjrep::AutoCast<ICompAdmin> admin(m_design.Get());
  if (!admin) return kFailure;
  const Status attached = admin->InitializeAfterCreate(&m_XIProject, nullptr);
  if (attached != kSuccess) return attached;
  // The platform's first notice builds the design's views, which the files are placed in.
  NotifyPlatform(m_design.Get());
  return kSuccess;
}

// "work" takes every listed file type, Verilog as well as VHDL: a file added without a library
// lies in it. The user's libraries stay VHDL ones.
void CProject::MakeWorkLibrary() {
  Prjrep::AutoRelease<ISourceLibrary> work;
  std::ignore =
      m_sourceLibraries.CreateSourceLibraryOfType("work", CSourceLibraryManagerHelper::kSystemLibrary, work.Receive());
}

// The repository of a project is the one registered under its project file: it keeps the
// project's named objects ("ActiveHvdProject" and those of its helpers) and its "Corvane11"
// section. It lives in memory only, so nothing is ever read from or written over the
// project file by it. With VEL_CORVANE_ENABLE_HLC the repository of the older generation
// is used instead, named and kept in the file the project was opened as.
Status CProject::ProjectOpenRepository() {
  const bool olderStorage = UsesOlderStorage();
  const String given = olderStorage ? OlderStoragePath() : m_projectFilePath;
  if (given.empty())
    return Fail(kFailure, "ERROR: CProject::ProjectOpenRepository - The project has no file to name its repository.\n");
  const String path = Port::FileName(Port::FileName(given).GetAbsolutePath()).MakeCanonical().GetPath();
  if (olderStorage) std::ignore = Fail(kSuccess, "===========> ProjectOpenRepository opening with %s\n", path.c_str());

  // The older generation's storage is read from and written to its file, unless that file is
  // the project's own: then it is known by that name and kept in memory only.
  const bool fileBacked = olderStorage && !IsOwnFile(given);
  Prjrep::AutoRelease<Prjrep::IProjectRepository> repository = FindAutonymByName(path.c_str(), fileBacked);
  // One known by that name but kept in memory (made when the project was opened as its .xhlc)
  // gives way to the file's own.
  if (fileBacked && repository && RepositoryFileOf(repository.Get()) != path) repository = nullptr;
  if (!repository) {
    repository.Assign(CitP::Factory::CreateInstance(Prjrep::ClassId::Repository()));
    if (!repository)
      return Fail(kFailure, "ERROR: CProject::ProjectOpenRepository - The repository of \"%s\" could not be made.\n",
                  path.c_str());
    if (fileBacked) {
      Prjrep::AutoCast<Prjrep::IProjectRepositoryInternal> internal(repository.Get());
      Prjrep::AutoRelease<Prjrep::IStorage> root;
      if (internal) std::ignore = internal->Open(path, String(), Prjrep::kOpenRepositoryCreate, root.Receive(), nullptr);
    }
    if (const Status registered = RegisterRepositoryByName(path.c_str(), repository.Get()); registered != kSuccess)
      return registered;
  }
  KnowRepositoryByItsPath(repository.Get());
  Prjrep::AutoCast<Prjrep::IStorage> root(repository.Get());
  Prjrep::AutoRelease<Prjrep::IStorage> section;
  const Status status = root ? root->OpenStorage(kSettingsSection, Prjrep::kCreate, section.Receive()) : kFailure;
  if (status == kSuccess) m_repository = repository.Get();
  return status;
}

// The project's objects name its repository by the repository path with VEL_CORVANE_ENABLE_HLC;
// when the file it was opened as is another, that name leads to the same repository. The path
// follows the working directory, so it is known again once the stored one is read.
void CProject::KnowRepositoryByItsPath(Prjrep::IProjectRepository* repository) {
  if (!UsesOlderStorage() || repository == nullptr || m_repositoryPath.empty()) return;
  const String named = Port::FileName(Port::FileName(m_repositoryPath).GetAbsolutePath()).MakeCanonical().GetPath();
  if (!FindAutonymByName(named.c_str(), false)) std::ignore = RegisterRepositoryByName(named.c_str(), repository);
}

// The project leaves its repository's named lookup, and the repository is closed; it is
// written only when it is the older generation's file and that file may be written.
void CProject::CloseRepository() {
  if (!m_repository) return;
  if (Prjrep::AutoCast<Prjrep::ISimpleNamedLookup> names(m_repository.Get()); names)
    std::ignore = names->UnregisterObject(&m_XIProject);
  SaveOlderStorage();
  std::ignore = m_repository->Close();
  m_repository = nullptr;
}

// True when `path` names the project source file or the generated-project file.
bool CProject::IsOwnFile(const String& path) const {
  const auto canonical = [](const String& name) {
    return Port::FileName(Port::FileName(name).GetAbsolutePath()).MakeCanonical().GetPath();
  };
  const String named = canonical(path);
  return !path.empty() && ((!m_projectFilePath.empty() && named == canonical(m_projectFilePath)) ||
                           (!m_generatedFilePath.empty() && named == canonical(m_generatedFilePath)));
}

// The file the project was opened as; a project not opened through Open has its source file.
CProject::String CProject::OlderStoragePath() const {
  return m_openedPath.empty() ? m_projectFilePath : m_openedPath;
}

// With VEL_CORVANE_ENABLE_HLC the older generation's repository is written to its file, but
// never over the project's own files: a project opened as its .xhlc keeps it in memory only.
void CProject::SaveOlderStorage() {
  if (!UsesOlderStorage() || !m_repository) return;
  const String path = OlderStoragePath();
  if (path.empty() || !Port::File::canwrite_dir(Port::FileName(path).GetHead())) return;
  if (IsOwnFile(path)) return;
  std::ignore = m_repository->Save(7);
}

// The repository and generated-file paths in the project's working directory ("." or none
// is the project file's own directory).
void CProject::DerivePaths(bool propertiesRead) {
  String workingDirectory = ProjectDirectory();
  if (propertiesRead) std::ignore = m_XIProject.GetWorkingDirectory(&workingDirectory);
  const String base = Port::FileName(m_projectFilePath).GetBase();
  m_repositoryPath = Port::FileName(workingDirectory + "/" + base + ".hlc").MakeCanonical().GetPath();
  m_generatedFilePath = ChangeExtension(m_repositoryPath, ".ghlc");
  m_projectFileStamp.path = m_projectFilePath;
  m_generatedFileStamp.path = m_generatedFilePath;
}

Status CProject::ProjectOpenXml(const String& path, bool reopen) {
  if (m_open) return Fail(kOwnerMissing, "ERROR: Project::ProjectOpen - Project is already open.\n");
  if (!HasExtension(path, ".xhlc"))
    return Fail(kInvalidParameter, "ERROR: Project::ProjectOpen - Cannot open hlc project files: \"%s\".\n",
                path.c_str());
  OperationGateGuard gate(&m_XIProject, "open");
  const DepthScope depth(m_saveDepth);

  m_open = true;
  m_projectFilePath = path;
  m_readFailed = false;
  const bool exists = Port::File::exist(path);
  DerivePaths(false);
  m_reopened = reopen;
  m_reader = std::make_unique<CXMLReader>(&m_XIProject);

  if (exists) {
    if (!ReadProjectDocument(path)) {
      m_readFailed = true;
      return Fail(kProjectNotOpened, "CProject::ProjectOpenXml - Errors while opening hlc project file: \"%s\".\n",
                  path.c_str());
    }
    m_reader->ReadVersion();
    String version;
    std::ignore = m_reader->GetSchemaVersion(&version);
    if (!CXMLReader::IsAcceptedSchemaVersion(version)) {
      std::ignore = Fail(kFailure, "Error: IProject::Open - Unsupported version (\"%s\") of XHLC file.\n", version.c_str());
      ReleaseProject(true);
      return kFailure;
    }
    if (!CheckDeviceProperties(*m_reader)) {
      ReleaseProject(true);
      return kFailure;
    }
  }
  m_repository = nullptr;
  std::ignore = ProjectOpenRepository();
  // The directory for the generated file is made when it is missing; the open goes on either way.
  std::ignore = VerifyCreateDir(Port::FileName(m_generatedFilePath).GetHead());
  RegisterActive(m_repository.Get(), &m_XIProject);
  std::ignore = m_XINameHelper.CNameHelper::SetName(Port::FileName(m_repositoryPath).GetBase());
  if (MakeDesign() != kSuccess) {
    ReleaseProject(true);
    return kFailure;
  }
  MakeWorkLibrary();
  if (exists) {
    m_reading = true;
    const struct ReadingScope {
      bool& reading;
      ~ReadingScope() { reading = false; }
    } reading{m_reading};
    m_reader->ApplyProperties();
    // The generated file lies in the working directory that the properties just read name,
    // which is made when it is missing, as the default one was above; one outside the project's
    // folder is not, and the project's folder stands in for it.
    const String stored = PropertyAccessor(&m_XIProject).GetPropertyValue("PROP_WorkingDirectory");
    bool refused = false;
    WorkingDirectoryOf(stored, &refused);
    if (refused) {
      Port_MsgManData::createObject("ProjectMgmt", "CProject", __LINE__, kProjectRevision)
          .issueWarning("The working directory \"%s\" of \"%s\" lies outside the project's folder and does not "
                        "exist. It is not made; the project's folder \"%s\" is used instead.\n",
                        stored.c_str(), path.c_str(), ProjectDirectory().c_str());
    }
    DerivePaths(true);
    KnowRepositoryByItsPath(m_repository.Get());
    std::ignore = VerifyCreateDir(Port::FileName(m_generatedFilePath).GetHead());
    // The views are those of the device just read, before the files are placed in them.
    NotifyPlatform(m_design.Get());
    // The parsed document is many times the size of the project it describes: it goes once what
    // the files need of it is taken, before the files are made and the views filled.
    m_reader->ReadFilesAndLibraries(true);
    CGenProjectReader generated(&m_XIProject);
    const bool generatedRead = generated.ParseFile(m_generatedFilePath);
    if (generatedRead) generated.ReadFiles();
    m_reader->UpdateFileViews();
    m_reader->ReadImplementationTop();
    CheckTopModule(m_design.Get());
    if (generatedRead) {
      generated.ReadTransforms();
      m_generatedBytes = generated.TakeBytes();
    }
    m_reader->ReadPartitions();
  }
  EnsureUsageIdentity(&m_XIProject);
  std::ignore = SendEvent(&m_XIProject, EventId::ProjectOpened(), nullptr);
  CollectMetrionData(&m_XIProject);
  if (reopen) {
    PropertyAccessor properties(&m_XIProject);
    if (properties.GetPropertyInstance("PROP_WriteDefaultPropToSourceProject"))
      properties.SetPropertyValue("PROP_WriteDefaultPropToSourceProject", "false");
  }
  return kSuccess;
}

// The project source file into the reader: the document the open's version check read of this
// same file when there is one, else parsed now.
bool CProject::ReadProjectDocument(const String& path) {
  ReadDocument read = std::move(m_readDocument);
  m_readDocument = {};
  if (read.refused && read.path == path) return false;
  if (read.document && read.path == path)
    return m_reader->AdoptDocument(path, std::move(read.document), std::move(read.bytes), std::move(read.index),
                                   std::move(read.diverted));
  m_reader->DivertFileEntries();
  return m_reader->ParseFile(path);
}

void CProject::FixUpProject() {
  Prjrep::AutoRelease<IFile> zmr;
  if (!FindProjectFileOfType("FILE_ZMR", &m_XIFileManager, zmr.Receive())) return;
  if (FindProjectFileOfType("FILE_MHS", &m_XIFileManager)) return;
  String zmrPath;
  if (Prjrep::AutoCast<Prjrep::IFileNameHelper> name(zmr.Get()); !name || name->GetFullName(&zmrPath) != kSuccess)
    return;
  const String mhs = ChangeExtension(zmrPath, ".mhs");
  if (!Port::File::exist(mhs)) return;
  std::ignore = Fail(kSuccess, "Missing MHS file %s exists and will be readded to the project\n", mhs.c_str());
  Prjrep::AutoRelease<IProjectHelper> helper;
  if (m_XIProjectHelperReference.GetCvfProject(helper.Receive()) != kSuccess || !helper) {
    std::ignore = Fail(kFailure, "FixUpProject unable to get iProjectHelper\n");
    return;
  }
  // The procedure adds the file through the helper, to the project the helper is bound to: a
  // helper opening this project again is bound to it only once the open is done, so it is bound
  // to this project for the call, and then as it was.
  Prjrep::AutoCast<IProjectCompReference> binding(helper.Get());
  Prjrep::AutoRelease<IProject> before;
  if (binding) {
    std::ignore = binding->GetProject(before.Receive());
    std::ignore = binding->SetProject(&m_XIProject);
  }
  std::ignore = RunTclProcWithObject("::velmor::Hvd::hvd_chPostProcessAddFile", mhs.c_str(), helper.Get(), 0, nullptr);
  if (binding) std::ignore = binding->SetProject(before.Get());
  before = nullptr;
  std::ignore = m_XIProject.Save();
  std::ignore = ReloadProject(true, true, true, true);
}

}  // namespace Hvd
