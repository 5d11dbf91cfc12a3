#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// One source file of a project: its type, design units and child files.
class CFile : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::File(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CFile> m_refCount{this};
};

}  // namespace Hvd
