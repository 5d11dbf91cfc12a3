#pragma once
// The project's snapshot manager: lists the snapshots on disk, finds, makes and removes them.
// The project owns it for its whole life; it answers no reference count.

#include <list>
#include <memory>

#include "Hvd/ICheckpoint.h"
#include "Hvd/IProject.h"
#include "Port/StringBase.h"
#include "Prjrep/IPersist.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Persist.h"
#include "core/Sets.h"
#include "project/snapshot/CCheckpoint.h"

namespace Hvd {

// One listing of snapshots, counted by itself and kept alive by its iterators, so that a later
// listing leaves it as it is.
class CheckpointListing final
    : public TRefdSequenceSetHelper<ICheckpoint*, ICheckpointSet, ICheckpointIterator, std::list<ICheckpoint*>> {
 public:
  explicit CheckpointListing(std::shared_ptr<CheckpointOwner> owner);
  ~CheckpointListing() override;

 private:
  std::shared_ptr<CheckpointOwner> m_owner;
};

class CCheckpointManager : public TComponent<CCheckpointManager> {
 public:
  using String = Port::StringBase<char>;

  CITI_DECLARE_CLSID("{F4E308C5-122E-4cad-98BD-B57F8432E35A}")

  // `project` is queried for its IProject2, held without a count: the project owns this.
  explicit CCheckpointManager(CitI::IInterface* project);
  CCheckpointManager(const CCheckpointManager&) = delete;
  CCheckpointManager& operator=(const CCheckpointManager&) = delete;
  ~CCheckpointManager() override;

  auto QueryTable() {
    return Table(Row<ICheckpointManager>(&m_XICheckpointManager), Row<CitI::IInterface>(&m_XICheckpointManager),
                 Row<Prjrep::IPersist>(&m_XIPersist));
  }

  ICheckpointManager* Face() noexcept { return &m_XICheckpointManager; }
  // Lets go of the snapshot objects listed so far; the project's release calls it.
  void Reset();
  // Reads the snapshots of the older persisted form, each bound anew to this project.
  Status LoadFrom(Prjrep::IStorage* storage);

 private:
  struct XICheckpointManager : TNested<CCheckpointManager, ICheckpointManager> {
    using TNested::TNested;
    Status CreateCheckpoint(const String& name, const String& description, ICheckpoint** checkpoint) override;
    Status RemoveCheckpoint(ICheckpointIterator* at) override;
    Status RemoveCheckpointByName(const String& name) override;
    Status GetCheckpoints(ICheckpointIterator** checkpoints) override;
    Status FindCheckpoint(const String& name, ICheckpoint** checkpoint) override;
  } m_XICheckpointManager{this};

  Prjrep::TPersistHelper<CCheckpointManager> m_XIPersist{this};
  std::shared_ptr<CheckpointOwner> m_owner;
  // The latest listing, where a snapshot made since is added too.
  Prjrep::AutoPtr<ICheckpointSet> m_checkpoints;

  ICheckpointSet* CurrentListing();
  // A fresh listing; the iterator stands on the snapshot of exactly that name, or at the end.
  Status FindCheckpointWorker(const String& name, Prjrep::AutoRelease<ICheckpointIterator>& at);
};

}  // namespace Hvd
