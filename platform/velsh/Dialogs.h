#pragma once
// The shell's question dialog: the stand-in's procedure, answered from the terminal.

#include <tcl.h>

namespace velsh {

// Puts the shell's `::velmor::Hvd::hvd_DisplayQuestionDialog` in place of the stand-in's.
void RegisterDialogs(Tcl_Interp* interp);

}  // namespace velsh
