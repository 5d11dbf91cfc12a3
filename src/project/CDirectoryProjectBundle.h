#pragma once

#include "Hvd/ClassIds.h"
#include "core/RefCount.h"

namespace Hvd {

// A project kept together with its files in one directory.
class CDirectoryProjectBundle : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::DirectoryProjectBundle(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CDirectoryProjectBundle> m_refCount{this};
};

}  // namespace Hvd
