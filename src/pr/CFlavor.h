#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// One flavor of a reconfigurable module.
class CFlavor : public TComponent<CFlavor> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::Flavor(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CFlavor> m_refCount{this};
};

}  // namespace Hvd
