#pragma once
// Named records from which the repository finds or re-creates the configuration manager,
// a configuration or a flavor.

#include "Hvd/ClassIds.h"
#include "framework/RefCount.h"

namespace Hvd {

class CAutonymBase : public CitI::IInterface {
 public:
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;

 private:
  Prjrep::TRefCountHelper<CAutonymBase> m_refCount{this};
};

class CConfigurationMgrAutonym final : public CAutonymBase {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ConfigurationMgrAutonym(); }
};

class CConfigurationAutonym final : public CAutonymBase {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ConfigurationAutonym(); }
};

class CFlavorAutonym final : public CAutonymBase {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::FlavorAutonym(); }
};

}  // namespace Hvd
