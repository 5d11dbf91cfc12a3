#pragma once
// The suite's Tcl interpreter, as a component.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

// The interpreter component: one interpreter per process, whichever instance is created.
CITI_DEFINE_ID(TclInterpClassId, "{55BC7985-ED0B-4b33-AECD-4237C30C200D}")

class ITclInterp : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{82265946-11E5-4ce5-AFCE-3406D3E342EE}")

  // Readies the interpreter; cheap when it is ready already.
  virtual Hvd::Status Init(const Port::StringBase<char>& options) = 0;
  // Makes `object` (null allowed) reachable from Tcl as the variable `name`.
  virtual Hvd::Status BindObject(CitI::IInterface* object, const Port::StringBase<char>& name) = 0;
  // Evaluates `command` at global level: 1 and the command's result, or 0 and the error
  // text. Both are UTF-8; a NUL in the result is one zero byte.
  virtual Hvd::Status ExecuteCmd(const Port::StringBase<char>& command, Port::StringBase<char>& result,
                                   std::int32_t flags) = 0;
};

}  // namespace Hvd
