#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// The named record of a reconfigurable module.
class CPRModuleAutonym : public TComponent<CPRModuleAutonym> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::PRModuleAutonym(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CPRModuleAutonym> m_refCount{this};
};

}  // namespace Hvd
