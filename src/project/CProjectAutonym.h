#pragma once
// The named record from which the repository opens, saves and closes a project.

#include <cstddef>

#include "Hvd/ClassIds.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/Status.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IPersist.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Persist.h"
#include "core/RefCount.h"

namespace Hvd {

class CProject;

class CProjectAutonym : public TComponent<CProjectAutonym> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ProjectAutonym(); }

  CProjectAutonym() = default;
  CProjectAutonym(const CProjectAutonym&) = delete;
  CProjectAutonym& operator=(const CProjectAutonym&) = delete;
  ~CProjectAutonym() override;

  auto QueryTable() {
    return Table(Row<Prjrep::IAutonym>(&m_XISaveAutonym), Row<Prjrep::ISaveAutonym>(&m_XISaveAutonym),
                 Row<CitI::IInterface>(&m_XISaveAutonym), Row<Prjrep::IPersist>(&m_XIPersist),
                 Row<Prjrep::IRefCount>(&m_refCount));
  }

  // Holds `project` with a reference.
  void SetProject(IProject* project) { m_project = project; }
  // The autonym a project makes of itself: it names the project without keeping it alive,
  // since the project's own files keep such autonyms, and the project tells it when it goes.
  void SetOwningProject(CProject* project) noexcept { m_owner = project; }
  void ForgetOwningProject() noexcept { m_owner = nullptr; }
  // Where the owning project lists it, so that it leaves the list without a search.
  std::size_t& OwnerSlot() noexcept { return m_ownerSlot; }

  // The autonym stores nothing of its own.
  Status LoadFrom(Prjrep::IStorage*) { return kSuccess; }
  Status SaveTo(Prjrep::IStorage*) { return kSuccess; }

 private:
  IProject* Project() const;

  struct XISaveAutonym : TNested<CProjectAutonym, Prjrep::ISaveAutonym> {
    using TNested::TNested;
    Status Resolve(CitI::IInterface* repository, CitI::IInterface** object) override;
    Status GetName(Port::StringBase<char>* name) override {
      if (name == nullptr) return kFailure;
      *name = "HvdProject";
      return kSuccess;
    }
    Status GetObject(CitI::IInterface** object) override;
    Status IsSame(CitI::IInterface* other, bool* same) override;
    Status SaveObject(CitI::IInterface* context) override;
    Status CloseObject(CitI::IInterface* context) override;
  } m_XISaveAutonym{this};

  Prjrep::TPersistHelper<CProjectAutonym> m_XIPersist{this};

  Prjrep::TRefCountHelper<CProjectAutonym> m_refCount{this};
  Prjrep::AutoPtr<IProjectHelper> m_helper;
  Prjrep::AutoPtr<IProject> m_project;
  CProject* m_owner = nullptr;
  std::size_t m_ownerSlot = 0;
};

}  // namespace Hvd
