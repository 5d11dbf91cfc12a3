#pragma once
// The design platform: the device choice of a design (family, device, package, speed, tools)
// as property instances, and the one event that tells the design what changed.

#include "CitI/IInterface.h"
#include "Hvd/IDefData.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

class IDesignPlatform : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{2B106F35-D74A-4e2a-A13D-0EB6C8EE64F3}")

  // The name of the platform's type, such as "DPT_Default".
  virtual Hvd::Status GetName(Port::StringBase<char>* name) = 0;
  // A new iterator over the device properties, in the platform type's order.
  virtual Hvd::Status GetProperties(IPropertyInstanceIterator** properties) = 0;
  // Sends the platform-changed event when changes were recorded since the last one; 1.
  virtual Hvd::Status NotifyChanges() = 0;
};

class IDesignPlatformInternal : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{686A1F58-8867-4a23-8EE1-A21C73CF6B76}")

  // Lets go of the type, the properties and what the platform listens to, and keeps its own
  // receivers (the design), for a reload.
  virtual Hvd::Status PartialTeardown() = 0;
};

namespace EventId {

// The events of a property instance that announce a change of it (argument: the instance).
// Which change each one stands for is the property manager's business.
CITI_DEFINE_ID(PropertyChangeA, "{37A5117E-576E-4170-AE29-EB1EF84875D0}")
CITI_DEFINE_ID(PropertyChangeB, "{5A246072-7E5F-4f31-B167-E9FF4C89553F}")
CITI_DEFINE_ID(PropertyChangeC, "{E3C5405D-460F-44c4-BAF6-340203901557}")
// Sent by the base services' platform-event service when a change of properties is complete:
// the platform then runs the properties' code hooks.
CITI_DEFINE_ID(PropertyChangesComplete, "{D6A588FD-30B7-4175-996E-25F4718B5097}")

}  // namespace EventId

}  // namespace Hvd
