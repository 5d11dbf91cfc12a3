#pragma once
// A definition-data id of the base services: the named type of a file, view, design unit,
// property or transform.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

class IDefDataId : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{05E2C73F-A5B3-4a0b-9AB1-9229002413CB}")

  // The id's name, such as "FILE_VHDL" or "VIEW_Initial".
  virtual Hvd::Status GetDefDataIdName(Port::StringBase<char>* name) = 0;
};

}  // namespace Hvd
