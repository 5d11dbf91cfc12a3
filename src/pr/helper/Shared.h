#pragma once
// What the helper's operations share: the checks of a name that becomes a project's
// directory and file.

#include "CitI/IInterface.h"
#include "Hvd/IConfiguration.h"
#include "Port/StringBase.h"

namespace Hvd::prhelper {

// Whether a flavor or configuration named `name` may have a project of its own under the
// manager's project: usable as a directory and file name, and not the name of another flavor
// or configuration of the manager, whose project it would share. Issues the user error and
// answers false when not. `self` is the object being named, which does not count.
bool CheckProjectName(CitI::IInterface* manager, const Port::StringBase<char>& name, const char* kind,
                      CitI::IInterface* self);

}  // namespace Hvd::prhelper
