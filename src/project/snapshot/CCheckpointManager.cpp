// The snapshot manager: listings from disk, look-up by name, making and removing snapshots.

#include "project/snapshot/CCheckpointManager.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "Port/Dir.h"
#include "Port/FileName.h"
#include "core/Diagnostics.h"
#include "core/XmlChars.h"
#include "project/snapshot/Restore.h"
#include "project/snapshot/SnapshotPaths.h"

namespace Hvd {

namespace {

using String = Port::StringBase<char>;

// A stored list of more snapshots than this is taken as damaged.
constexpr std::int32_t kMaxStoredCheckpoints = 1 << 16;

Prjrep::AutoRelease<ICheckpoint> MakeCheckpoint(const String& name, const String& description,
                                                const std::shared_ptr<CheckpointOwner>& owner) {
  return Prjrep::AutoRelease<ICheckpoint>(new CCheckpoint(name, description, owner));
}

}  // namespace

CheckpointListing::CheckpointListing(std::shared_ptr<CheckpointOwner> owner) : m_owner(std::move(owner)) {
  m_owner->listings.push_back(this);
}

CheckpointListing::~CheckpointListing() { std::erase(m_owner->listings, this); }

CCheckpointManager::CCheckpointManager(CitI::IInterface* project) : m_owner(std::make_shared<CheckpointOwner>()) {
  m_owner->project = Prjrep::AutoCast<IProject2>(project).Get();
}

CCheckpointManager::~CCheckpointManager() {
  Reset();
  // Snapshots and listings still held elsewhere outlive the project: they no longer reach it.
  m_owner->project = nullptr;
}

void CCheckpointManager::Reset() { m_checkpoints = nullptr; }

ICheckpointSet* CCheckpointManager::CurrentListing() {
  if (!m_checkpoints) m_checkpoints = Prjrep::AutoRelease<ICheckpointSet>(new CheckpointListing(m_owner));
  return m_checkpoints.Get();
}

// --- Listing -------------------------------------------------------------------------------

// The snapshots are the directories under the project's own "snapshots" directory, wherever
// the process's current directory is, that hold their marker file.
Status CCheckpointManager::XICheckpointManager::GetCheckpoints(ICheckpointIterator** checkpoints) {
  if (checkpoints == nullptr) {
    return Fail(kInvalidParameter, "ERROR: CheckpointManager::GetCheckpoints - invalid argument.\n");
  }
  *checkpoints = nullptr;
  CCheckpointManager& self = This();
  Prjrep::AutoRelease<ICheckpointSet> listing(new CheckpointListing(self.m_owner));
  IProject2* project = self.m_owner->project;
  if (project == nullptr) std::ignore = Fail(kFailure, "ERROR: ICheckpointManager - The project is not set.\n");
  const String directory = Snapshots::SnapshotsDirectory(project);
  // Every snapshot operation lists first: a restore killed half-way is undone here too.
  if (String file; project != nullptr && project->GetProjectFilePath(&file) == kSuccess &&
                    Snapshots::FinishInterruptedRestore(file) != kSuccess) {
    return Fail(kFailure, "ERROR: CheckpointManager::GetCheckpoints - An interrupted restore cannot be undone: \"%s\".\n",
                file.c_str());
  }
  if (Snapshots::SnapshotsDirectoryIsLink(project)) {
    return Fail(kFailure, "ERROR: CheckpointManager::GetCheckpoints - The snapshots directory is a link: \"%s\".\n",
                directory.c_str());
  }
  if (!directory.empty()) {
    const UT_DIR entries(directory, 0);
    for (const UT_DIR::Entry& entry : entries) {
      // A link is no snapshot: what it leads to is not the project's.
      if (entry.kind != UT_DIR::Kind::kDirectory || !Snapshots::IsValidName(entry.name)) continue;
      const String marker = Snapshots::MarkerPath(project, entry.name);
      if (marker.empty() || !Port::File::isfile(marker)) continue;
      Prjrep::AutoRelease<ICheckpoint> checkpoint = MakeCheckpoint(entry.name, String(), self.m_owner);
      std::ignore = listing->Add(checkpoint.Get());
    }
  }
  self.m_checkpoints = std::move(listing);
  return self.m_checkpoints->GetIterator(checkpoints);
}

Status CCheckpointManager::FindCheckpointWorker(const String& name, Prjrep::AutoRelease<ICheckpointIterator>& at) {
  at = nullptr;
  const Status listed = m_XICheckpointManager.GetCheckpoints(at.Receive());
  if (listed != kSuccess || !at) return listed;
  std::ignore = at->Reset();
  for (; !at->IsDone(); std::ignore = at->Next()) {
    String current;
    if (ICheckpoint* checkpoint = at->Current();
        checkpoint != nullptr && checkpoint->GetName(&current) == kSuccess && current.str() == name.str())
      return kSuccess;
  }
  return kFailure;
}

Status CCheckpointManager::XICheckpointManager::FindCheckpoint(const String& name, ICheckpoint** checkpoint) {
  if (checkpoint == nullptr) {
    return Fail(kInvalidParameter, "ERROR: CCheckpointManager::FindCheckpoint - invalid argument.\n");
  }
  Prjrep::AutoOut<ICheckpoint> out(checkpoint);
  if (name.empty()) return Fail(kInvalidParameter, "ERROR: CheckpointManager::FindCheckpoint - invalid argument.\n");
  Prjrep::AutoRelease<ICheckpointIterator> at;
  std::ignore = This().FindCheckpointWorker(name, at);
  if (at && !at->IsDone()) std::ignore = out.Assign(at->Current());
  return *checkpoint != nullptr ? kSuccess : kFailure;
}

// --- Making and removing -------------------------------------------------------------------

Status CCheckpointManager::XICheckpointManager::CreateCheckpoint(const String& name, const String& description,
                                                                 ICheckpoint** checkpoint) {
  CCheckpointManager& self = This();
  if (self.m_owner->project == nullptr) {
    return Fail(kOwnerMissing, "ERROR: CheckpointManager::CreateCheckpoint - The project must be set.\n");
  }
  if (checkpoint == nullptr) {
    return Fail(kInvalidParameter, "ERROR: CheckpointManager::CreateCheckpoint - invalid argument.\n");
  }
  Prjrep::AutoOut<ICheckpoint> out(checkpoint);
  if (name.empty()) return Fail(kInvalidParameter, "ERROR: CheckpointManager::CreateCheckpoint - invalid argument.\n");
  // The description is written into the snapshot's project file; the name, which heads the paths
  // of its files, is held to the same. Checked first, so that a NUL is named as it was given.
  if (!XmlFits("ProjectMgmt", "The snapshot name", name.str()) ||
      !XmlFits("ProjectMgmt", "The snapshot description", description.str()))
    return kInvalidParameter;
  // The name becomes a directory beside the other snapshots, and nothing else.
  if (!Snapshots::IsValidName(name)) {
    return Fail(kInvalidParameter, "ERROR: CheckpointManager::CreateCheckpoint - Not a snapshot name: \"%s\".\n",
                name.c_str());
  }
  Prjrep::AutoRelease<ICheckpoint> existing;
  if (FindCheckpoint(name, existing.Receive()) == kSuccess && existing) {
    return Fail(kFailure, "ERROR: CheckpointManager::CreateCheckpoint - The checkpoint \"%s\" already exists.\n",
                name.c_str());
  }
  Prjrep::AutoRelease<ICheckpoint> made = MakeCheckpoint(name, description, self.m_owner);
  std::ignore = self.CurrentListing()->Add(made.Get());
  std::ignore = out.Assign(made.Get());
  return *checkpoint != nullptr ? kSuccess : kFailure;
}

Status CCheckpointManager::XICheckpointManager::RemoveCheckpoint(ICheckpointIterator* at) {
  if (at == nullptr || at->IsDone()) {
    return Fail(kInvalidParameter, "ERROR: CheckpointManager::RemoveCheckpoint - Invalid parameter.\n");
  }
  const Prjrep::AutoPtr<ICheckpoint> checkpoint(at->Current());
  if (!checkpoint) return Fail(kInvalidParameter, "ERROR: CheckpointManager::RemoveCheckpoint - Invalid parameter.\n");
  const Status deleted = checkpoint->DeleteCheckpointFiles();
  // Out of the listing the iterator walks, whichever listing that is.
  const std::vector<CheckpointListing*> listings = This().m_owner->listings;
  for (CheckpointListing* listing : listings) {
    if (listing->Remove(at) == kSuccess) break;
  }
  return deleted;
}

Status CCheckpointManager::XICheckpointManager::RemoveCheckpointByName(const String& name) {
  if (name.empty()) return kInvalidParameter;
  Prjrep::AutoRelease<ICheckpointIterator> at;
  if (This().FindCheckpointWorker(name, at) != kSuccess || !at || at->IsDone()) return kFailure;
  return RemoveCheckpoint(at.Get());
}

// --- The older persisted form --------------------------------------------------------------

Status CCheckpointManager::LoadFrom(Prjrep::IStorage* storage) {
  if (storage == nullptr) return Fail(kInvalidParameter, "ERROR: CCheckpointManager::Load - Invalid Parameter.\n");
  std::int32_t count = 0;
  const Status begun = storage->ReadInt32(&count);
  if (begun != kSuccess) return begun;
  // Reading stops at the first failure; a count out of range is damage, not a length.
  Status status = count < 0 || count > kMaxStoredCheckpoints ? kFailure : kSuccess;
  for (std::int32_t i = 0; status == kSuccess && i < count; ++i) {
    String ignored;
    status = storage->ReadString(&ignored);
    if (status != kSuccess) break;
    Prjrep::AutoRelease<Prjrep::IPersist> stored;
    status = storage->ReadObject(stored.Receive());
    if (status != kSuccess) break;
    Prjrep::AutoCast<ICheckpoint> read(stored.Get());
    if (!read) continue;
    String name;
    String description;
    std::ignore = read->GetName(&name);
    std::ignore = read->GetDescription(&description);
    Prjrep::AutoRelease<ICheckpoint> made = MakeCheckpoint(name, description, m_owner);
    std::ignore = CurrentListing()->Add(made.Get());
  }
  if (status != kSuccess) return Fail(status, "ERROR: CCheckpointManager::Load Failed.\n");
  return kSuccess;
}

}  // namespace Hvd
