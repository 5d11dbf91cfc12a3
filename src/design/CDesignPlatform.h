#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// The device family, device and package of a design, with their properties.
class CDesignPlatform : public TComponent<CDesignPlatform> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::DesignPlatform(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CDesignPlatform> m_refCount{this};
};

}  // namespace Hvd
