#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// One reconfigurable module.
class CPRModule : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::PRModule(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CPRModule> m_refCount{this};
};

}  // namespace Hvd
