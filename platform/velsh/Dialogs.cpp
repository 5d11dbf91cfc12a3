// The shell's question dialog. A queued answer (`::velmor::Hvd::answers`) is taken first, as the
// stand-in does; else a user at a terminal is asked. Without either, a question takes its
// default, except the one before a save whether to read in a project or partitions file another
// program changed: there the default would drop this session's unsaved changes, so the question
// fails, and the save or the close with it, saying how to answer.

#include "Dialogs.h"

#include <unistd.h>

namespace velsh {

namespace {

// Whether a user can be asked: the questions go to standard error, the answers come from
// standard input.
int TerminalCmd(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  if (objc != 1) {
    Tcl_WrongNumArgs(interp, 1, objv, "");
    return TCL_ERROR;
  }
  Tcl_SetObjResult(interp, Tcl_NewBooleanObj(isatty(STDIN_FILENO) == 1 && isatty(STDERR_FILENO) == 1));
  return TCL_OK;
}

constexpr const char* kDialogScript = R"tcl(
namespace eval ::velsh {}

# A question whose default is a button number takes yes as "1" and no as "2"; another answer,
# and the answer to any other question, is kept as given.
proc ::velsh::Button {answer default} {
    if {$default ni {1 2}} { return $answer }
    switch -nocase -- [string trim $answer] {
        1 - y - yes - reload { return 1 }
        2 - n - no { return 2 }
    }
    return $answer
}

proc ::velmor::Hvd::hvd_DisplayQuestionDialog {question default} {
    variable asked
    variable answers
    lappend asked $question
    if {[llength $answers] > 0} {
        set answers [lassign $answers answer]
        return [::velsh::Button $answer $default]
    }
    set buttons [expr {$default in {1 2}}]
    if {[::velsh::terminal]} {
        set choices [expr {$buttons ? "yes/no" : "default: $default"}]
        while {1} {
            puts -nonewline stderr "$question \[$choices\] "
            flush stderr
            if {[gets stdin line] < 0} break
            set line [string trim $line]
            if {!$buttons} { return [expr {$line eq "" ? $default : $line}] }
            set answer [::velsh::Button $line $default]
            if {$answer in {1 2}} { return $answer }
            puts stderr "Answer yes or no."
        }
    }
    if {[regexp {^(The project|The generated project|Both the project|The partitions file) .* changed on disk\.\nWould you like to reload\?$} \
            $question]} {
        return -code error "there was no answer to give (no terminal, and no answer queued). To read\
            the file in, dropping the changes made here since the last save, run\
            \"lappend ::velmor::Hvd::answers reload\" before the save; to write this project over it, run\
            \"lappend ::velmor::Hvd::answers no\"."
    }
    return $default
}
)tcl";

}  // namespace

void RegisterDialogs(Tcl_Interp* interp) {
  Tcl_CreateObjCommand(interp, "::velsh::terminal", TerminalCmd, nullptr, nullptr);
  if (Tcl_EvalEx(interp, kDialogScript, -1, TCL_EVAL_GLOBAL) != TCL_OK) Tcl_BackgroundError(interp);
}

}  // namespace velsh
