#pragma once

#include "Hvd/ClassIds.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// One element of a configuration.
class CConfigurationElement : public TComponent<CConfigurationElement> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::ConfigurationElement(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CConfigurationElement> m_refCount{this};
};

}  // namespace Hvd
