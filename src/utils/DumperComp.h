#pragma once

#include "Hvd/ClassIds.h"
#include "framework/RefCount.h"

namespace Hvd {

// The diagnostic dumper that writes audit and trace files.
class DumperComp : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::DumperComp(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<DumperComp> m_refCount{this};
};

}  // namespace Hvd
