#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// One HDL design project: its design, files, libraries, references and properties.
class CProject : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::Project(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CProject> m_refCount{this};
};

}  // namespace Hvd
