#pragma once
// The shell's project commands: `project` and `velfile` on the one open project.

#include <tcl.h>

#include "Hvd/IProject.h"

namespace velsh {

void RegisterProjectCommands(Tcl_Interp* interp);
// Closes the open project, if any, without saving it.
void CloseOpenProject();
// The open project, borrowed; null when none is open.
Hvd::IProject* OpenProject();

}  // namespace velsh
