#pragma once
// The shell's project commands: `project` and `velfile` on the one open project.

#include <tcl.h>

#include <string>

#include "Hvd/IProject.h"

namespace velsh {

void RegisterProjectCommands(Tcl_Interp* interp);
// Closes the open project, if any, without saving it.
void CloseOpenProject();
// Closes the open project, if any, saving it as `project close` does. False when the save
// failed, with a line for the user, ending with its line end; the project is closed either way.
bool SaveAndCloseOpenProject(std::string& failure);
// The open project, borrowed; null when none is open.
Hvd::IProject* OpenProject();

}  // namespace velsh
