#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// The named record of a reconfigurable module.
class CPRModuleAutonym : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::PRModuleAutonym(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CPRModuleAutonym> m_refCount{this};
};

}  // namespace Hvd
