#pragma once
// The developer diagnostic that a failing operation writes, together with its result.

#include <string>

#include "Hvd/Status.h"

namespace Hvd {

// Writes `text` to the host's developer messages and answers `status`, so that an
// operation reports and returns in one line: `return Fail(kInvalidParameter, "...");`.
Status Fail(Status status, const char* text);
Status Fail(Status status, const std::string& text);

}  // namespace Hvd
