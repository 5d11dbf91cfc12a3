#pragma once
// The steps a configuration's compose and a flavor's creation take from their neighbours: the
// partition synchronisation and the result copies of a configuration, the path-list merge of
// a property, the partition of a module in the hierarchical-design project.

#include "CitI/IInterface.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd::prseams {

// Partitions of the flavors' projects into the configuration's project.
Status SyncPartitionsIntoConfiguration(ICompositionControl* configuration);
// Partitions of the configuration's project back into the flavors' projects.
Status SyncPartitionsOutOfConfiguration(ICompositionControl* configuration);
// Results between the static and the configuration's directories; `outOf` copies them back.
Status CopyConfigurationResults(ICompositionControl* configuration, bool outOf);
// The target project's path list `name` gains the source project's entries it lacks.
Status MergePathListProperty(IProject* target, IProject* source, const Port::StringBase<char>& name);
// The partition at `instancePath` in the hierarchical-design project of the project named
// `projectName`, found or made, and kept.
Status KeepPartitionAt(const Port::StringBase<char>& projectName, const Port::StringBase<char>& instancePath);

}  // namespace Hvd::prseams
