#pragma once
// The text of messages: the names and paths a message gives are written with their control
// characters escaped, so that a file name can neither end a message's line nor start a line
// that reads as a message of its own.

#include <cstdarg>
#include <string>
#include <string_view>

namespace Port {

// `text` with each control character (C0 and DEL) as an escape: \n, \t, else \xHH.
std::string EscapeControls(std::string_view text);

// printf-style formatting in which the values of the %s conversions are escaped as above. The
// format's own text, its newlines included, and every other conversion come out as printf writes
// them. Positional conversions (%1$s) are not taken: the format is written as it is from there.
std::string FormatMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatMessageV(const char* format, std::va_list args);

}  // namespace Port
