// When the files a file includes last changed, for those that keep what they read of them: one
// look at the epoch tells whether any file's children changed at all since it was read.

#pragma once

#include <cstdint>

#include "CitI/IInterface.h"

namespace Hvd {

// Rises with every change of any file's children, and of a child's name.
std::uint64_t FileRelationEpoch();

// The epoch of the last change of the children of `file`, or of their names; the largest value
// for an object that keeps no such stamp, which reads as changed since any epoch.
std::uint64_t FileChildrenStamp(CitI::IInterface* file);

}  // namespace Hvd
