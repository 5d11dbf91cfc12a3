#pragma once
// How the helper reports: developer diagnostics in one form, and user messages under the
// project-management category.

#include "Hvd/Status.h"

namespace Hvd::prhelper {

// A developer diagnostic: where, why (quoted) and in which operation. Answers kFailure.
Status Report(int line, const char* reason, const char* signature);
void UserError(int line, const char* format, ...) __attribute__((format(printf, 2, 3)));
void UserWarning(int line, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace Hvd::prhelper

// A report from the operation it is written in.
#define PRHELPER_REPORT(reason) ::Hvd::prhelper::Report(__LINE__, reason, __PRETTY_FUNCTION__)
