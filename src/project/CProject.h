#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// One HDL design project: its design, files, libraries, references and properties.
class CProject : public TComponent<CProject> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::Project(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CProject> m_refCount{this};
};

}  // namespace Hvd
