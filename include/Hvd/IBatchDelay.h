#pragma once
// A counted delay of recomputation: a view and the transform engine hold back their work while a
// batch is open and do it once, when the last batch ends. Bulk operations begin a batch on each
// of them and end it afterwards.

#include "CitI/IInterface.h"
#include "Hvd/Status.h"

namespace Hvd {

class IBatchDelay : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{2fbd4cf7-f87e-4341-8ad4-dfbb144ecb09}")

  // Opens one more batch.
  virtual Hvd::Status BeginBatch() = 0;
  // Closes one batch; the held-back work runs when none is left open.
  virtual Hvd::Status EndBatch() = 0;
};

}  // namespace Hvd
