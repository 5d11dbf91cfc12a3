#pragma once
// The stand-in's Tcl procedures, built into the library from tcl/velmor_hvd.tcl.

namespace Hvd {

// The script's text, evaluated once in the interpreter when it is created.
const char* VelmorScript();

}  // namespace Hvd
