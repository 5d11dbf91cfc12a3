#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// One partial-reconfiguration configuration.
class CConfiguration : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::Configuration(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CConfiguration> m_refCount{this};
};

}  // namespace Hvd
