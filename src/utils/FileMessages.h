#pragma once
// The messages the file utilities and the project bundle copy write, in one form.

#include "Port/StringBase.h"

namespace Hvd::FileMessages {

// A developer line made from `format` with up to two strings.
void Debug(const char* format, const Port::StringBase<char>& a = Port::StringBase<char>(),
           const Port::StringBase<char>& b = Port::StringBase<char>());
// A user warning of the file utilities, from the source line `line`, with one string.
void Warn(int line, const char* format, const Port::StringBase<char>& argument);
// A user error of the file utilities, in the same form.
void Error(int line, const char* format, const Port::StringBase<char>& argument);

}  // namespace Hvd::FileMessages
