#include "pr/helper/LinkedSteps.h"

#include "HdcI/IHDProject.h"
#include "childproject/ListProperties.h"
#include "core/Holders.h"
#include "pr/partitions/PartitionCopy.h"
#include "pr/partitions/PartitionSync.h"
#include "pr/results/ResultCopy.h"
#include "utils/DmUtils.h"

namespace Hvd::prseams {

Status SyncPartitionsIntoConfiguration(ICompositionControl* configuration) {
  return PRSync::SyncPartitionsIntoConfiguration(configuration);
}

Status SyncPartitionsOutOfConfiguration(ICompositionControl* configuration) {
  return PRSync::SyncPartitionsOutOfConfiguration(configuration);
}

Status CopyConfigurationResults(ICompositionControl* configuration, bool outOf) {
  return PRSync::CopyConfigurationResults(configuration, outOf);
}

Status MergePathListProperty(IProject* target, IProject* source, const Port::StringBase<char>& name) {
  if (target == nullptr || source == nullptr) return kFailure;
  ListPropertyMerger(target, source).MergePathListProperty(name.c_str(), nullptr, false);
  return kSuccess;
}

// The project has no hierarchical-design project when nothing registered one: the module then
// has no partition yet, which is no failure of the flavor's creation.
Status KeepPartitionAt(const Port::StringBase<char>& projectName, const Port::StringBase<char>& instancePath) {
  Prjrep::AutoRelease<IProject> project = GetActiveProjectOfRepository(projectName);
  Prjrep::AutoRelease<HdcI::IHDProject> design = PRSync::GetHDProject(project.Get());
  if (design.Get() == nullptr) return kNotSupported;
  Prjrep::AutoRelease<HdcI::IPartition> partition;
  std::ignore = design->FindPartition(instancePath, partition.Receive());
  if (partition.Get() == nullptr) std::ignore = design->CreatePartition(instancePath, partition.ReleaseAndReceive());
  if (partition.Get() == nullptr) return kFailure;
  return partition->SetKept(true);
}

}  // namespace Hvd::prseams
