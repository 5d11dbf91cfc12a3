#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// A reference from a project to another project.
class CProjectReference : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ProjectReference(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CProjectReference> m_refCount{this};
};

}  // namespace Hvd
