#pragma once
// Scripts handed to the suite's Tcl shell, run in a process of their own.

#include <string_view>

#include "Port/StringBase.h"

namespace Hvd {

// Runs `text` as the script file `name` (a bare file name) with the velsh of this installation,
// by its full path, and waits for it. The file is made new, whole, in a folder of its own that
// only its owner may enter, and both are removed once the shell has ended: nothing at that name
// elsewhere is written through or run, and two runs at once, in one process or two, never share
// a file. False, with nothing run, when the script could not be written or the shell is not
// there (an error naming it; no other velsh is looked for).
bool RunShellScript(const Port::StringBase<char>& name, std::string_view text);

// While one lives, scripts run with `shell` instead of the installation's velsh: tests stand a
// shell in that records what it was given.
class ShellStandIn {
 public:
  explicit ShellStandIn(const Port::StringBase<char>& shell);
  ~ShellStandIn();
  ShellStandIn(const ShellStandIn&) = delete;
  ShellStandIn& operator=(const ShellStandIn&) = delete;
};

}  // namespace Hvd
