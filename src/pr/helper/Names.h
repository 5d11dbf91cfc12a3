#pragma once
// Names the helper works with: the project file of a flavor or configuration, fields of
// bar-separated names, and the flavor lists of the Tcl layer.

#include <vector>

#include "CitI/IInterface.h"
#include "Hvd/IConfiguration.h"
#include "Port/StringBase.h"

namespace Hvd::prhelper {

// "<directory of the manager's full path>/<name>/<name>.hlc"; relative when the manager
// has no path. Text processing only: the path need not exist.
void MakeFlavorProjectFileName(Port::StringBase<char>& out, IPRSolutionHelper* solution, CitI::IInterface* manager,
                               const Port::StringBase<char>& name);
// The field after the first "|", or the whole text when it has no bar.
Port::StringBase<char> SplitAtBar(const Port::StringBase<char>& input);
// SplitAtBar of the object's name; empty without one.
Port::StringBase<char> GetObjectNameField(CitI::IInterface* object);
// The names of a "|"-separated list: a double-quoted part keeps its bars, empty names are
// dropped, so an empty list has none.
std::vector<Port::StringBase<char>> SplitFlavorList(const Port::StringBase<char>& list);

}  // namespace Hvd::prhelper
