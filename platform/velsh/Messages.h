#pragma once
// What a failed command of the shell says: the library's messages for the user, the cases the
// library answers with a bare status in words, and its developer lines only when asked for.

#include <tcl.h>

#include <string>
#include <string_view>

#include "Hvd/Status.h"

namespace velsh {

// A name or path as the shell's messages give it: its control characters escaped, so that it keeps
// to its line. Results that are data, such as lists of files, give names as they are.
std::string Shown(std::string_view name);

// Sets the Tcl error `message` and answers TCL_ERROR.
int Error(Tcl_Interp* interp, const std::string& message);

// The error of a command called with the wrong arguments, `usage` its right form.
int Usage(Tcl_Interp* interp, const char* usage);

// Sets the Tcl error of a failed command and answers TCL_ERROR: the messages the library issued
// since the command began (its errors first when `errorsFirst`), then `why`, else what the
// status says. The library's developer lines join only while they are shown (VELSH_DEBUG);
// without them, those that report an error are given as the sentence they end with.
int Failed(Tcl_Interp* interp, const std::string& what, Hvd::Status status, const std::string& why = std::string(),
           bool errorsFirst = true);

// Why a step failed when the library told no user message of it: the sentences of its developer
// lines that report an error, else `what` failed with the status in words.
std::string Unexplained(const std::string& what, Hvd::Status status);

// A command that succeeded with nothing to answer: the interpreter's result may still hold
// what a script the library ran left there (a dialog's answer, a handle).
int Done(Tcl_Interp* interp);

}  // namespace velsh
