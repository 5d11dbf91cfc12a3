// One snapshot: its paths, its files, its own project and the restore over the live project.

#include "project/snapshot/CCheckpoint.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IProjectCopy.h"
#include "Port/FileName.h"
#include "Port/MsgMan.h"
#include "core/Diagnostics.h"
#include "core/RegularFile.h"
#include "core/XmlChars.h"
#include "project/ProjectRoutines.h"
#include "project/snapshot/Restore.h"
#include "project/snapshot/SnapshotPaths.h"
#include "projectfiles/CXMLReader.h"
#include "utils/DirectoryLock.h"
#include "utils/FileUtils.h"
#include "utils/MadeFolders.h"
#include "utils/OwnedFolder.h"
#include "utils/PropertyAccessor.h"

namespace Hvd {

namespace {

using String = Port::StringBase<char>;
namespace fs = std::filesystem;

// The directory part of a path, without its trailing separator.
String DirectoryOf(const String& path) {
  std::string head = Port::FileName(path).GetHead().str();
  while (head.size() > 1 && head.back() == '/') head.pop_back();
  return String(head);
}

// What is at `path` itself, a link not followed.
fs::file_type OwnType(const String& path) {
  std::error_code error;
  return fs::symlink_status(fs::path(path.str()), error).type();
}

// Whether `directory` holds a snapshot's marker, of this project or of another in its folder.
bool HoldsMarker(const String& directory) {
  std::error_code error;
  for (fs::directory_iterator each(fs::path(directory.str()), error); !error && each != fs::directory_iterator();
       each.increment(error)) {
    if (each->path().extension() == ".snp") return true;
  }
  return false;
}

// A take leaves a claim beside the directory it fills, ".NAME.take" in "snapshots", from before
// the directory is made until its marker is written. The claim holds a random token, written
// before the mkdir; right after it, the take writes the same token into a mark inside the
// directory. A directory without a snapshot's marker is taken away only where its mark holds its
// claim's token: never a folder someone else put there, a folder made again at a name a killed
// take freed (which the file system may give the same inode), nor one beside a claim anyone could
// have planted. A claim or directory that holds nothing (a take killed before its token or its
// mark was written) goes too: nothing is lost with it.
constexpr std::string_view kClaimSuffix = ".take";
// The token and its newline: anything longer is no claim a take wrote.
constexpr std::size_t kClaimBound = 64;

String ClaimPath(const String& directory) {
  const fs::path path(directory.str());
  return String((path.parent_path() / ("." + path.filename().string() + std::string(kClaimSuffix))).string());
}

struct Identity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const Identity&) const = default;
};

// What is at `path` itself, a link not followed.
std::optional<Identity> IdentityOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return Identity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

// The token a claim holds: empty for an empty claim (its take killed before writing it), none
// for anything a take did not write, a claim of more than one name among them, or a token of
// any other form than the one a take writes.
std::optional<std::string> ReadClaim(const fs::path& claim) {
  std::string text;
  if (!ReadOwnRegularFile(claim.string(), text, kClaimBound)) return std::nullopt;
  if (text.empty()) return text;
  if (text.back() != '\n') return std::nullopt;
  text.pop_back();
  if (!OwnedFolder::IsToken(text)) return std::nullopt;
  return text;
}

void WarnLeftAlone(const String& directory, const fs::path& claim) {
  Port_MsgManData::createObject("ProjectMgmt", "CCheckpoint", __LINE__, "")
      .issueWarning("The folder \"%s\" is left as it is: the claim \"%s\" beside it does not record it as made by a "
                    "snapshot take. The claim stays, and a take of that name fails until it is removed.\n",
                    directory.c_str(), claim.c_str());
}

