#pragma once
// The part of a snapshot restore that touches the live project: it is either restored from the
// snapshot and open again, or left as it was.

#include "Hvd/IProjectCopy.h"
#include "Hvd/IProjectHelper.h"
#include "Port/StringBase.h"
#include "Prjrep/IStringSet.h"

namespace Hvd::Snapshots {

// Backs the project directory up, closes the live project through `helper`, extracts
// `bundle` (opened on the snapshot) into the directory and opens the project file again. A
// failed backup stops before anything is touched; any later failure copies the backup back and
// opens the project again. The files that could not be extracted go to `*items` when given.
Status RestoreOver(IProjectBundle* bundle, IProjectHelper* helper, const Port::StringBase<char>& projectDirectory,
                   const Port::StringBase<char>& projectFile, Prjrep::IStringIterator** items);

}  // namespace Hvd::Snapshots
