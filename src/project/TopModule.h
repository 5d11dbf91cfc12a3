#pragma once
// The top-module check run while a project file is opened.

#include "Hvd/IDesign.h"
#include "Hvd/IHdlNetListNode.h"
#include "Port/StringBase.h"

namespace Hvd {

// The file of the design unit `name` below `node`, depth-first, each level's children looked
// at before any of their own children; false, `path` unchanged, when no node names it.
bool FindTopUnitFile(const Port::StringBase<char>& name, IHdlNetListNode* node, Port::StringBase<char>* path);

// The "SynthesisOnly" view records the file of its top unit when the project file named the
// unit but not its file; a view with units and no top at all is reported to the user.
void CheckTopModule(IDesign* design);

}  // namespace Hvd
