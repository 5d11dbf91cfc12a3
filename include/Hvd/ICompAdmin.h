#pragma once
// Administration of a component's life: set-up after creation or loading, and tear-down.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"

namespace Hvd {

class ICompAdmin : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{D286AA9D-41D1-4f13-93B1-54FCB51D6E8C}")

  virtual Hvd::Status InitializeAfterCreate(CitI::IInterface* owner, CitI::IInterface* definition) = 0;
  virtual Hvd::Status InitializeAfterLoad(CitI::IInterface* owner) = 0;
  virtual Hvd::Status RegisterForNotifications() = 0;
  // Lets go of everything the component holds of others.
  virtual Hvd::Status Teardown() = 0;
};

// Brings what an object keeps in line with the definition data after the data changed.
class IReconcileToDefData : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{D36003BA-B58B-4d18-BBDE-EAD221F17817}")

  // Adds what the current definitions call for.
  virtual Hvd::Status Reconcile() = 0;
  // Drops what stands on definitions that became obsolete.
  virtual Hvd::Status RemoveObsolete(CitI::IInterface* context) = 0;
};

}  // namespace Hvd
