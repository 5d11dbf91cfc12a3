#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// The configurations, flavors and reconfigurable modules of a project.
class CConfigurationMgr : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ConfigurationMgr(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CConfigurationMgr> m_refCount{this};
};

}  // namespace Hvd
