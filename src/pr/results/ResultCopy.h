#pragma once
// The tool results of a configuration moved between the static project's directory and
// the configuration's: synthesis and translate results, partition source files and the
// constraint data. The host's Tcl procedures copy what is newer; this builds their commands.

#include "CitI/IInterface.h"
#include "HdcI/IHDProject.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "pr/partitions/PartitionCopy.h"

namespace Hvd::PRSync {

// `outOfConfiguration` false copies the static project's results into the configuration
// (compose), true saves the configuration's back (decompose). 1, or 0 for null.
Status CopyConfigurationResults(CitI::IInterface* configuration, bool outOfConfiguration);
inline Status CopyResultsIntoConfiguration(CitI::IInterface* configuration) {
  return CopyConfigurationResults(configuration, false);
}
inline Status CopyResultsOutOfConfiguration(CitI::IInterface* configuration) {
  return CopyConfigurationResults(configuration, true);
}

void CopyNewerDirCommand(const Port::StringBase<char>& source, const Port::StringBase<char>& destination);
void CopyNewerFileCommand(const Port::StringBase<char>& source, const Port::StringBase<char>& destination);
// The partition's source file into `directory`; true when a partition was given.
bool CopyPartitionFiles(HdcI::IPartition* partition, const Port::StringBase<char>& directory);
// The source files of the partition and of its subtree; children named in `exclusions`
// are left out with theirs. Two different files of one name are kept apart: the first
// takes the plain name, a later one goes below a folder named after its partition.
Status CopyPartitionTreeFiles(HdcI::IPartition* partition, HdcI::IHDProject* project,
                              const Port::StringBase<char>& directory, const PartitionNames& exclusions);

// The constraint-data file of the configuration project at `path`: the path without its
// extension, followed by "_qdb/cst.vbcd".
Port::StringBase<char> ConfigurationConstraintData(const Port::StringBase<char>& path);

}  // namespace Hvd::PRSync
