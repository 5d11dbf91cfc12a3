#pragma once
// A binding of the transform engine: it ties objects on its two sides to a transform.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Prjrep/ISet.h"

namespace Hvd {

class ITransformBindingInstance : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{4E3EFC7C-3722-410c-8A19-4A8A72DA125F}")

  // The objects on each side of the binding, with one reference for the caller.
  virtual Hvd::Status GetSecondSideObjects(Prjrep::ISet** objects) = 0;
  virtual Hvd::Status GetFirstSideObjects(Prjrep::ISet** objects) = 0;
};

}  // namespace Hvd
