#pragma once
// Scripts handed to the suite's Tcl shell, run in a process of their own.

#include <string_view>

#include "Port/StringBase.h"

namespace Hvd {

// Runs `text` as the script file `name` (a bare file name) with "velsh" and waits for it. The
// file is made new, whole, in a folder of its own that only its owner may enter, and both are
// removed once the shell has ended: nothing at that name elsewhere is written through or run,
// and two runs at once, in one process or two, never share a file. False, with nothing run,
// when the script could not be written.
bool RunShellScript(const Port::StringBase<char>& name, std::string_view text);

}  // namespace Hvd