// The claims that killed takes left, and the unmarked directories they made. Only a claim whose
// name holds a snapshot's name is read, and only the directory of that name directly in
// "snapshots" is looked at. A claim goes once its directory holds its marker, or is gone; the
// directory goes with it only when its mark holds the claim's token, or when it holds nothing.
// A directory that a take under way holds stays with its claim, and so does a claim whose
// directory cannot be taken away; any other claim stays too, with its folder, and a warning
// names them.
void ReclaimKilledTakes(const String& snapshots) {
  std::vector<fs::path> claims;
  std::error_code error;
  for (fs::directory_iterator each(fs::path(snapshots.str()), error); !error && each != fs::directory_iterator();
       each.increment(error)) {
    const std::string name = each->path().filename().string();
    if (name.size() > 1 + kClaimSuffix.size() && name.front() == '.' && name.ends_with(kClaimSuffix) &&
        Snapshots::IsValidName(String(name.substr(1, name.size() - 1 - kClaimSuffix.size()))) &&
        each->symlink_status(error).type() == fs::file_type::regular) {
      claims.push_back(each->path());
    }
  }
  for (const fs::path& claim : claims) {
    const std::string name = claim.filename().string();
    const String directory((claim.parent_path() / name.substr(1, name.size() - 1 - kClaimSuffix.size())).string());
    const std::optional<std::string> token = ReadClaim(claim);
    const fs::file_type type = OwnType(directory);
    if (type == fs::file_type::not_found) {
      if (token) fs::remove(claim, error);  // a claim beside nothing holds nothing
      continue;
    }
    if (type == fs::file_type::directory && HoldsMarker(directory)) {
      // A take done, killed before it let its mark and claim go.
      if (token && !token->empty() && OwnedFolder::Proves(directory.str(), Snapshots::kTakeMark, *token))
        std::ignore = Port::File::remove_f(String(directory.str() + "/" + Snapshots::kTakeMark));
      if (token) fs::remove(claim, error);
      continue;
    }
    // Its lock went with its take's process: a take that holds it is under way.
    DirectoryLock left;
    if (!left.Take(directory.str(), false) || !left.Is(directory.str())) {
      if (!left.Busy()) WarnLeftAlone(directory, claim);
      continue;
    }
    const bool ours = token && !token->empty() && OwnedFolder::Proves(directory.str(), Snapshots::kTakeMark, *token);
    if (ours || (token && OwnedFolder::HoldsNothing(directory.str(), Snapshots::kTakeMark))) {
      std::ignore = OwnedFolder::RemoveMarkLast(directory.str(), Snapshots::kTakeMark);
      if (OwnType(directory) == fs::file_type::not_found) fs::remove(claim, error);
    } else {
      WarnLeftAlone(directory, claim);
    }
  }
}

// Removes the claim at `path` when it is still the file this take made.
void DropClaim(const String& path, const std::optional<Identity>& made) {
  if (made && IdentityOf(path.str()) == made) ::unlink(path.c_str());
}

