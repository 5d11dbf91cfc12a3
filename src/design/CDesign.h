#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// The design of a project: its views, design platform and design units.
class CDesign : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::Design(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CDesign> m_refCount{this};
};

}  // namespace Hvd
