#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// The design of a project: its views, design platform and design units.
class CDesign : public TComponent<CDesign> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::Design(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CDesign> m_refCount{this};
};

}  // namespace Hvd