// Claims a snapshot's directory for a take: made anew and locked, the lock held in `claim`, and
// `claimFile` the identity of the claim file the take made. A directory there is a snapshot, a
// take under way, or one that a killed take claimed, which goes, as do those that other killed
// takes left under other names. A take that is refused removes its own claim, and only that.
// The "snapshots" directory is held locked meanwhile, so that no directory is seen between its
// making and its lock, nor a claim between its making and its record.
Status ClaimDirectory(const String& directory, const String& marker, DirectoryLock& claim,
                      std::optional<Identity>& claimFile, std::string& token, MadeFolders& made) {
  const String snapshots = DirectoryOf(directory);
  DirectoryLock all;
  // A take refused takes back the "snapshots" it made: one locked and then found gone, or made
  // again, is made and locked afresh.
  for (int attempt = 0;; ++attempt) {
    // A project folder that cannot take it (no permission, a read-only file system) is named
    // with the system's reason.
    if (!Port::File::isdir(snapshots) && !made.Make(snapshots.str())) {
      const int error = errno;
      if (OwnType(snapshots) == fs::file_type::not_found)
        return Fail(kFailure,
                    "ERROR: ICheckpoint::CreateCheckpointProject - Cannot make the snapshots folder \"%s\": %s.\n",
                    snapshots.c_str(), std::strerror(error));
    }
    if (OwnType(snapshots) != fs::file_type::directory || !all.Take(snapshots.str(), true)) {
      if (all.Busy()) {
        Port_MsgManData::createObject("ProjectMgmt", "CCheckpoint", __LINE__, "")
            .issueError("The snapshots folder \"%s\" is busy: another process holds its lock. No snapshot is taken.\n",
                        snapshots.c_str());
        return kFailure;
      }
      return Fail(kFailure, "ERROR: ICheckpoint::CreateCheckpointProject - Not a directory of the project: \"%s\".\n",
                  snapshots.c_str());
    }
    if (all.Is(snapshots.str()) || attempt == 2) break;
  }
  // Only a directory a killed take made goes: one without a claim, another project's snapshot
  // of the same name or a folder the user made, stays, and the take fails below.
  ReclaimKilledTakes(snapshots);
  const auto taken = [&marker] {
    return Fail(kFailure, "ERROR: ICheckpoint::CreateCheckpointProject - The snapshot project already exists: \"%s\".\n",
                marker.c_str());
  };
  // Made first, with its token, so that a take killed after its mkdir has left a claim; a claim
  // already there is another take's.
  const String claimPath = ClaimPath(directory);
  const int claimFd =
      ::open(claimPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (claimFd < 0) {
    const int error = errno;
    if (error == EEXIST && OwnType(claimPath) == fs::file_type::regular) return taken();
    return Fail(kFailure, "ERROR: ICheckpoint::CreateCheckpointProject - Cannot claim \"%s\": %s.\n", directory.c_str(),
                std::strerror(error));
  }
  struct stat claimInfo {};
  if (::fstat(claimFd, &claimInfo) == 0)
    claimFile = Identity{static_cast<std::uint64_t>(claimInfo.st_dev), static_cast<std::uint64_t>(claimInfo.st_ino)};
  token = OwnedFolder::NewToken();
  const std::string record = token + "\n";
  const bool recorded =
      !token.empty() && ::pwrite(claimFd, record.data(), record.size(), 0) == static_cast<ssize_t>(record.size());
  ::close(claimFd);
  if (!recorded) {
    DropClaim(claimPath, claimFile);
    return Fail(kFailure, "ERROR: ICheckpoint::CreateCheckpointProject - Cannot claim \"%s\".\n", directory.c_str());
  }
  if (!Port::File::mkdir(directory, false)) {
    DropClaim(claimPath, claimFile);
    return taken();
  }
  if (!OwnedFolder::Mark(directory.str(), Snapshots::kTakeMark, token) || !claim.Take(directory.str(), false) ||
      !claim.Is(directory.str())) {
    // The directory this take made goes with its claim, while it proves itself or holds nothing.
    if (!OwnedFolder::Remove(directory.str(), Snapshots::kTakeMark, token)) {
      Port_MsgManData::createObject("ProjectMgmt", "CCheckpoint", 0, "")
          .issueWarning("The folder \"%s\" this take made could not be removed.\n", directory.c_str());
    }
    claim.Release();
    if (OwnType(directory) == fs::file_type::not_found) DropClaim(claimPath, claimFile);
    return taken();
  }
  return kSuccess;
}

// A take refused takes back the "snapshots" folder it made while that holds nothing, and never
// while another take holds it.
void TakeBackSnapshots(const String& snapshots, MadeFolders& made) {
  DirectoryLock all;
  if (all.Take(snapshots.str(), false) && all.Is(snapshots.str())) {
    std::ignore = made.TakeBack();
  } else {
    made.Keep();
  }
}

// Taken from the persisted form's count: a record lists no more pairs than this.
constexpr std::int32_t kMaxStoredPairs = 1 << 16;

}  // namespace

CCheckpoint::CCheckpoint(const String& name, const String& description, std::shared_ptr<CheckpointOwner> owner)
    : m_description(description), m_owner(std::move(owner)) {
  std::ignore = m_XIName.CNameHelper::SetName(name);
}

CCheckpoint::~CCheckpoint() {
  m_openProject = nullptr;
  m_owner.reset();
}

String CCheckpoint::GetCheckpointFilePath() const {
  if (Project() == nullptr) {
    std::ignore = Fail(kFailure, "ERROR: ICheckpoint - The project is not set.\n");
    return String();
  }
  const String& name = m_XIName.Name();
  if (!Snapshots::IsValidName(name)) {
    std::ignore = Fail(kInvalidParameter, "ERROR: ICheckpoint - Not a snapshot name: \"%s\".\n", name.c_str());
    return String();
  }
  if (Snapshots::SnapshotsDirectoryIsLink(Project())) {
    std::ignore = Fail(kFailure, "ERROR: ICheckpoint - The snapshots directory is a link: \"%s\".\n",
                       Snapshots::SnapshotsDirectory(Project()).c_str());
    return String();
  }
  return Snapshots::MarkerPath(Project(), name);
}

// --- Name and description ----------------------------------------------------------------

Status CCheckpoint::XICheckpoint::GetName(String* name) {
  if (name == nullptr) return kInvalidParameter;
  *name = This().m_XIName.Name();
  return kSuccess;
}

