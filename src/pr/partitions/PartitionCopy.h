#pragma once
// Copies between the partitions of hierarchical-design projects: one partition re-rooted
// from a source prefix to a destination prefix, a whole tree, a partition's settings or
// persisted state, the project-level settings; pruning and writing a project back.

#include <vector>

#include "CitI/IInterface.h"
#include "HdcI/IHDProject.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Holders.h"

namespace Hvd::PRSync {

using PartitionNames = std::vector<Port::StringBase<char>>;

// The hierarchical-design project of the project that holds `object`, or empty.
Prjrep::AutoRelease<HdcI::IHDProject> GetHDProject(CitI::IInterface* object);

// The name of a partition; empty for none.
Port::StringBase<char> PartitionName(HdcI::IPartition* partition);

// The partition of `destination` named by re-rooting the source partition's name from
// `sourcePrefix` to `destinationPrefix`, found or made, with the source's persisted state;
// empty when it cannot be had.
Prjrep::AutoRelease<HdcI::IPartition> CopyPartitionInfo(HdcI::IHDProject* source, HdcI::IPartition* sourcePartition,
                                                       HdcI::IHDProject* destination,
                                                       const Port::StringBase<char>& sourcePrefix,
                                                       const Port::StringBase<char>& destinationPrefix);
// The partition and its subtree; a child named in `exclusions` is copied without its own.
Status CopyPartitionTree(HdcI::IPartition* sourcePartition, HdcI::IHDProject* source, HdcI::IHDProject* destination,
                         const Port::StringBase<char>& sourcePrefix, const Port::StringBase<char>& destinationPrefix,
                         const PartitionNames& exclusions);
void CopyPartitionSettings(HdcI::IPartition* source, HdcI::IPartition* target);
void CopyPersistedState(HdcI::IPartition* source, HdcI::IPartition* target);
void CopyPartitionRecordValue(HdcI::IHDProject* source, HdcI::IPartition* sourcePartition,
                              HdcI::IHDProject* destination, HdcI::IPartition* newPartition);
// The path and text settings of the source project's hierarchical-design project; a
// relative path is made absolute against the source project's directory.
void CopyProjectPartitionSettings(CitI::IInterface* sourceProject, CitI::IInterface* destinationProject);
// Removes every partition whose name is not in `names`.
void RemoveNonMatchingPartitions(HdcI::IHDProject* project, const PartitionNames& names);
void StoreHDProject(HdcI::IHDProject* project);

}  // namespace Hvd::PRSync
