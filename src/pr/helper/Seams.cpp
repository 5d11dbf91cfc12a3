#include "pr/helper/Seams.h"

#include "Port/MsgMan.h"

namespace Hvd::prseams {

Status SyncPartitionsIntoConfiguration(ICompositionControl*) {
  Port_MsgManData::debugStub("NOT BUILT YET: pulling partitions into a configuration.\n");
  return kNotSupported;
}

Status SyncPartitionsOutOfConfiguration(ICompositionControl*) {
  Port_MsgManData::debugStub("NOT BUILT YET: pushing partitions out of a configuration.\n");
  return kNotSupported;
}

Status CopyConfigurationResults(ICompositionControl*, bool) {
  Port_MsgManData::debugStub("NOT BUILT YET: copying a configuration's results.\n");
  return kNotSupported;
}

Status MergePathListProperty(IProject*, IProject*, const Port::StringBase<char>&) {
  Port_MsgManData::debugStub("NOT BUILT YET: merging a path-list property.\n");
  return kNotSupported;
}

Status KeepPartitionAt(const Port::StringBase<char>&, const Port::StringBase<char>&) {
  Port_MsgManData::debugStub("NOT BUILT YET: the partition of a module in the hierarchical-design project.\n");
  return kNotSupported;
}

}  // namespace Hvd::prseams