Status CCheckpoint::Rename(const String& name) {
  const String oldName = m_XIName.Name();
  const String oldPath = GetCheckpointFilePath();
  if (oldPath.empty()) return kFailure;
  // Checked first, so that a NUL is named as it was given.
  if (!XmlFits("ProjectMgmt", "The snapshot name", name.str())) return kInvalidParameter;
  // The name becomes a directory next to the others: nothing else may be named.
  if (!Snapshots::IsValidName(name)) {
    return Fail(kFailure, "ERROR: ICheckpoint::SetName - Not a snapshot name: \"%s\".\n", name.c_str());
  }
  std::ignore = m_XIName.CNameHelper::SetName(name);
  const String newDirectory = DirectoryOf(GetCheckpointFilePath());
  const String oldDirectory = DirectoryOf(oldPath);
  if (!newDirectory.empty() && OwnType(newDirectory) != fs::file_type::not_found) {
    std::ignore = m_XIName.CNameHelper::SetName(oldName);
    return Fail(kFailure, "ERROR: ICheckpoint::SetName - A snapshot already exists with this name: \"%s\".\n",
                name.c_str());
  }
  // A directory that stayed where it was keeps its name: the snapshot would be lost otherwise.
  if (!oldDirectory.empty() && Port::File::isdir(oldDirectory) && !Port::File::rename(oldDirectory, newDirectory)) {
    std::ignore = m_XIName.CNameHelper::SetName(oldName);
    return Fail(kFailure, "ERROR: ICheckpoint::SetName - Cannot rename \"%s\" to \"%s\".\n", oldDirectory.c_str(),
                newDirectory.c_str());
  }
  return kSuccess;
}

Status CCheckpoint::XICheckpoint::GetDescription(String* description) {
  if (description == nullptr) return kInvalidParameter;
  *description = This().m_description;
  return kSuccess;
}

Status CCheckpoint::XICheckpoint::SetDescription(const String& description) {
  CCheckpoint& self = This();
  if (!XmlFits("ProjectMgmt", "The snapshot description", description.str())) return kInvalidParameter;
  Prjrep::AutoRelease<IProject> project;
  // A snapshot whose files are not there yet has no project to write it into: the take does.
  if (OpenCheckpointProject(project.Receive()) != kSuccess || !project) {
    self.m_description = description;
    self.m_openProject = nullptr;
    return kSuccess;
  }
  PropertyAccessor properties(project.Get());
  const String before = properties.GetPropertyValue("PROP_ProjectDescription");
  properties.SetPropertyValue("PROP_ProjectDescription", description);
  if (const Status closed = project->ProjectClose(true); closed != kSuccess) {
    // Not saved, so not set. A close that kept the project open leaves it as it was, cached
    // as before, and its next save does not write the refused text either.
    bool open = false;
    if (project->IsOpen(&open) == kSuccess && open) {
      properties.SetPropertyValue("PROP_ProjectDescription", before);
    } else {
      self.m_openProject = nullptr;
    }
    return closed;
  }
  self.m_description = description;
  self.m_openProject = nullptr;
  return kSuccess;
}

Status CCheckpoint::XICheckpoint::UnsupportedQuery(CitI::IInterface** out) {
  if (out != nullptr) *out = nullptr;
  return kNotSupported;
}

// --- Files ---------------------------------------------------------------------------------

