#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// Reads project information from a project source file.
class CProjectInfo : public TComponent<CProjectInfo> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ProjectInfo(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CProjectInfo> m_refCount{this};
};

}  // namespace Hvd
