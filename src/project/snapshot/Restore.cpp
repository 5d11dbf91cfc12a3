#include "project/snapshot/Restore.h"

#include "Port/FileName.h"
#include "core/Diagnostics.h"
#include "core/Holders.h"
#include "project/ProjectRoutines.h"
#include "utils/FileUtils.h"

namespace Hvd::Snapshots {

namespace {

using String = Port::StringBase<char>;

// The helper opens a project through its second face.
Status OpenThrough(IProjectHelper* helper, const String& projectFile) {
  Prjrep::AutoCast<IProjectHelper2> opener(helper);
  return opener ? opener->OpenProject(projectFile) : kMissingInterface;
}

// Puts the backup back over the project directory and opens the project again. A backup that
// could not be put back is kept: it is then the only whole copy of the project.
void RollBack(IProjectHelper* helper, const String& backup, const String& projectDirectory, const String& projectFile) {
  const Status copied = FileUtils::CopyItem(backup, projectDirectory, FileUtils::kReadWrite);
  if (copied == kSuccess) {
    std::ignore = FileUtils::RemoveItem(backup);
  } else {
    std::ignore = Fail(copied,
                       "ERROR: ICheckpoint::RestoreCheckpointProject - The project directory could not be put back; "
                       "its backup is kept at: \"%s\".\n",
                       backup.c_str());
  }
  // The marker comes with the snapshot's files and never belongs to the live project.
  std::ignore = FileUtils::RemoveItem(ReplaceProjectExtension(projectFile, ".snp"));
  std::ignore = OpenThrough(helper, projectFile);
}

}  // namespace

Status RestoreOver(IProjectBundle* bundle, IProjectHelper* helper, const String& projectDirectory,
                   const String& projectFile, Prjrep::IStringIterator** items) {
  if (items != nullptr) *items = nullptr;
  if (bundle == nullptr || helper == nullptr || projectDirectory.empty() || projectFile.empty()) return kFailure;

  // Without a whole backup nothing could be undone, so nothing is begun.
  const String temporary = Port::File::tmpnam(nullptr);
  if (temporary.empty()) {
    return Fail(kTempDirNotCreated,
                "ERROR: ICheckpoint::RestoreCheckpointProject - No name for the backup of the project directory.\n");
  }
  const String backup = Port::FileName(temporary).GetAbsolutePath();
  const Status backedUp = FileUtils::CopyItem(projectDirectory, backup, FileUtils::kReadWrite);
  if (backedUp != kSuccess) {
    std::ignore = FileUtils::RemoveItem(backup);
    return Fail(backedUp,
                "ERROR: ICheckpoint::RestoreCheckpointProject - Cannot back up the Project directory to perform the "
                "restore: \"%s\".\n",
                backup.c_str());
  }

  const Status closed = helper->CloseProject();
  if (closed != kSuccess) {
    std::ignore = FileUtils::RemoveItem(backup);
    return closed;
  }

  // A file that could not be extracted fails the restore, whatever the bundle answers.
  Prjrep::AutoRelease<Prjrep::IStringIterator> failed;
  Status status = bundle->ExtractTo(projectDirectory, failed.Receive());
  if (status == kSuccess && failed && !failed->IsDone()) status = kDirectoryWriteFailed;
  if (items != nullptr) *items = failed.Detach();
  if (status != kSuccess) {
    RollBack(helper, backup, projectDirectory, projectFile);
    return status;
  }

  status = OpenThrough(helper, projectFile);
  if (status != kSuccess) {
    RollBack(helper, backup, projectDirectory, projectFile);
    return status;
  }

  std::ignore = FileUtils::RemoveItem(backup);
  std::ignore = FileUtils::RemoveItem(ReplaceProjectExtension(projectFile, ".snp"));
  return kSuccess;
}

}  // namespace Hvd::Snapshots