Status CCheckpoint::XICheckpoint::CreateCheckpointProject() {
  CCheckpoint& self = This();
  const String marker = self.GetCheckpointFilePath();
  if (marker.empty()) return kFailure;
  const String snapshotProject = ReplaceProjectExtension(marker, ".xhlc");
  if (Port::File::exist(marker)) {
    return Fail(kFailure,
                "ERROR: ICheckpoint::CreateCheckpointProject - The snapshot project already exists: \"%s\".\n",
                marker.c_str());
  }
  Prjrep::AutoCast<IProjectSaveAsArchive2> copier(self.Project());
  if (!copier) return kFailure;
  // The name is claimed by making its directory, held locked while the copy is written: of two
  // takes of one name, the second finds it taken.
  const String directory = DirectoryOf(marker);
  DirectoryLock claim;
  std::optional<Identity> claimFile;
  std::string token;
  MadeFolders made;
  if (const Status claimed = ClaimDirectory(directory, marker, claim, claimFile, token, made); claimed != kSuccess) {
    TakeBackSnapshots(DirectoryOf(directory), made);
    return claimed;
  }
  // The copy keeps the project's working directory where it is relative to the project, so
  // that a restore does not move it.
  String remoteSources("remote_sources");
  Status status = copier->CopyProject(marker, 0x15E, Snapshots::WorkingDirectoryForCopy(self.Project()),
                                      self.m_description, &remoteSources);
  // Without its project file the copy is no snapshot, and without its marker none is listed.
  if (status == kSuccess && !Port::File::isfile(snapshotProject)) {
    status = Fail(kFailure, "ERROR: ICheckpoint::CreateCheckpointProject - The copy has no project file: \"%s\".\n",
                  snapshotProject.c_str());
  }
  // The marker is written last and only over a written copy: a snapshot the manager lists is whole.
  if (status == kSuccess) status = FileUtils::CopyItem(snapshotProject, marker, FileUtils::kReadWrite);
  const String mark(directory.str() + "/" + Snapshots::kTakeMark);
  if (status == kSuccess) {
    std::ignore = Port::File::remove_f(mark);
  } else if (claim.Is(directory.str()) && OwnedFolder::Proves(directory.str(), Snapshots::kTakeMark, token)) {
    // A copy that failed frees the name it claimed; killed on the way, the rest still proves itself.
    std::ignore = OwnedFolder::RemoveMarkLast(directory.str(), Snapshots::kTakeMark);
  }
  // Marked without its mark, or gone: nothing is left to reclaim.
  const fs::file_type left = OwnType(directory);
  if (left == fs::file_type::not_found || (Port::File::exist(marker) && OwnType(mark) == fs::file_type::not_found))
    DropClaim(ClaimPath(directory), claimFile);
  if (status != kSuccess) {
    claim.Release();
    TakeBackSnapshots(DirectoryOf(directory), made);
  }
  return status;
}

Status CCheckpoint::XICheckpoint::DeleteCheckpointFiles() {
  CCheckpoint& self = This();
  const String marker = self.GetCheckpointFilePath();
  if (marker.empty()) return kFailure;
  const String directory = DirectoryOf(marker);
  if (directory.empty()) return kSuccess;
  // A "snapshots" that is a link leads out of the project: nothing is removed through it.
  const String snapshots = Snapshots::SnapshotsDirectory(self.Project());
  if (OwnType(snapshots) != fs::file_type::directory) {
    if (OwnType(snapshots) == fs::file_type::not_found) return kSuccess;
    return Fail(kFailure, "ERROR: ICheckpoint::DeleteCheckpointFiles - Not a directory of the project: \"%s\".\n",
                snapshots.c_str());
  }
  // A snapshot directory that is a link is removed as the link; its target stays.
  std::ignore = FileUtils::RemoveItem(directory);
  return OwnType(directory) == fs::file_type::not_found ? kSuccess : kFailure;
}

// --- The snapshot's own project ----------------------------------------------------------------

Status CCheckpoint::XICheckpoint::OpenCheckpointProject(IProject** project) {
  CCheckpoint& self = This();
  if (project != nullptr) *project = nullptr;
  Prjrep::AutoOut<IProject> out(project);
  if (self.m_openProject) {
    bool open = false;
    if (self.m_openProject->IsOpen(&open) == kSuccess && open) {
      if (project != nullptr) std::ignore = out.Assign(self.m_openProject.Get());
      return kSuccess;
    }
    self.m_openProject = nullptr;
  }
  const String marker = self.GetCheckpointFilePath();
  if (marker.empty()) return kFailure;
  const String snapshotProject = ReplaceProjectExtension(marker, ".xhlc");
  if (!Port::File::exist(snapshotProject)) return kFailure;

  if (Prjrep::AutoRelease<IProject> found = Snapshots::FindOpenHvdProject(snapshotProject); found) {
    if (project != nullptr) std::ignore = out.Assign(found.Get());
    return kSuccess;
  }

  Prjrep::AutoRelease<IProject> made(CitP::Factory::CreateInstance(ClassId::Project()));
  if (!made) return kFailure;
  self.m_openProject = std::move(made);
  bool open = false;
  if (self.m_openProject->Open(snapshotProject) == kSuccess && self.m_openProject->IsOpen(&open) == kSuccess && open) {
    if (project != nullptr) std::ignore = out.Assign(self.m_openProject.Get());
    return kSuccess;
  }
  std::ignore = self.m_openProject->ProjectClose(false);
  self.m_openProject = nullptr;
  return kFailure;
}

