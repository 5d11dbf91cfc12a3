#pragma once
// The shell's partial-reconfiguration commands: `pr flavor ...` and `pr configuration ...`
// on the open project, through the library's reconfiguration helper.

#include <tcl.h>

#include <vector>

#include "Hvd/IProject.h"
#include "core/Holders.h"

namespace velsh {

void RegisterPRCommands(Tcl_Interp* interp);
// The configuration manager of a project and the projects of its configurations and
// flavors, held.
struct PRProjects {
  Prjrep::AutoPtr<CitI::IInterface> manager;
  std::vector<Prjrep::AutoPtr<Hvd::IProject>> projects;
};
// Taken while the project is open; closed after it: a configuration's project takes the
// static project in, and closes what it took in when it closes.
PRProjects TakePRProjects(Hvd::IProject* project);
void ClosePRProjects(PRProjects& taken);

}  // namespace velsh
