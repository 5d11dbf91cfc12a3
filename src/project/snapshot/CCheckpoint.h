#pragma once
// One snapshot of a project: its name and description, the files it has under the project's
// "snapshots" directory, its own project when opened, and the restore over the live project.
// Only the snapshot manager makes these.

#include <cstdint>
#include <memory>
#include <vector>

#include "Hvd/ICheckpoint.h"
#include "Hvd/IProject.h"
#include "Port/StringBase.h"
#include "Prjrep/IName.h"
#include "Prjrep/IPersist.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Names.h"
#include "core/Persist.h"
#include "core/RefCount.h"

namespace Hvd {

class CheckpointListing;

// What the snapshot manager shares with the snapshots and listings it made. The project owns
// the manager, so the project is held without a count; the manager clears it when it goes,
// and a snapshot that outlives its project then has none.
struct CheckpointOwner {
  IProject2* project = nullptr;
  // The listings alive, so that a snapshot can be taken out of the one its iterator walks.
  std::vector<CheckpointListing*> listings;
};

class CCheckpoint : public TComponent<CCheckpoint> {
 public:
  using String = Port::StringBase<char>;

  CITI_DECLARE_CLSID("{29071B8C-9AC0-4dc1-9E41-AC6D3E0D244E}")

  // Made with one reference for the maker.
  CCheckpoint(const String& name, const String& description, std::shared_ptr<CheckpointOwner> owner);
  CCheckpoint(const CCheckpoint&) = delete;
  CCheckpoint& operator=(const CCheckpoint&) = delete;
  ~CCheckpoint() override;

  auto QueryTable() {
    return Table(Row<ICheckpoint>(&m_XICheckpoint), Row<CitI::IInterface>(&m_XICheckpoint),
                 Row<Prjrep::IName>(&m_XIName), Row<Prjrep::IPersist>(&m_XIPersist),
                 Row<Prjrep::IRefCount>(&m_refCount));
  }

  // Reads a record of the older persisted form and keeps nothing of it.
  Status LoadFrom(Prjrep::IStorage* storage);

 private:
  struct XICheckpoint : TNested<CCheckpoint, ICheckpoint> {
    using TNested::TNested;
    Status GetName(String* name) override;
    Status SetName(const String& name) override { return This().Rename(name); }
    Status GetDescription(String* description) override;
    Status SetDescription(const String& description) override;
    Status UnsupportedQuery(CitI::IInterface** out) override;
    Status UnsupportedOperation() override { return kNotSupported; }
    Status CreateCheckpointProject() override;
    Status DeleteCheckpointFiles() override;
    Status OpenCheckpointProject(IProject** project) override;
    Status CloseCheckpointProject() override;
    Status RestoreCheckpointProject(IProject** project, std::int32_t reserved,
                                    Prjrep::IStringIterator** items) override;
  } m_XICheckpoint{this};

  Prjrep::TRefCountHelper<CCheckpoint> m_refCount{this};
  Prjrep::TPersistHelper<CCheckpoint> m_XIPersist{this};
  String m_description;
  // The name; a name set through Prjrep::IName moves the snapshot like SetName.
  struct XIName : Prjrep::CNameHelper {
    explicit XIName(CCheckpoint* checkpoint) : CNameHelper(&checkpoint->m_XICheckpoint), m_checkpoint(checkpoint) {}
    Status SetName(const String& name) override { return m_checkpoint->Rename(name); }
    CCheckpoint* m_checkpoint;
  } m_XIName{this};
  std::shared_ptr<CheckpointOwner> m_owner;
  // The snapshot's own project while it is open.
  Prjrep::AutoPtr<IProject> m_openProject;

  IProject2* Project() const noexcept { return m_owner ? m_owner->project : nullptr; }
  // The marker file of this snapshot; "" with a message when there is no project or the name
  // is refused.
  String GetCheckpointFilePath() const;
  Status Rename(const String& name);
  Status Restore(IProject** project, Prjrep::IStringIterator** items);
};

}  // namespace Hvd