Status CCheckpoint::XICheckpoint::CloseCheckpointProject() {
  CCheckpoint& self = This();
  if (!self.m_openProject) return kSuccess;
  const Status closed = self.m_openProject->ProjectClose(false);
  self.m_openProject = nullptr;
  return closed;
}

// --- Restore -------------------------------------------------------------------------------

Status CCheckpoint::XICheckpoint::RestoreCheckpointProject(IProject** project, std::int32_t,
                                                           Prjrep::IStringIterator** items) {
  // The live project closes on the way, and with it the listing that may hold this snapshot.
  const Prjrep::AutoPtr<ICheckpoint> keep(this);
  return This().Restore(project, items);
}

Status CCheckpoint::Restore(IProject** project, Prjrep::IStringIterator** items) {
  if (items != nullptr) *items = nullptr;
  if (project == nullptr) {
    return Fail(kInvalidParameter, "ERROR: ICheckpoint::RestoreCheckpointProject - Bad Project Parameter\n");
  }
  *project = nullptr;
  const String marker = GetCheckpointFilePath();
  if (marker.empty()) return kFailure;
  if (!Port::File::exist(marker)) {
    return Fail(kFailure,
                "ERROR: ICheckpoint::RestoreCheckpointProject - The snapshot project does not exist: \"%s\".\n",
                marker.c_str());
  }
  // A snapshot's project file that does not parse is refused here, named as the snapshot's own:
  // the restore would find it only under the live project's name, once the project had closed.
  if (const String snapshotProject = ReplaceProjectExtension(marker, ".xhlc"); Port::File::exist(snapshotProject)) {
    CXMLReader reader;
    reader.DivertFileEntries();
    if (!reader.ParseFile(snapshotProject)) return kFailure;
  }
  String projectFile;
  std::ignore = Project()->GetProjectFilePath(&projectFile);
  const String projectDirectory = DirectoryOf(projectFile);
  if (!Port::File::canwrite_dir(projectDirectory)) {
    return Fail(kDirectoryWriteFailed,
                "ERROR: ICheckpoint::RestoreCheckpointProject - Cannot write into the Project directory to perform the "
                "restore.\n");
  }

  Prjrep::AutoRelease<IProjectBundle> bundle(CitP::Factory::CreateInstance(ClassId::DirectoryProjectBundle()));
  if (!bundle) return kFailure;
  const String snapshotDirectory = DirectoryOf(marker);
  const Status initialized =
      bundle->Initialize(Port::FileName(snapshotDirectory).GetTail(), DirectoryOf(snapshotDirectory), projectDirectory);
  if (initialized != kSuccess) return initialized;
  const Status opened = bundle->Open(2);
  if (opened != kSuccess) return opened;

  Prjrep::AutoRelease<IProjectHelper> helper = Snapshots::FindOpenCvfProjectHelper(projectFile);
  if (!helper) return kFailure;
  const Status restored = Snapshots::RestoreOver(bundle.Get(), helper.Get(), projectDirectory, projectFile, items);
  if (restored != kSuccess) return restored;
  if (Prjrep::AutoCast<IProjectCompReference> reference(helper.Get()); reference) {
    std::ignore = reference->GetProject(project);
  }
  return kSuccess;
}

// --- The older persisted form --------------------------------------------------------------

Status CCheckpoint::LoadFrom(Prjrep::IStorage* storage) {
  if (storage == nullptr) return kInvalidParameter;
  // Reading stops at the first failure; none of what is read is kept.
  const auto read = [storage]() -> Status {
    String text;
    for (int i = 0; i < 3; ++i) {
      if (const Status status = storage->ReadString(&text); status != kSuccess) return status;
    }
    Port::XUID id;
    if (const Status status = storage->ReadXuid(&id); status != kSuccess) return status;
    std::int32_t count = 0;
    if (const Status status = storage->ReadInt32(&count); status != kSuccess) return status;
    if (count < 0 || count > kMaxStoredPairs) return kFailure;
    for (std::int32_t i = 0; i < count; ++i) {
      for (int j = 0; j < 2; ++j) {
        if (const Status status = storage->ReadString(&text); status != kSuccess) return status;
      }
    }
    return kSuccess;
  };
  const Status status = read();
  if (status != kSuccess) return Fail(status, "ERROR: PersistLoad Failed.\n");
  return kSuccess;
}

}  // namespace Hvd
