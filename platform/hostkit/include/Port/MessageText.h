#pragma once
// The text of messages: the names and paths a message gives are written with their control
// characters escaped, so that a file name can neither end a message's line nor start a line
// that reads as a message of its own.

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

namespace Port {

// `text` with each control character as an escape: C0 and DEL as \n, \t, else \xHH; the C1
// controls (U+0080-U+009F) and the line and paragraph separators (U+2028, U+2029), in UTF-8, as
// \uHHHH; a byte 0x80-0x9F outside a UTF-8 character as \xHH. \x names a byte, \u a character.
// Every other character, and every other byte (a Latin-1 letter), is kept as it is.
std::string EscapeControls(std::string_view text);

// The length of the UTF-8 character that `text` starts with (1 for ASCII), with the character in
// `character`; 0 when its first bytes are none (a stray continuation, a form too long, a
// surrogate, past U+10FFFF, cut short, or no byte at all).
std::size_t DecodeUtf8(std::string_view text, char32_t* character);

// printf-style formatting in which the values of the %s conversions are escaped as above. The
// format's own text, its newlines included, and every other conversion come out as printf writes
// them. Positional conversions (%1$s) are not taken: the format is written as it is from there.
std::string FormatMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatMessageV(const char* format, std::va_list args);

}  // namespace Port
