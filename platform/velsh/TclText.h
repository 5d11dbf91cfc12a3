#pragma once
// Strings across the shell's boundary with Tcl. Tcl 8.6 keeps its strings in a form of its own,
// in which a character past U+FFFF may be a pair of surrogates of three bytes each and NUL is the
// two bytes C0 80; the library takes and gives UTF-8. Every string the shell takes from Tcl or
// hands to it passes through these two, so that what a user types is what the library keeps.

#include <tcl.h>

#include <string>
#include <string_view>

namespace velsh {

// The UTF-8 of a Tcl value. A NUL is the zero byte, as UTF-8 writes it, so that the library's
// checks see it and refuse it as they refuse the other control characters: the value is handed
// on with its length, never as a C string, which would end it there unseen.
std::string FromTcl(Tcl_Obj* value);

// A new Tcl value, holding no reference, of a UTF-8 text; a byte outside UTF-8 becomes the
// character of its value.
Tcl_Obj* ToTcl(std::string_view text);

}  // namespace velsh
