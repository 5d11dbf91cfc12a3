#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// One flavor of a reconfigurable module.
class CFlavor : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::Flavor(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CFlavor> m_refCount{this};
};

}  // namespace Hvd
