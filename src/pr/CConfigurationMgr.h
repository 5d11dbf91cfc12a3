#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// The configurations, flavors and reconfigurable modules of a project.
class CConfigurationMgr : public TComponent<CConfigurationMgr> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ConfigurationMgr(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CConfigurationMgr> m_refCount{this};
};

}  // namespace Hvd
