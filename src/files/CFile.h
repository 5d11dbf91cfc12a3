#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// One source file of a project: its type, design units and child files.
class CFile : public TComponent<CFile> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::File(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CFile> m_refCount{this};
};

}  // namespace Hvd
