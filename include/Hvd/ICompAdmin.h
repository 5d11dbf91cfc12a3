#pragma once
// Administration of a component's life: set-up after creation or loading, and tear-down.

#include <cstdint>

#include "CitI/IInterface.h"

namespace Hvd {

class ICompAdmin : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{D286AA9D-41D1-4f13-93B1-54FCB51D6E8C}")

  virtual std::uint64_t InitializeAfterCreate(CitI::IInterface* owner, CitI::IInterface* definition) = 0;
  virtual std::uint64_t InitializeAfterLoad(CitI::IInterface* owner) = 0;
  virtual std::uint64_t RegisterForNotifications() = 0;
  // Lets go of everything the component holds of others.
  virtual std::uint64_t Teardown() = 0;
};

}  // namespace Hvd
