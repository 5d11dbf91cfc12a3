#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// A reference from a project to another project.
class CProjectReference : public TComponent<CProjectReference> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ProjectReference(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CProjectReference> m_refCount{this};
};

}  // namespace Hvd
