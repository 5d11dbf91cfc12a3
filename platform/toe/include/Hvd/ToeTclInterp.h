#pragma once
// The Tcl interpreter that libHvd_TOE's interpreter component evaluates in.

// The process's one interpreter, as a Tcl_Interp*: created on first use, shared by every
// instance of the component, never deleted. A shell that loads the library by name finds
// this function with dlsym and runs on the same interpreter as the library.
extern "C" __attribute__((visibility("default"))) void* HvdToeTclInterp();
