#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// A named library of source files.
class CSourceLibrary : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::SourceLibrary(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CSourceLibrary> m_refCount{this};
};

}  // namespace Hvd
