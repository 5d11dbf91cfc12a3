#pragma once
// An object to which property instances belong: the project, a design or a view.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"

namespace Hvd {

class IPropertyContext : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{E89E284E-C1AE-4b5c-93A7-BF2CA2ABC063}")

  // The parent context with one reference for the caller; null at the top.
  virtual Hvd::Status GetContextParent(IPropertyContext** parent) = 0;
  virtual Hvd::Status GetContextClassId(Port::XUID& id) = 0;
  virtual Hvd::Status GetContextId(Port::XUID& id) = 0;
};

}  // namespace Hvd
