#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// Reader of the embedded-platform tool's project file.
class CZmrFileReader : public TComponent<CZmrFileReader> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ZmrFileReader(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CZmrFileReader> m_refCount{this};
};

}  // namespace Hvd
