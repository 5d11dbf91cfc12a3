# The stand-in's dialogs. There is no display: a question takes the next queued answer,
# else its default, and a message box only records its arguments, so nothing ever waits
# for a user. Callers queue answers in `answers` and read back `asked` and `shown`.

namespace eval ::velmor::Hvd {
    # The questions asked, oldest first.
    variable asked {}
    # The answers for the next questions, first answer first.
    variable answers {}
    # The message boxes shown, one list of arguments each.
    variable shown {}
}

proc ::velmor::Hvd::hvd_DisplayQuestionDialog {question default} {
    variable asked
    variable answers
    lappend asked $question
    if {[llength $answers] == 0} {
        return $default
    }
    set answers [lassign $answers answer]
    return $answer
}

proc ::velmor::Hvd::hvd_DisplayMessageBox {args} {
    variable shown
    lappend shown $args
    return ""
}

proc ::velmor::Hvd::hvd_ResetDialogs {} {
    variable asked {} answers {} shown {}
    return
}
