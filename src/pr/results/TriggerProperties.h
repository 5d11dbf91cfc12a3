#pragma once
// The stage triggers of a configuration's project: a stage must run again when a partition
// carries a newer stamp of it than the one the flow last acted on (its "trailing" property).

#include <cstdint>

#include "CitI/IInterface.h"
#include "HdcI/IHDProject.h"
#include "Hvd/Status.h"

namespace Hvd::PRSync {

// 0 without doing anything when VEL_CORVANE_NO_PIF is set, else 1.
Status SetupPIFProperties(CitI::IInterface* object);
// True when `property` was set to `stamp`, which is newer than the trailing value.
bool TriggerProperty(CitI::IInterface* object, std::int64_t stamp, const char* property, const char* trailing);
// The same against two trailing values, both of which must be older.
bool TriggerProperty2(CitI::IInterface* object, std::int64_t stamp, const char* property, const char* firstTrailing,
                      const char* secondTrailing);
// The newest stamp of a stage over the partitions that have stage stamps; -1 when none.
std::int64_t GetStageStamp(HdcI::IHDProject* project, std::int32_t stage);

}  // namespace Hvd::PRSync
