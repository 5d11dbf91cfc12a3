#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// The device family, device and package of a design, with their properties.
class CDesignPlatform : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::DesignPlatform(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CDesignPlatform> m_refCount{this};
};

}  // namespace Hvd
