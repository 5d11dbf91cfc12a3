#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// Partial-reconfiguration helper: configurations from flavor lists and instance paths.
class CPRHelper : public TComponent<CPRHelper> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::PRHelper(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CPRHelper> m_refCount{this};
};

}  // namespace Hvd
