#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// Reader of the embedded-platform tool's project file.
class CZmrFileReader : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ZmrFileReader(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CZmrFileReader> m_refCount{this};
};

}  // namespace Hvd
