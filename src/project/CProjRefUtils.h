#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// Utilities over a project's references to other projects.
class CProjRefUtils : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ProjRefUtils(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CProjRefUtils> m_refCount{this};
};

}  // namespace Hvd
