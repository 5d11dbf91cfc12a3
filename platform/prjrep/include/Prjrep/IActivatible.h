#pragma once
// Activation of a repository object; the library's components do not offer it.

#include "CitI/IInterface.h"
#include "Hvd/Status.h"

namespace Prjrep {

class IActivatible : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{617E6E68-C2B4-4EEF-8834-AE3D56049E30}")

  virtual Hvd::Status ReservedOperation1() = 0;
  virtual Hvd::Status ReservedOperation2() = 0;
};

}  // namespace Prjrep
