#pragma once
// The developer diagnostic that a failing operation writes, together with its result.

#include "Hvd/Status.h"

namespace Hvd {

// Writes the printf-formatted text to the host's developer messages and answers `status`,
// so that an operation reports and returns in one line:
//   return Fail(kInvalidParameter, "CProject::Open - no path given\n");
Status Fail(Status status, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace Hvd
