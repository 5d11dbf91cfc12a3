#pragma once
// The shell's project commands: `project` and `velfile` on the one open project.

#include <tcl.h>

namespace velsh {

void RegisterProjectCommands(Tcl_Interp* interp);
// Closes the open project, if any, without saving it.
void CloseOpenProject();

}  // namespace velsh
