#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// Partial-reconfiguration helper: configurations from flavor lists and instance paths.
class CPRHelper : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::PRHelper(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CPRHelper> m_refCount{this};
};

}  // namespace Hvd
