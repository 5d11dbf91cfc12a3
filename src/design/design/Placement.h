#pragma once
// What a rebuild of the views asks of components that are not in the library yet. Each is a
// placeholder that does nothing, so that the rebuild keeps its order of steps meanwhile.

#include "Hvd/IProject.h"
#include "Port/StringBase.h"

namespace Hvd {

// Places every file of the project in the views that take it. The file-type view cache does
// this; without it the new views start empty.
void PlaceAllFilesInViews(IProject* project);

// Reads the recorded status of the transforms back from the generated-project file at `path`
// (the generated-project reader's work); without it the status starts anew.
void ReadTransformStatusBack(IProject* project, const Port::StringBase<char>& path);

}  // namespace Hvd
