#pragma once
// The constraint manager that a project's configurations share, a component of the host.

#include "CitI/IInterface.h"
#include "Hvd/Status.h"

namespace Hvd {

CITI_DEFINE_ID(SharedConstraintMgrClassId, "{9F7388CA-90A7-496c-9215-F38C27433842}")

class ISharedConstraintMgr : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{F53793FB-1C04-4606-A655-FB37C6CFA460}")

  // Reads the constraints again from their files.
  virtual Hvd::Status Reload() = 0;
};

}  // namespace Hvd
