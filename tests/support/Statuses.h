#pragma once
// The status codes under short names, for every test.

#include "Hvd/Status.h"

namespace testing_support {
using Hvd::kFailure;
using Hvd::kSuccess;
using Hvd::Status;
}  // namespace testing_support
