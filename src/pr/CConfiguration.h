#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// One partial-reconfiguration configuration.
class CConfiguration : public TComponent<CConfiguration> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::Configuration(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CConfiguration> m_refCount{this};
};

}  // namespace Hvd
