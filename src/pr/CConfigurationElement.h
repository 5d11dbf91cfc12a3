#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// One element of a configuration.
class CConfigurationElement : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ConfigurationElement(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CConfigurationElement> m_refCount{this};
};

}  // namespace Hvd
