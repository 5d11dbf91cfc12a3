#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// The named record from which the repository finds or re-creates a project.
class CProjectAutonym : public TComponent<CProjectAutonym> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ProjectAutonym(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CProjectAutonym> m_refCount{this};
};

}  // namespace Hvd
