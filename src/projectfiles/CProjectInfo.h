#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// Reads project information from a project source file.
class CProjectInfo : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ProjectInfo(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CProjectInfo> m_refCount{this};
};

}  // namespace Hvd
