#pragma once
// Keeps the partitions of a configuration's hierarchical-design project in step with those
// of its elements' projects: composing pulls every chosen flavor's partitions (and the
// static project's) in, re-rooted under the module's instance path; decomposing pushes
// them back out.

#include "CitI/IInterface.h"
#include "Hvd/IConfiguration.h"
#include "Hvd/Status.h"
#include "pr/partitions/PartitionCopy.h"

namespace Hvd::PRSync {

// What the walk over a configuration's elements does for each element that has both a
// source (the element's flavor's project) and a destination (the configuration's project).
class ActOnConfigurationEles {
 public:
  virtual ~ActOnConfigurationEles() = default;
  virtual Status operator()(CitI::IInterface* sourceProject, CitI::IInterface* destinationProject,
                            IConfigurationElement* element) = 0;
};

// Copies a source project's partitions into the destination project.
class PartitionsToConfiguration final : public ActOnConfigurationEles {
 public:
  Status operator()(CitI::IInterface* sourceProject, CitI::IInterface* destinationProject,
                    IConfigurationElement* element) override;
};

// Collects the names the source project's partitions take in the configuration.
class ConfigElePartitionNameRec final : public ActOnConfigurationEles {
 public:
  Status operator()(CitI::IInterface* sourceProject, CitI::IInterface* destinationProject,
                    IConfigurationElement* element) override;
  PartitionNames m_names;
};

// The compose step: 1, or 0 for an object that is no configuration.
Status SyncPartitionsIntoConfiguration(CitI::IInterface* configuration);
// The decompose step: 1, or 0 for an object that is no configuration or has no elements.
Status SyncPartitionsOutOfConfiguration(CitI::IInterface* configuration);
Status ForEachConfigurationElement(ActOnConfigurationEles& action, CitI::IInterface* configuration);

// The name a partition of an element's project takes in the configuration: itself for the
// static element; for a module element, the module's instance path followed by what comes
// after the name's first component.
Port::StringBase<char> MapPartitionName(const Port::StringBase<char>& name, bool isStatic,
                                        const Port::StringBase<char>& modulePath);
// The name a configuration partition takes in a flavor's project: `name` re-rooted from
// `sourcePrefix` to `destinationPrefix`, or empty when it lies outside the source prefix.
Port::StringBase<char> ReverseMapPartitionName(const Port::StringBase<char>& name,
                                               const Port::StringBase<char>& sourcePrefix,
                                               const Port::StringBase<char>& destinationPrefix);

}  // namespace Hvd::PRSync
