#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// Utilities over a project's references to other projects.
class CProjRefUtils : public TComponent<CProjRefUtils> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ProjRefUtils(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CProjRefUtils> m_refCount{this};
};

}  // namespace Hvd
