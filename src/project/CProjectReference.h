#pragma once
// A reference from a project to another project's file: a named record stored in the
// referring project's repository.

#include "Hvd/ClassIds.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Port/FileName.h"
#include "Port/StringBase.h"
#include "Prjrep/IPersist.h"
#include "core/Interface.h"
#include "core/Names.h"
#include "core/Persist.h"
#include "core/RefCount.h"

namespace Hvd {

// Stored as two strings, in this order: the reference's name, then the referenced file's
// full name.
class CProjectReference : public TComponent<CProjectReference> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ProjectReference(); }

  // Every step runs even when an earlier one failed; the first failure is the answer.
  Status LoadFrom(Prjrep::IStorage* storage);
  Status SaveTo(Prjrep::IStorage* storage);

  CProjectReference();
  CProjectReference(const CProjectReference&) = delete;
  CProjectReference& operator=(const CProjectReference&) = delete;

  auto QueryTable() {
    return Table(Row<Prjrep::IPersist>(&m_XIPersist), Row<Prjrep::IName>(&m_name),
                 Row<IProjectReference>(&m_XIProjectReference), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(&m_XIProjectReference));
  }

 private:
  Port::FileName m_file;
  Prjrep::TRefCountHelper<CProjectReference> m_refCount{this};

  Prjrep::TPersistHelper<CProjectReference> m_XIPersist{this};

  // Its owner, the reference's own face, is set once that face exists.
  Prjrep::CNameHelper m_name;

  struct XIProjectReference : TNested<CProjectReference, IProjectReference> {
    using TNested::TNested;
    Status GetProjectFileName(Port::StringBase<char>* path) override;
    // Kept as given: the path is checked and made canonical only when it is read.
    Status SetProjectFileName(const Port::StringBase<char>& path) override {
      This().m_file = Port::FileName(path);
      return kSuccess;
    }
  } m_XIProjectReference{this};
};

}  // namespace Hvd
