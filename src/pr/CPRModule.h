#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// One reconfigurable module.
class CPRModule : public TComponent<CPRModule> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::PRModule(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CPRModule> m_refCount{this};
};

}  // namespace Hvd
