#pragma once
// A view of a design, as other components reach it.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Hvd/IDefData.h"

namespace Hvd {

class IDesign;
class IHdlElaborationData;

class IView : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{7712A3E4-8429-449a-A82C-B7A1B78F3863}")

  // The view's type, which answers IDefDataId; one reference for the caller.
  virtual Hvd::Status GetType(IViewType** type) = 0;
  virtual Hvd::Status GetDesign(IDesign** design) = 0;
  // The view's elaborated netlist, with one reference; the output is cleared first.
  virtual Hvd::Status GetElaborationData(IHdlElaborationData** data) = 0;
};

}  // namespace Hvd
