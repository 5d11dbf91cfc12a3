#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// The named record from which the repository finds or re-creates a project.
class CProjectAutonym : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ProjectAutonym(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CProjectAutonym> m_refCount{this};
};

}  // namespace Hvd
