#pragma once
// The Tcl stand-in's interpreter lives as long as the test process, through every shutdown
// and load of the library: what one test queued or recorded there would reach the next.

#include "CitP/Factory.h"
#include "Hvd/ITclInterp.h"
#include "core/Holders.h"

namespace testing_support {

// Forgets the questions asked, the answers queued, the message boxes shown and the compiles
// and synchronisation steps asked for; nothing to do while no interpreter is loaded.
inline void ResetTclRecords() {
  Prjrep::AutoRelease<Hvd::ITclInterp> interpreter(CitP::Factory::CreateInstance(Hvd::TclInterpClassId()));
  if (!interpreter) return;
  std::ignore = interpreter->Init("");
  Port::StringBase<char> result;
  std::ignore = interpreter->ExecuteCmd("::velmor::Hvd::hvd_ResetRecords\n", result, 1);
}

}  // namespace testing_support
