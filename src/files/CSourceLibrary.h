#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// A named library of source files.
class CSourceLibrary : public TComponent<CSourceLibrary> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::SourceLibrary(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CSourceLibrary> m_refCount{this};
};

}  // namespace Hvd
